#include "platform/RasterCanvas.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/FixedFont.h"

namespace koru {
namespace {

constexpr uint32_t kInvertMask = 0x00FFFFFFu;

std::shared_ptr<const TextRenderer> DefaultTextRenderer() {
    static const std::shared_ptr<const TextRenderer> font = std::make_shared<const FixedFont>();
    return font;
}

// Writes or inverts one pixel according to the raster operation.
struct Plot {
    Rop rop;
    uint32_t pen;
    void operator()(uint32_t& p) const {
        if (rop == Rop::Not) {
            p ^= kInvertMask;
        } else {
            p = pen;
        }
    }
};

}  // namespace

RasterCanvas::RasterCanvas() : text_(DefaultTextRenderer()) {}

RasterCanvas::RasterCanvas(int width, int height, ColorRef fill) : text_(DefaultTextRenderer()) {
    Resize(width, height, fill);
}

bool RasterCanvas::Resize(int width, int height, ColorRef fill) {
    Straighten();
    width = std::max(width, 0);
    height = std::max(height, 0);
    std::vector<uint32_t> next;
    try {
        next.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                    PixelFromColor(fill));
    } catch (const std::exception&) {  // bad_alloc, or a size past any vector's
        std::vector<uint32_t>().swap(pixels_);
        width_ = height_ = 0;
        Recalculate();
        return false;
    }
    const int keepW = std::min(width, width_);
    const int keepH = keepW > 0 ? std::min(height, height_) : 0;
    for (int y = 0; y < keepH; ++y) {
        std::memcpy(&next[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)], &At(0, y),
                    static_cast<std::size_t>(keepW) * sizeof(uint32_t));
    }
    pixels_ = std::move(next);
    width_ = width;
    height_ = height;
    Recalculate();
    return true;
}

void RasterCanvas::Fill(ColorRef color) {
    std::fill(pixels_.begin(), pixels_.end(), PixelFromColor(color));
    originX_ = originY_ = 0;  // every pixel alike: the ring is in order
}

void RasterCanvas::Straighten() const {
    if (originX_ == 0 && originY_ == 0) return;
    const auto w = static_cast<std::ptrdiff_t>(width_);
    if (originX_ != 0) {
        for (auto row = pixels_.begin(); row != pixels_.end(); row += w)
            std::rotate(row, row + originX_, row + w);
    }
    std::rotate(pixels_.begin(), pixels_.begin() + originY_ * w, pixels_.end());
    originX_ = originY_ = 0;
}

std::vector<RasterCanvas::StoredPiece> RasterCanvas::StoredPieces(const Rect& rect) const {
    std::vector<StoredPiece> pieces;
    const Rect r = rect.Intersect(Rect{0, 0, width_, height_});
    if (r.Empty()) return pieces;
    // Picture columns [0, seamX) lie after the origin, [seamX, width) wrap to
    // the start of the row; rows alike.
    const int seamX = width_ - originX_;
    const int seamY = height_ - originY_;
    const int xs[] = {r.left, std::clamp(seamX, r.left, r.right), r.right};
    const int ys[] = {r.top, std::clamp(seamY, r.top, r.bottom), r.bottom};
    for (int j = 0; j < 2; ++j) {
        for (int i = 0; i < 2; ++i) {
            const Rect area{xs[i], ys[j], xs[i + 1], ys[j + 1]};
            if (!area.Empty())
                pieces.push_back({area, Point{StoredX(area.left), StoredY(area.top)}});
        }
    }
    return pieces;
}

