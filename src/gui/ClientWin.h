#pragma once
// The Signal view as the main window's client: a scroll area that shows the
// view's back buffer.

#include <QAbstractScrollArea>
#include <QImage>

#include "app/Session.h"

class TClientWin : public QAbstractScrollArea, public koru::ViewControl {
    Q_OBJECT
public:
    explicit TClientWin(koru::Session& session, QWidget* parent = nullptr);

    void PrepareForLoad() override;
    void ResetView() override;

    QColor Background() const { return background_; }
    // The program's cross-hair pointer, hot spot at its centre.
    static QCursor MakeViewCursor();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    koru::Session& session_;
    QColor background_ = Qt::white;
};
