#pragma once
// Text for the view's raster canvas, drawn by Qt's font rasteriser straight
// into the canvas's pixels.

#include <QFont>
#include <QFontMetrics>

#include "platform/TextRenderer.h"

class QtTextRenderer final : public koru::TextRenderer {
  public:
    // The view's own font: a plain sans face at a fixed pixel size, so the
    // names and labels keep their size whatever the desktop's scaling.
    QtTextRenderer();
    explicit QtTextRenderer(const QFont& font);

    koru::Size Measure(std::string_view text) const override;
    void Draw(const koru::PixelBuffer& target, const koru::Rect& clip, int x, int y,
              std::string_view text, const koru::TextStyle& style) const override;

    const QFont& Font() const { return font_; }

  private:
    QFont font_;
    QFontMetrics metrics_;
};
