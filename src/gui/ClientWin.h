#pragma once
// The Signal view as the main window's client: a scroll area whose viewport
// shows the view's back buffer. Drawing is done by the core view model; this
// widget forwards size changes and shows what the model repainted.

#include <QAbstractScrollArea>
#include <QImage>

#include "app/Session.h"
#include "view/SignalView.h"

class TClientWin : public QAbstractScrollArea, public koru::ViewControl {
    Q_OBJECT
public:
    explicit TClientWin(koru::Session& session, QWidget* parent = nullptr);

    void PrepareForLoad() override;
    void ResetView() override;

    koru::SignalView& Model() { return view_; }
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    koru::SignalView view_;
};
