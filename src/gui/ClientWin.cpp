#include "ClientWin.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <memory>

#include "QtTextRenderer.h"

TClientWin::TClientWin(koru::Session& session, QWidget* parent)
    : QAbstractScrollArea(parent), view_(session) {
    viewport()->setCursor(MakeViewCursor());
    // The back buffer covers every pixel; Qt need not erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    view_.BackBuffer().SetTextRenderer(std::make_shared<QtTextRenderer>());
    view_.SetShowHook([this](const koru::Rect& r) {
        viewport()->update(QRect(r.left, r.top, r.Width(), r.Height()));
    });
}

QCursor TClientWin::MakeViewCursor() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    p.drawEllipse(0, 0, 30, 30);  // 31 pixels across
    // Cross-hair broken around the centre dot.
    p.drawLine(0, 15, 12, 15);
    p.drawLine(18, 15, 30, 15);
    p.drawLine(15, 0, 15, 12);
    p.drawLine(15, 18, 15, 30);
    p.drawPoint(15, 15);
    p.end();
    return QCursor(pm, 15, 15);
}

void TClientWin::PrepareForLoad() { view_.PrepareForLoad(); }

void TClientWin::ResetView() { view_.ResetView(); }

QColor TClientWin::Background() const {
    const koru::ColorRef c = view_.Background();
    return QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
}

QImage TClientWin::Picture() const {
    const koru::RasterCanvas& b = view_.BackBuffer();
    return QImage(reinterpret_cast<const uchar*>(b.Pixels()), b.Width(), b.Height(),
                  b.BytesPerLine(), QImage::Format_RGB32);
}

void TClientWin::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const QSize s = viewport()->size();
    view_.ResizeClient(s.width(), s.height());
}

void TClientWin::paintEvent(QPaintEvent* event) {
    // Areas the model marked are painted into the buffer first; everything
    // else (an uncovered window, say) is the buffer as it stands.
    view_.Update();
    QPainter p(viewport());
    const QImage picture = Picture();
    const QRect area = event->rect();
    p.drawImage(area.topLeft(), picture, area);
    // While a resize is under way the viewport can outgrow the buffer.
    const QRegion uncovered = QRegion(area).subtracted(QRegion(picture.rect()));
    for (const QRect& r : uncovered) p.fillRect(r, Background());
}
