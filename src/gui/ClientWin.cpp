#include "ClientWin.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <memory>

#include "QtTextRenderer.h"
#include "app/TimeBaseCommand.h"

using koru::ScrollAxis;
using koru::ScrollRequest;

TClientWin::TClientWin(koru::Session& session, QWidget* parent)
    : QAbstractScrollArea(parent),
      session_(session),
      view_(session.viewContext()),
      viewCursor_(MakeViewCursor()) {
    viewport()->setCursor(viewCursor_);
    // The readout follows the pointer, not only a drag.
    if (session.settings().units) viewport()->setMouseTracking(true);
    // The back buffer covers every pixel; Qt need not erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // The right button places tags; no context menu may take its release.
    setContextMenuPolicy(Qt::PreventContextMenu);
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    view_.BackBuffer().SetTextRenderer(std::make_shared<QtTextRenderer>());
    view_.SetShowHook([this](const koru::Rect& r) {
        viewport()->update(QRect(r.left, r.top, r.Width(), r.Height()));
    });
    view_.SetScrollHook([this] {
        SyncScrollBars();
        emit Scrolled();
    });
    view_.SetCountsHook([this] { emit CountsChanged(); });
    view_.SetNoticeHook([this](const std::string& text) { session_.ui().SetStatusText(text); });

    // Both bars from the start; a position is taken when the thumb is let
    // go, never while it is dragged.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (auto [bar, axis] : {std::pair{horizontalScrollBar(), ScrollAxis::Horizontal},
                             std::pair{verticalScrollBar(), ScrollAxis::Vertical}}) {
        bar->setTracking(false);
        bar->setSingleStep(1);
        connect(bar, &QScrollBar::actionTriggered, this,
                [this, axis = axis](int action) { OnBarAction(axis, action); });
    }
    SyncScrollBars();
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

int TClientWin::ViewKeyOf(int qtKey, Qt::KeyboardModifiers modifiers) {
    // With Num Lock off the keypad's Ins and Del arrive as Insert and
    // Delete; with it on as 0 and the decimal point (a comma in some
    // layouts), which only count when they come from the keypad.
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    switch (qtKey) {
        case Qt::Key_PageUp:
            return koru::kKeyPageUp;
        case Qt::Key_PageDown:
            return koru::kKeyPageDown;
        case Qt::Key_Home:
            return koru::kKeyHome;
        case Qt::Key_End:
            return koru::kKeyEnd;
        case Qt::Key_Left:
            return koru::kKeyLeft;
        case Qt::Key_Right:
            return koru::kKeyRight;
        case Qt::Key_Up:
            return koru::kKeyUp;
        case Qt::Key_Down:
            return koru::kKeyDown;
        case Qt::Key_Insert:
            return koru::kKeyInsert;
        case Qt::Key_Delete:
            return koru::kKeyDelete;
        case Qt::Key_Plus:
        case Qt::Key_Equal:  // + without Shift on many layouts
            return koru::kKeyAdd;
        case Qt::Key_Minus:
            return koru::kKeySubtract;
        case Qt::Key_0:
            return keypad ? koru::kKeyNumpad0 : 0;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return keypad ? koru::kKeyDecimal : 0;
        default:
            return 0;
    }
}

QColor TClientWin::Background() const {
    const koru::ColorRef c = view_.Background();
    return QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
}

QImage TClientWin::Picture() const {
    const koru::RasterCanvas& b = view_.BackBuffer();
    return QImage(reinterpret_cast<const uchar*>(b.Pixels()), b.Width(), b.Height(),
                  b.BytesPerLine(), QImage::Format_RGB32);
}

void TClientWin::SyncScrollBars() {
    const int32_t hRange = view_.HorizontalRange();
    const int32_t hThumbs = koru::ThumbRange(hRange);
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, hThumbs);
    // Beyond 16 bits the bar counts in scaled steps; the page only sizes the thumb.
    const int32_t page = view_.PageStep();
    h->setPageStep(hRange > hThumbs ? std::max(1, koru::ThumbFromPosition(page, hRange)) : page);
    h->setSliderPosition(koru::ThumbFromPosition(view_.ScrollX(), hRange));
    h->setValue(h->sliderPosition());

    QScrollBar* v = verticalScrollBar();
    v->setRange(0, view_.VerticalRange());
    v->setPageStep(koru::kVerticalPage);
    v->setSliderPosition(view_.ScrollY());
    v->setValue(v->sliderPosition());
}

void TClientWin::OnBarAction(ScrollAxis axis, int action) {
    QScrollBar* bar = axis == ScrollAxis::Horizontal ? horizontalScrollBar() : verticalScrollBar();
    ScrollRequest request;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            request = ScrollRequest::LineBack;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            request = ScrollRequest::LineForward;
            break;
        case QAbstractSlider::SliderPageStepSub:
            request = ScrollRequest::PageBack;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            request = ScrollRequest::PageForward;
            break;
        case QAbstractSlider::SliderToMinimum:
            request = ScrollRequest::Top;
            break;
        case QAbstractSlider::SliderToMaximum:
            request = ScrollRequest::Bottom;
            break;
        case QAbstractSlider::SliderMove:
            // Without tracking this comes once the thumb is let go.
            if (bar->isSliderDown()) return;
            request = ScrollRequest::Thumb;
            break;
        default:
            return;
    }
    view_.Scroll(axis, request, bar->sliderPosition());
    // Qt applies the slider position after this signal: make it the model's.
    const int32_t pos = axis == ScrollAxis::Horizontal
                            ? koru::ThumbFromPosition(view_.ScrollX(), view_.HorizontalRange())
                            : view_.ScrollY();
    bar->setSliderPosition(pos);
}

