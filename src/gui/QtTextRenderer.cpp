#include "QtTextRenderer.h"

#include <QImage>
#include <QPainter>

namespace {

QFont ViewFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    f.setBold(true);
    // Grey-level edges only: coloured fringes would depend on the pixel
    // order of the screen, which a back buffer does not know.
    f.setStyleStrategy(QFont::NoSubpixelAntialias);
    return f;
}

QString ToQString(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QColor ToQColor(koru::ColorRef c) {
    return QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
}

}  // namespace

QtTextRenderer::QtTextRenderer() : QtTextRenderer(ViewFont()) {}

QtTextRenderer::QtTextRenderer(const QFont& font) : font_(font), metrics_(font) {}

koru::Size QtTextRenderer::Measure(std::string_view text) const {
    return koru::Size{metrics_.horizontalAdvance(ToQString(text)), metrics_.height()};
}

void QtTextRenderer::Draw(const koru::PixelBuffer& target, const koru::Rect& clip, int x, int y,
                          std::string_view text, const koru::TextStyle& style) const {
    if (clip.Empty() || !target.pixels) return;
    QImage image(reinterpret_cast<uchar*>(target.pixels), target.width, target.height,
                 static_cast<qsizetype>(target.stride) * 4, QImage::Format_RGB32);
    QPainter p(&image);
    p.setClipRect(QRect(clip.left, clip.top, clip.Width(), clip.Height()));
    const QString s = ToQString(text);
    if (style.bkMode == koru::BkMode::Opaque) {
        const koru::Size box = Measure(text);
        p.fillRect(QRect(x, y, box.cx, box.cy), ToQColor(style.bkColor));
    }
    p.setFont(font_);
    p.setPen(ToQColor(style.color));
    p.drawText(QPoint(x, y + metrics_.ascent()), s);
}
