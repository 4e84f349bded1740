#pragma once
// The heart-rate strip as a widget above the Signal view: the core strip
// drawn into a buffer and shown; a left click moves the view there, a right
// click switches between rate and RR interval.

#include <QWidget>

#include "app/Session.h"
#include "platform/RasterCanvas.h"
#include "view/RateStrip.h"

class TClientWin;

class TRateStripWin : public QWidget {
    Q_OBJECT
  public:
    TRateStripWin(koru::Session& session, TClientWin* client, QWidget* parent = nullptr);

    // The beats read again from the annotation list, and drawn.
    void Refresh();
    const koru::RateStrip& Model() const { return strip_; }
    // The picture as last drawn.
    QImage Picture() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QSize sizeHint() const override;

  private:
    koru::Session& session_;
    TClientWin* client_;
    koru::RateStrip strip_;
    koru::RasterCanvas buffer_;
};
