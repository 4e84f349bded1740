#include "RateStripWin.h"

#include <QMouseEvent>
#include <QPainter>
#include <memory>

#include "ClientWin.h"
#include "QtTextRenderer.h"
#include "analysis/Rhythm.h"

TRateStripWin::TRateStripWin(koru::Session& session, TClientWin* client, QWidget* parent)
    : QWidget(parent), session_(session), client_(client) {
    setFixedHeight(koru::kRateStripHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setToolTip("Heart rate of the whole recording: click to go there, right-click for RR");
    buffer_.SetTextRenderer(std::make_shared<QtTextRenderer>());
}

void TRateStripWin::Refresh() {
    const koru::SignalDocument& doc = session_.document();
    if (doc.IsOpen()) {
        const std::vector<int64_t> beats = koru::BeatFrames(doc.Annotations());
        strip_.SetBeats(beats, koru::FrameRate(doc.Header()), doc.FrameCount());
    } else {
        strip_.SetBeats({}, 0, 0);
    }
    update();
}

QImage TRateStripWin::Picture() const {
    return QImage(reinterpret_cast<const uchar*>(buffer_.Pixels()), buffer_.Width(),
                  buffer_.Height(), buffer_.BytesPerLine(), QImage::Format_RGB32);
}

QSize TRateStripWin::sizeHint() const {
    return QSize(400, koru::kRateStripHeight);
}

void TRateStripWin::paintEvent(QPaintEvent*) {
    if (buffer_.Width() != width() || buffer_.Height() != height())
        buffer_.Resize(width(), height());
    const koru::Settings& s = session_.settings();
    const koru::SignalView& view = client_->Model();
    const int64_t first = view.FrameAtColumn(0);
    const int64_t last = view.FrameAtColumn(client_->viewport()->width());
    strip_.Paint(buffer_, {s.background, koru::Rgb(0, 255, 0), koru::Rgb(255, 255, 0), s.text},
                 first, last);
    QPainter p(this);
    p.drawImage(0, 0, Picture());
}

void TRateStripWin::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        strip_.SetShowRate(!strip_.ShowRate());
        update();
        return;
    }
    if (event->button() != Qt::LeftButton || !session_.document().IsOpen()) return;
    koru::SignalView& view = client_->Model();
    // The clicked time in the middle of the screen.
    const int64_t shown = view.FrameAtColumn(client_->viewport()->width()) - view.FrameAtColumn(0);
    const int64_t frame = strip_.FrameAt(static_cast<int>(event->position().x()), width());
    view.GoToFrame(std::max<int64_t>(0, frame - shown / 2));
    update();
}