std::vector<Rect> RasterCanvas::ScrollPixels(int dx, int dy) {
    std::vector<Rect> exposed;
    if (width_ == 0 || height_ == 0 || (dx == 0 && dy == 0)) return exposed;
    const int64_t adx = dx < 0 ? -static_cast<int64_t>(dx) : dx;
    const int64_t ady = dy < 0 ? -static_cast<int64_t>(dy) : dy;
    if (adx >= width_ || ady >= height_) {
        exposed.push_back(Rect{0, 0, width_, height_});
        return exposed;
    }

    // Picture column x now shows what column x - dx showed.
    originX_ = static_cast<int>((originX_ - dx % width_ + width_) % width_);
    originY_ = static_cast<int>((originY_ - dy % height_ + height_) % height_);

    if (dy > 0) exposed.push_back(Rect{0, 0, width_, dy});
    if (dy < 0) exposed.push_back(Rect{0, height_ + dy, width_, height_});
    const int top = dy > 0 ? dy : 0;
    const int bottom = dy < 0 ? height_ + dy : height_;
    if (dx > 0) exposed.push_back(Rect{0, top, dx, bottom});
    if (dx < 0) exposed.push_back(Rect{width_ + dx, top, width_, bottom});
    return exposed;
}

void RasterCanvas::SetClipRect(const Rect& clip) {
    requestedClip_ = clip;
    Recalculate();
}

void RasterCanvas::ResetClipRect() {
    requestedClip_.reset();
    Recalculate();
}

void RasterCanvas::Recalculate() {
    const Rect all{0, 0, width_, height_};
    clip_ = requestedClip_ ? requestedClip_->Intersect(all) : all;
}

ColorRef RasterCanvas::GetPixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
    return ColorFromPixel(
        pixels_[static_cast<std::size_t>(StoredY(y)) * static_cast<std::size_t>(width_) +
                static_cast<std::size_t>(StoredX(x))]);
}

void RasterCanvas::FillRect(const Rect& rect, ColorRef color) {
    const Rect r = rect.Intersect(clip_);
    if (r.Empty()) return;
    const uint32_t p = PixelFromColor(color);
    // Every row splits at the same stored column: up to two runs a row.
    const int first = StoredX(r.left);
    const int run = std::min(r.Width(), width_ - first);
    const int rest = r.Width() - run;
    const auto stride = static_cast<std::size_t>(width_);
    int row = StoredY(r.top);
    for (int y = r.top; y < r.bottom; ++y) {
        uint32_t* line = pixels_.data() + static_cast<std::size_t>(row) * stride;
        std::fill(line + first, line + first + run, p);
        std::fill(line, line + rest, p);
        if (++row == height_) row = 0;
    }
}

void RasterCanvas::TextOut(int x, int y, std::string_view text) {
    if (clip_.Empty()) return;
    const CanvasState& s = State();
    const TextStyle style{s.textColor, s.bkMode, s.bkColor};
    const PixelBuffer stored{pixels_.data(), width_, height_, width_};
    // Each piece of the clip is drawn where it lies in the ring, the text
    // moved with it, so a word across the seam comes out whole.
    for (const StoredPiece& piece : StoredPieces(clip_)) {
        const int shiftX = piece.storedAt.x - piece.area.left;
        const int shiftY = piece.storedAt.y - piece.area.top;
        const Rect clip{piece.area.left + shiftX, piece.area.top + shiftY,
                        piece.area.right + shiftX, piece.area.bottom + shiftY};
        text_->Draw(stored, clip, x + shiftX, y + shiftY, text, style);
    }
}

Size RasterCanvas::GetTextExtent(std::string_view text) const {
    return text_->Measure(text);
}

void RasterCanvas::SetTextRenderer(std::shared_ptr<const TextRenderer> renderer) {
    text_ = renderer ? std::move(renderer) : DefaultTextRenderer();
}

void RasterCanvas::DrawLine(Point from, Point to) {
    if (from == to) return;
    // The trace renderer draws one vertical stroke per channel and column,
    // so straight lines skip the general walk.
    if (from.x == to.x) {
        if (to.y > from.y) {
            VerticalLine(from.x, from.y, to.y - 1);
        } else {
            VerticalLine(from.x, to.y + 1, from.y);
        }
    } else if (from.y == to.y) {
        if (to.x > from.x) {
            HorizontalLine(from.y, from.x, to.x - 1);
        } else {
            HorizontalLine(from.y, to.x + 1, from.x);
        }
    } else {
        WalkLine(from, to);
    }
}

