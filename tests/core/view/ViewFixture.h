#pragma once
// A session with a view on a small screen and a recording written for the
// test, painted with the fixed font so every pixel is known.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"
#include "view/SignalView.h"

namespace koru::test {

// Sample of channel c (0-based) in frame f.
using SampleFn = std::function<int16_t(int64_t f, int c)>;

inline std::vector<uint8_t> SigOf(uint16_t channels, uint32_t interval, int64_t frames,
                                  const SampleFn& sample) {
    std::vector<uint8_t> b = SigHeaderBytes(channels, interval);
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c) PutLe16(b, static_cast<uint16_t>(sample(f, c)));
    return b;
}

// A wandering signal with a spike now and then: columns get both flat and
// tall strokes, and the extremes move across column edges.
inline int16_t Wander(int64_t f, int c) {
    const int64_t spike = (f % 397 < 3) ? 900 : 0;
    return static_cast<int16_t>(((f * (5 + c)) % 700) - 350 + spike - c * 20);
}

struct ViewFixture {
    ScriptedUi ui;
    Session session{ui};
    TempDir dir;
    std::unique_ptr<SignalView> view;

    // Screen (and client area) of w x h pixels; the default settings
    // (black background, all overlays on) unless a test changes them.
    explicit ViewFixture(int w = 400, int h = 330) {
        session.geometry().SetScreen(w, h);
        // The default configuration shares two colours; tests tell channels
        // apart by colour.
        session.channels().current[5].DisplayColor = 6;
        session.channels().current[7].DisplayColor = 7;
        view = std::make_unique<SignalView>(session.viewContext());
        session.AttachView(view.get());
        view->ResizeClient(w, h);
    }

    void Open(uint16_t channels, uint32_t interval, int64_t frames, const SampleFn& sample,
              bool fileBacked = false) {
        session.settings().fileMode = fileBacked ? 1 : 0;
        const std::string path = dir.Write("rec.sig", SigOf(channels, interval, frames, sample));
        session.StartUp({});
        session.OpenRecording(path, false);
    }

    // Only the traces: no overlay in the way.
    void TracesOnly() {
        Settings& s = session.settings();
        s.dots = s.names = s.timeHacks = 0;
    }

    // Only `channel` is drawn, at `position`.
    void Solo(int channel, int position) {
        for (ChannelRecord& r : session.channels().current) r.DisplayPosition = 0;
        session.channels().current[static_cast<std::size_t>(channel)].DisplayPosition = position;
    }

    RasterCanvas& Full() {
        view->InvalidateAll();
        view->Update();
        return view->BackBuffer();
    }

    ColorRef Px(int x, int y) const { return view->BackBuffer().GetPixel(x, y); }
    ColorRef Background() const { return session.settings().background; }
    ColorRef ColorOf(int channel) const {
        return session.channels().colors.Ref(
            session.channels().current[static_cast<std::size_t>(channel)].DisplayColor);
    }

    // Rows of column x that hold `color`.
    std::vector<int> RowsOf(int x, ColorRef color) const {
        std::vector<int> rows;
        for (int y = 0; y < view->BackBuffer().Height(); ++y)
            if (Px(x, y) == color) rows.push_back(y);
        return rows;
    }
};

inline std::vector<uint32_t> PixelsOf(const RasterCanvas& c) {
    return {c.Pixels(), c.Pixels() + static_cast<std::ptrdiff_t>(c.Width()) * c.Height()};
}

}  // namespace koru::test
