#include "QtPrinterCanvas.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QStringDecoder>
#include <algorithm>

namespace {

// Drawing calls between two looks at the clock.
constexpr unsigned kCallsPerCheck = 512;
constexpr qint64 kPollMillis = 30;

QColor ToQColor(koru::ColorRef c) {
    return QColor(koru::RedOf(c), koru::GreenOf(c), koru::BlueOf(c));
}

// Names are ASCII; paths in the title are shown as the file system spells
// them, UTF-8 when valid, else byte by byte.
QString TextOf(std::string_view s) {
    const QByteArray bytes(s.data(), static_cast<qsizetype>(s.size()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return text;
}

// Strokes run through pixel centres. The half pixel is added by the
// painter's transform when they are drawn, so the file holds whole numbers,
// which it writes in a third of the bytes.
QPointF Corner(koru::Point p) {
    return QPointF(p.x, p.y);
}

}  // namespace

QtPrinterCanvas::QtPrinterCanvas(QPainter& painter, const QFont& font)
    : painter_(painter), font_(font) {
    const koru::Size device = DeviceSize();
    logical_ = device;
    painter_.setFont(font_);
    sincePoll_.start();
}

QtPrinterCanvas::~QtPrinterCanvas() {
    Flush();
}

koru::Size QtPrinterCanvas::DeviceSize() const {
    const QPaintDevice* d = painter_.device();
    return d ? koru::Size{d->width(), d->height()} : koru::Size{};
}

void QtPrinterCanvas::MapLogical(koru::Size logical) {
    Flush();
    const koru::Size device = DeviceSize();
    logical_ = logical;
    painter_.setWindow(0, 0, logical.cx, logical.cy);
    painter_.setViewport(0, 0, device.cx, device.cy);
    painter_.setClipRect(QRect(0, 0, logical.cx, logical.cy));
}

bool QtPrinterCanvas::Tick() {
    if (stopped_) return false;
    if (poll_ && ++calls_ % kCallsPerCheck == 0 && sincePoll_.elapsed() >= kPollMillis) {
        sincePoll_.restart();
        if (poll_()) {
            stopped_ = true;
            strokes_.clear();
            pixels_.clear();
            return false;
        }
    }
    return true;
}

QtPrinterCanvas::Strokes& QtPrinterCanvas::StrokesOf(koru::ColorRef color) {
    if (lastStrokes_ < strokes_.size() && strokes_[lastStrokes_].color == color)
        return strokes_[lastStrokes_];
    for (lastStrokes_ = 0; lastStrokes_ < strokes_.size(); ++lastStrokes_)
        if (strokes_[lastStrokes_].color == color) return strokes_[lastStrokes_];
    return strokes_.emplace_back(Strokes{color, {}, {}});
}

void QtPrinterCanvas::DrawLine(koru::Point from, koru::Point to) {
    if (from == to || !Tick()) return;
    FlushPixels();
    // Inverting what is under it leaves black on white paper.
    Strokes& s = StrokesOf(GetROP2() == koru::Rop::Not ? koru::Rgb(0, 0, 0) : CurrentPen());
    // Open polylines are few (a trace or two per colour, a tick or a box);
    // older ones are only drawn.
    constexpr std::size_t kOpen = 16;
    for (auto it = s.open.rbegin(); it != s.open.rend(); ++it) {
        std::vector<koru::Point>& line = s.lines[*it];
        if (line.back() != from) continue;
        // A stroke that goes on in the same direction just lengthens the
        // last segment.
        const koru::Point before = line[line.size() - 2];
        const long long ax = from.x - before.x, ay = from.y - before.y;
        const long long bx = to.x - from.x, by = to.y - from.y;
        if (ax * by == ay * bx && ax * bx + ay * by > 0)
            line.back() = to;
        else
            line.push_back(to);
        return;
    }
    if (s.open.size() == kOpen) s.open.erase(s.open.begin());
    s.open.push_back(s.lines.size());
    s.lines.push_back({from, to});
}

void QtPrinterCanvas::SetPixel(int x, int y, koru::ColorRef color) {
    if (!Inside(x, y) || !Tick()) return;
    FlushStrokes();
    Pixels* p = nullptr;
    for (Pixels& each : pixels_)
        if (each.color == color) p = &each;
    if (!p) p = &pixels_.emplace_back(Pixels{color, {}});
    p->points.emplace_back(x, y);
}

koru::ColorRef QtPrinterCanvas::GetPixel(int x, int y) const {
    return Inside(x, y) ? koru::Rgb(255, 255, 255) : koru::CLR_INVALID;
}

void QtPrinterCanvas::TextOut(int x, int y, std::string_view text) {
    if (!Tick()) return;
    Flush();
    const QString s = TextOf(text);
    const QFontMetrics metrics(font_, painter_.device());
    if (GetBkMode() == koru::BkMode::Opaque)
        painter_.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()),
                          ToQColor(GetBkColor()));
    painter_.setPen(ToQColor(GetTextColor()));
    painter_.drawText(QPoint(x, y + metrics.ascent()), s);
}