void TClientWin::scrollContentsBy(int, int) {
    // The model has shifted its picture and asked for it to be shown.
}

void TClientWin::SyncCursor() {
    if (view_.TagDragging()) {
        viewport()->setCursor(Qt::SizeHorCursor);
    } else {
        viewport()->setCursor(viewCursor_);
    }
}

void TClientWin::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    const QSize s = viewport()->size();
    if (view_.ResizeClient(s.width(), s.height())) {
        failedSize_ = QSize();
        return;
    }
    if (s == failedSize_) return;  // said once per size
    failedSize_ = s;
    // Said once the resize is over: a modal box inside it would stop the
    // window's layout halfway.
    QTimer::singleShot(0, this, [this, s] {
        session_.ui().ShowMessage(koru::MessageOwner::View,
                                  koru::BackBufferFailedText(s.width(), s.height()), "WARNING",
                                  koru::MessageIcon::Exclamation);
    });
}

void TClientWin::paintEvent(QPaintEvent* event) {
    // Areas the model marked are painted into the buffer first; everything
    // else (an uncovered window, say) is the buffer as it stands.
    view_.Update();
    QPainter p(viewport());
    const koru::RasterCanvas& b = view_.BackBuffer();
    // The buffer as it lies: a scroll turned its ring, and putting that in
    // order would copy the whole picture once more.
    const QImage stored(reinterpret_cast<const uchar*>(b.StoredPixels()), b.Width(), b.Height(),
                        b.BytesPerLine(), QImage::Format_RGB32);
    const QRect area = event->rect();
    const koru::Rect want{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    for (const koru::RasterCanvas::StoredPiece& piece : b.StoredPieces(want)) {
        p.drawImage(
            QPoint(piece.area.left, piece.area.top), stored,
            QRect(piece.storedAt.x, piece.storedAt.y, piece.area.Width(), piece.area.Height()));
    }
    // While a resize is under way the viewport can outgrow the buffer.
    const QRegion uncovered = QRegion(area).subtracted(QRegion(stored.rect()));
    for (const QRect& r : uncovered) p.fillRect(r, Background());
    // The first screen is up: the annotations the open left are read next,
    // outside the paint, since their reading may show boxes.
    if (session_.document().AnnotationsPending() && !completing_) {
        completing_ = true;
        QTimer::singleShot(0, this, [this] {
            completing_ = false;
            session_.CompleteAnnotations();
        });
    }
}

// Qt keeps sending a pressed button's moves and release to this widget,
// with coordinates relative to it even outside it, as a mouse capture would.
void TClientWin::mousePressEvent(QMouseEvent* event) {
    session_.CompleteAnnotations();  // a click may set or pick a marker
    const QPoint p = event->position().toPoint();
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    if (event->button() == Qt::LeftButton) {
        view_.OnLeftDown(p.x(), p.y(), ctrl);
    } else if (event->button() == Qt::RightButton) {
        view_.OnRightDown(p.x(), p.y(), ctrl);
        SyncCursor();
    }
}

void TClientWin::mouseDoubleClickEvent(QMouseEvent* event) {
    // The view knows no double click: the second press is a press.
    mousePressEvent(event);
}

void TClientWin::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    view_.OnMouseMove(p.x(), p.y());
}

void TClientWin::leaveEvent(QEvent* event) {
    view_.OnMouseLeave();
    QAbstractScrollArea::leaveEvent(event);
}

void TClientWin::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        view_.OnLeftUp(p.x(), p.y());
    } else if (event->button() == Qt::RightButton) {
        view_.OnRightUp(p.x(), p.y());
        SyncCursor();
    }
}

void TClientWin::keyPressEvent(QKeyEvent* event) {
    session_.CompleteAnnotations();  // the marker keys need the whole list
    // The marker keys and the navigation keys; with Ctrl or Alt a key
    // belongs to the menus.
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int key = ViewKeyOf(event->key(), event->modifiers());
    if (key != 0) {
        view_.OnKeyDown(key);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TClientWin::wheelEvent(QWheelEvent* event) {
    // Through the scroll bars, as their own requests; not during a drag.
    if (view_.TagDragging() || view_.LineDragging()) {
        event->accept();
        return;
    }
    // The wheel moves through time, with Shift through the slots; a
    // sideways wheel moves through time too.
    const QPoint angle = event->angleDelta();
    const bool bySlots = event->modifiers().testFlag(Qt::ShiftModifier);
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    // Some systems turn a Shift+wheel into a sideways one.
    wheelAngle_ += angle.y() != 0 ? angle.y() : angle.x();
    const int steps = wheelAngle_ / 120;
    wheelAngle_ -= steps * 120;
    if (ctrl) {
        // Away from the user: larger traces, or a finer time base.
        if (bySlots) {
            koru::StepTimeBase(session_, view_, steps);
        } else {
            view_.OnZoom(steps, event->position().toPoint().y());
        }
        event->accept();
        return;
    }
    // Turning the wheel away from the user goes back in time, or up.
    view_.OnWheel(-steps, bySlots);
    event->accept();
}
