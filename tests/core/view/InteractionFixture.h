#pragma once
// A view with a recording, driven with mouse and key events as the window
// sends them, and compared pixel by pixel with a fresh repaint.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/ViewFixture.h"

namespace koru::test {

struct InteractionFixture : ViewFixture {
    static constexpr int kW = 400;
    static constexpr int kH = 330;

    std::vector<Rect> shown;
    int countChanges = 0;
    int scrollChanges = 0;

    InteractionFixture() : ViewFixture(kW, kH) {
        // Names are written over the picture at the left edge and travel
        // with it, so they are left out where pictures are compared.
        session.settings().names = 0;
        view->SetShowHook([this](const Rect& r) { shown.push_back(r); });
        view->SetCountsHook([this] { ++countChanges; });
        view->SetScrollHook([this] { ++scrollChanges; });
    }

    // An 8-lead recording with traces, dots, time hacks and markers.
    void OpenBusy(int64_t frames = 30'000) {
        session.channels().current[0].HasMarker = 1;
        Open(8, 1000, frames, Wander);
        MarkerList& m = session.document().Markers();
        for (int32_t f = 150; f < frames; f += 1'217) m.items.push_back(f);
        m.loaded = true;
        view->Update();
    }

    // Nothing but the background: every changed pixel is the interaction's.
    void OpenBlank(int64_t frames = 30'000) {
        TracesOnly();
        for (ChannelRecord& r : session.channels().current) r.DisplayPosition = 0;
        Open(1, 1000, frames, [](int64_t, int) -> int16_t { return 0; });
        view->Update();
    }

    void TagDrag(int fromX, int toX, int y = 40) {
        view->OnRightDown(fromX, y, false);
        view->OnMouseMove((fromX + toX) / 2, y + 3);
        view->OnMouseMove(toX, y);
        view->OnRightUp(toX, y);
    }
    void LineDrag(Point from, Point to) {
        view->OnLeftDown(from.x, from.y, false);
        view->OnMouseMove((from.x + to.x) / 2, (from.y + to.y) / 2);
        view->OnMouseMove(to.x, to.y);
        view->OnLeftUp(to.x, to.y);
    }

    std::vector<uint32_t> Picture() const { return PixelsOf(view->BackBuffer()); }

    // What the paint operation draws for the current state, on a canvas of
    // its own so the back buffer is left as it is.
    std::vector<uint32_t> Repainted() {
        RasterCanvas fresh(kW, kH, view->Background());
        view->Paint(fresh, view->ClientRect());
        return PixelsOf(fresh);
    }

    // Empty when the back buffer equals a fresh repaint; else where not.
    std::string DiffFromRepaint() {
        view->Update();
        const std::vector<uint32_t> want = Repainted();
        const std::vector<uint32_t> have = Picture();
        int count = 0;
        std::string first;
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (want[i] == have[i]) continue;
            if (count++ == 0)
                first = "x=" + std::to_string(i % kW) + " y=" + std::to_string(i / kW);
        }
        return count == 0 ? std::string()
                          : std::to_string(count) + " pixels differ, first at " + first;
    }

    std::string Cut() { return ui.fields[Field::Cut]; }

    // Pixels that differ between two pictures.
    static std::vector<Point> Changed(const std::vector<uint32_t>& a,
                                      const std::vector<uint32_t>& b) {
        std::vector<Point> pts;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                pts.push_back(Point{static_cast<int>(i % kW), static_cast<int>(i / kW)});
        return pts;
    }
};

}  // namespace koru::test
