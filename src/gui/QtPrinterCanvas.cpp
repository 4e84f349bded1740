#include "QtPrinterCanvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPen>
#include <QStringDecoder>

namespace {

// Drawing calls between two looks at the clock.
constexpr unsigned kCallsPerCheck = 512;
constexpr qint64 kPollMillis = 30;

QColor ToQColor(koru::ColorRef c) {
    return QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
}

// Names are ASCII; paths in the title are shown as the file system spells
// them, UTF-8 when valid, else byte by byte.
QString TextOf(std::string_view s) {
    const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return text;
}

QPointF Centre(koru::Point p) {
    return QPointF(p.x + 0.5, p.y + 0.5);
}

}  // namespace

QtPrinterCanvas::QtPrinterCanvas(QPainter& painter, const QFont& font)
    : painter_(painter), font_(font) {
    const koru::Size device = DeviceSize();
    logical_ = device;
    painter_.setFont(font_);
    sincePoll_.start();
}

QtPrinterCanvas::~QtPrinterCanvas() {
    Flush();
}

koru::Size QtPrinterCanvas::DeviceSize() const {
    const QPaintDevice* d = painter_.device();
    return d ? koru::Size{d->width(), d->height()} : koru::Size{};
}

void QtPrinterCanvas::MapLogical(koru::Size logical) {
    Flush();
    const koru::Size device = DeviceSize();
    logical_ = logical;
    painter_.setWindow(0, 0, logical.cx, logical.cy);
    painter_.setViewport(0, 0, device.cx, device.cy);
    painter_.setClipRect(QRect(0, 0, logical.cx, logical.cy));
}

bool QtPrinterCanvas::Tick() {
    if (stopped_) return false;
    if (poll_ && ++calls_ % kCallsPerCheck == 0 && sincePoll_.elapsed() >= kPollMillis) {
        sincePoll_.restart();
        if (poll_()) {
            stopped_ = true;
            strokes_.clear();
            pixels_.clear();
            return false;
        }
    }
    return true;
}

void QtPrinterCanvas::DrawLine(koru::Point from, koru::Point to) {
    if (from == to || !Tick()) return;
    FlushPixels();
    // Inverting what is under it leaves black on white paper.
    const koru::ColorRef color = GetROP2() == koru::Rop::Not ? koru::Rgb(0, 0, 0) : CurrentPen();
    Strokes* s = nullptr;
    for (Strokes& each : strokes_)
        if (each.color == color) s = &each;
    if (!s) s = &strokes_.emplace_back(Strokes{color, QPainterPath(), QPointF()});
    const QPointF a = Centre(from);
    const QPointF b = Centre(to);
    // A stroke that goes on from where the colour's last one stopped
    // continues its polyline.
    if (s->path.isEmpty() || s->end != a) s->path.moveTo(a);
    s->path.lineTo(b);
    s->end = b;
}

void QtPrinterCanvas::SetPixel(int x, int y, koru::ColorRef color) {
    if (!Inside(x, y) || !Tick()) return;
    FlushStrokes();
    Pixels* p = nullptr;
    for (Pixels& each : pixels_)
        if (each.color == color) p = &each;
    if (!p) p = &pixels_.emplace_back(Pixels{color, {}});
    p->squares.emplace_back(x, y, 1.0, 1.0);
}

koru::ColorRef QtPrinterCanvas::GetPixel(int x, int y) const {
    return Inside(x, y) ? koru::Rgb(255, 255, 255) : koru::CLR_INVALID;
}

void QtPrinterCanvas::TextOut(int x, int y, std::string_view text) {
    if (!Tick()) return;
    Flush();
    const QString s = TextOf(text);
    const QFontMetrics metrics(font_, painter_.device());
    if (GetBkMode() == koru::BkMode::Opaque)
        painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()),
                          ToQColor(GetBkColor()));
    painter_.setPen(ToQColor(GetTextColor()));
    painter_.drawText(QPoint(x, y + metrics.ascent()), s);
}

koru::Size QtPrinterCanvas::GetTextExtent(std::string_view text) const {
    const QFontMetrics metrics(font_, painter_.device());
    return koru::Size{metrics.horizontalAdvance(TextOf(text)), metrics.height()};
}

void QtPrinterCanvas::SaveState() {
    Flush();
    painter_.save();
    Canvas::SaveState();
}

bool QtPrinterCanvas::RestoreState() {
    Flush();
    if (!Canvas::RestoreState()) return false;
    painter_.restore();
    return true;
}

void QtPrinterCanvas::Flush() {
    FlushStrokes();
    FlushPixels();
}

void QtPrinterCanvas::FlushStrokes() {
    if (strokes_.empty()) return;
    painter_.setBrush(Qt::NoBrush);
    for (const Strokes& s : strokes_) {
        // One logical pixel wide, so the lines scale with the picture.
        painter_.setPen(QPen(ToQColor(s.color), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.drawPath(s.path);
    }
    strokes_.clear();
}

void QtPrinterCanvas::FlushPixels() {
    if (pixels_.empty()) return;
    painter_.setPen(Qt::NoPen);
    for (const Pixels& p : pixels_) {
        painter_.setBrush(ToQColor(p.color));
        painter_.drawRects(p.squares.data(), static_cast<int>(p.squares.size()));
    }
    pixels_.clear();
}