void RasterCanvas::VerticalLine(int x, int y0, int y1) {
    if (State().rop != Rop::Not) {
        FillColumn(x, y0, y1, PixelFromColor(State().pen));
        return;
    }
    const auto stride = static_cast<std::size_t>(width_);
    ForColumn(x, y0, y1, [stride](uint32_t* p, int n) {
        for (; n > 0; --n, p += stride) *p ^= kInvertMask;
    });
}

void RasterCanvas::HorizontalLine(int y, int x0, int x1) {
    if (State().rop == Rop::Not) {
        ForRow(y, x0, x1, [](uint32_t* p, int n) {
            for (; n > 0; --n, ++p) *p ^= kInvertMask;
        });
    } else {
        const uint32_t pen = PixelFromColor(State().pen);
        ForRow(y, x0, x1, [pen](uint32_t* p, int n) { std::fill(p, p + n, pen); });
    }
}

void RasterCanvas::WalkLine(Point from, Point to) {
    const int64_t dx = static_cast<int64_t>(to.x) - from.x;
    const int64_t dy = static_cast<int64_t>(to.y) - from.y;
    const int stepX = dx < 0 ? -1 : 1;
    const int stepY = dy < 0 ? -1 : 1;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = ady <= adx;
    const int64_t major = xMajor ? adx : ady;
    const int64_t minor = xMajor ? ady : adx;

    // The major coordinate of step i is start + i * step exactly, so the
    // steps inside the clip are known without walking the ones outside it.
    const int64_t m0 = xMajor ? from.x : from.y;
    const int mStep = xMajor ? stepX : stepY;
    const int64_t lo = xMajor ? clip_.left : clip_.top;
    const int64_t hi = (xMajor ? clip_.right : clip_.bottom) - 1;
    int64_t iFirst = mStep > 0 ? lo - m0 : m0 - hi;
    int64_t iLast = mStep > 0 ? hi - m0 : m0 - lo;
    iFirst = std::max<int64_t>(iFirst, 0);
    iLast = std::min<int64_t>(iLast, major - 1);  // the end pixel is left out
    if (iFirst > iLast) return;

    // Minor steps taken before step iFirst: the least k that keeps
    // e = major - 2*minor*i + 2*major*k from being negative. The product can
    // exceed 64 bits for lines spanning the whole coordinate range.
    const __int128 need = static_cast<__int128>(2 * minor) * iFirst - major;
    const int64_t k = need <= 0 ? 0 : static_cast<int64_t>((need + 2 * major - 1) / (2 * major));
    int64_t e = static_cast<int64_t>(static_cast<__int128>(major) -
                                     static_cast<__int128>(2 * minor) * iFirst +
                                     static_cast<__int128>(2 * major) * k);

    const int nStep = xMajor ? stepY : stepX;
    int64_t n = (xMajor ? from.y : from.x) + nStep * k;
    const int64_t nLo = xMajor ? clip_.top : clip_.left;
    const int64_t nHi = (xMajor ? clip_.bottom : clip_.right) - 1;
    int64_t m = m0 + mStep * iFirst;

    const Plot plot{State().rop, PixelFromColor(State().pen)};
    for (int64_t i = iFirst; i <= iLast; ++i) {
        if (n >= nLo && n <= nHi) {
            const auto mi = static_cast<int>(m);
            const auto ni = static_cast<int>(n);
            plot(xMajor ? At(mi, ni) : At(ni, mi));
        } else if ((nStep > 0 && n > nHi) || (nStep < 0 && n < nLo)) {
            break;  // the minor coordinate only moves further away
        }
        m += mStep;
        e -= 2 * minor;
        if (e < 0) {
            e += 2 * major;
            n += nStep;
        }
    }
}

}  // namespace koru
