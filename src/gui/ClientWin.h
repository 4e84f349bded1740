#pragma once
// The Signal view as the main window's client: a scroll area whose viewport
// shows the view's back buffer. Drawing, tags, lines, scrolling and the
// marker keys are the core view model's; this widget forwards the mouse,
// the keys, the wheel, the scroll bars and size changes, and shows what was drawn.

#include <QAbstractScrollArea>
#include <QCursor>
#include <QImage>
#include <QSize>

#include "app/Session.h"
#include "view/SignalView.h"

class QScrollBar;

class TClientWin : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit TClientWin(koru::Session& session, QWidget* parent = nullptr);

    koru::SignalView& Model() { return view_; }
    const koru::SignalView& Model() const { return view_; }
    // The whole client area drawn again, as after a display toggle.
    void InvalidateAll() { view_.InvalidateAll(); }
    // The channel names over the current picture at the left edge.
    void PopChannelNames() { view_.PopChannelNames(); }

    QColor Background() const;
    // The back buffer as an image over the same memory (valid until the
    // next resize).
    QImage Picture() const;
    // The program's cross-hair pointer, hot spot at its centre.
    static QCursor MakeViewCursor();
    // The view's key number for a key event, 0 for keys it has no use for.
    static int ViewKeyOf(int qtKey, Qt::KeyboardModifiers modifiers);

  signals:
    // The tag count or the Marker list changed: menu states may differ.
    void CountsChanged();
    // The scroll position or the ranges may have changed.
    void Scrolled();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void OnBarAction(koru::ScrollAxis axis, int action);
    void SyncScrollBars();
    void SyncCursor();

    koru::Session& session_;
    koru::SignalView view_;
    QCursor viewCursor_;
    QSize failedSize_;         // the last size whose back buffer could not be had
    int wheelAngle_ = 0;       // wheel turn not yet a whole step, in eighths of a degree
    bool completing_ = false;  // the pending annotations' reading is posted
};