koru::Size QtPrinterCanvas::GetTextExtent(std::string_view text) const {
    const QFontMetrics metrics(font_, painter_.device());
    return koru::Size{metrics.horizontalAdvance(TextOf(text)), metrics.height()};
}

void QtPrinterCanvas::SaveState() {
    Flush();
    painter_.save();
    savedLogical_.push_back(logical_);
    Canvas::SaveState();
}

bool QtPrinterCanvas::RestoreState() {
    Flush();
    if (!Canvas::RestoreState()) return false;
    painter_.restore();
    logical_ = savedLogical_.back();
    savedLogical_.pop_back();
    return true;
}

void QtPrinterCanvas::Flush() {
    FlushStrokes();
    FlushPixels();
}

void QtPrinterCanvas::FlushStrokes() {
    if (strokes_.empty()) return;
    painter_.save();
    painter_.translate(0.5, 0.5);
    painter_.setBrush(Qt::NoBrush);
    for (const Strokes& s : strokes_) {
        QPainterPath path;
        std::size_t points = 0;
        for (const std::vector<koru::Point>& line : s.lines) points += line.size();
        path.reserve(static_cast<int>(points));
        for (const std::vector<koru::Point>& line : s.lines) {
            path.moveTo(Corner(line.front()));
            for (std::size_t i = 1; i < line.size(); ++i) path.lineTo(Corner(line[i]));
        }
        // One logical pixel wide, so the lines scale with the picture.
        painter_.setPen(QPen(ToQColor(s.color), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter_.drawPath(path);
    }
    painter_.restore();
    strokes_.clear();
    lastStrokes_ = 0;
}

void QtPrinterCanvas::FlushPixels() {
    if (pixels_.empty()) return;
    painter_.setPen(Qt::NoPen);
    for (Pixels& p : pixels_) {
        painter_.setBrush(ToQColor(p.color));
        if (DrawAsGrid(p.points)) continue;
        std::vector<QRect> squares;
        squares.reserve(p.points.size());
        for (const QPoint& q : p.points) squares.emplace_back(q.x(), q.y(), 1, 1);
        painter_.drawRects(squares.data(), static_cast<int>(squares.size()));
    }
    pixels_.clear();
}

namespace {

// Runs of neighbouring values as (first, length).
std::vector<std::pair<int, int>> Runs(const std::vector<int>& sorted) {
    std::vector<std::pair<int, int>> runs;
    for (const int v : sorted) {
        if (!runs.empty() && runs.back().first + runs.back().second == v)
            ++runs.back().second;
        else
            runs.emplace_back(v, 1);
    }
    return runs;
}

}  // namespace

bool QtPrinterCanvas::DrawAsGrid(std::vector<QPoint>& points) {
    constexpr std::size_t kMinGrid = 64;
    if (points.size() < kMinGrid) return false;
    // Row by row, as the dots arrive: then there is nothing to sort.
    auto less = [](const QPoint& a, const QPoint& b) {
        return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x();
    };
    if (!std::is_sorted(points.begin(), points.end(), less))
        std::sort(points.begin(), points.end(), less);
    points.erase(std::unique(points.begin(), points.end()), points.end());
    // Every row must hold the columns of the first one.
    std::vector<int> xs;
    for (std::size_t i = 0; i < points.size() && points[i].y() == points[0].y(); ++i)
        xs.push_back(points[i].x());
    if (points.size() % xs.size() != 0) return false;
    std::vector<int> ys;
    for (std::size_t k = 0; k < points.size(); ++k) {
        const std::size_t column = k % xs.size();
        if (points[k].x() != xs[column]) return false;
        if (column == 0) {
            ys.push_back(points[k].y());
        } else if (points[k].y() != ys.back()) {
            return false;
        }
    }

    const int top = ys.front(), height = ys.back() - ys.front() + 1;
    const int left = xs.front(), width = xs.back() - xs.front() + 1;
    const std::vector<std::pair<int, int>> columnRuns = Runs(xs), rowRuns = Runs(ys);
    // The clip is written in the file's own units, the fill in ours: the
    // fewer rectangles go into the clip.
    const bool clipRows = rowRuns.size() < columnRuns.size();
    QPainterPath clip;
    std::vector<QRect> fill;
    for (const auto& [x, n] : columnRuns) {
        if (clipRows)
            fill.emplace_back(x, top, n, height);
        else
            clip.addRect(x, top, n, height);
    }
    for (const auto& [y, n] : rowRuns) {
        if (clipRows)
            clip.addRect(left, y, width, n);
        else
            fill.emplace_back(left, y, width, n);
    }
    painter_.save();
    painter_.setClipPath(clip, Qt::IntersectClip);
    painter_.drawRects(fill.data(), static_cast<int>(fill.size()));
    painter_.restore();
    return true;
}
