#include "ClientWin.h"

#include <QPainter>
#include <QPixmap>

TClientWin::TClientWin(koru::Session& session, QWidget* parent)
    : QAbstractScrollArea(parent), session_(session) {
    viewport()->setCursor(MakeViewCursor());
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
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

void TClientWin::PrepareForLoad() {
    const koru::ColorRef c = session_.settings().background;
    background_ = QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
    viewport()->update();
}

void TClientWin::ResetView() {
    background_ = Qt::white;
    viewport()->update();
}

void TClientWin::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), background_);
}
