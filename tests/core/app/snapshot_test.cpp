#include "app/Snapshot.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace koru {
namespace {

constexpr int kW = 1280;
constexpr int kH = 1024;

struct Snapshot {
    HeadlessUi ui;
    Session session{ui};
    std::unique_ptr<SignalView> view;
    Snapshot() {
        session.geometry().SetScreen(kW, kH);
        view = std::make_unique<SignalView>(session.viewContext());
        view->ResizeClient(kW, kH);
    }
};

// The example ECG at start: every channel of the default configuration
// draws a trace around its own baseline across the whole width, in its
// own colour, on the settings' background.
TEST(SnapshotTest, ExampleRecordingShowsEveryLeadInItsSlot) {
    for (bool fileBacked : {false, true}) {
        Snapshot s;
        s.session.settings().fileMode = fileBacked;
        ASSERT_TRUE(
            RenderStartUpPicture(s.session, *s.view, KORU_EXAMPLES_DIR "/ptb_s0010_8lead.sig"));
        EXPECT_TRUE(s.ui.messages.empty());
        const RasterCanvas& b = s.view->BackBuffer();
        EXPECT_EQ(b.GetPixel(kW - 1, kH - 1), s.session.settings().background);
        // Channels 2..5 have colours of their own in the default configuration.
        for (int ch = 1; ch <= 4; ++ch) {
            const ChannelRecord& rec = s.session.channels().current[static_cast<std::size_t>(ch)];
            const ColorRef color = s.session.channels().colors.Ref(rec.DisplayColor);
            const int base = s.view->BaselineY(rec.DisplayPosition);
            int columns = 0;
            for (int x = 0; x < kW; ++x) {
                bool hit = false;
                for (int y = std::max(base - 80, 0); y <= base + 80 && !hit; ++y)
                    hit = b.GetPixel(x, y) == color;
                columns += hit;
            }
            EXPECT_GT(columns, kW * 95 / 100) << "channel " << ch << (fileBacked ? " file" : "");
        }
    }
}

TEST(SnapshotTest, UnopenableFileIsReportedAndLeavesTheViewEmpty) {
    Snapshot s;
    EXPECT_FALSE(RenderStartUpPicture(s.session, *s.view, "/nonexistent/dir/none.sig"));
    EXPECT_FALSE(s.ui.messages.empty());
    s.view->Update();
    EXPECT_EQ(s.view->BackBuffer().GetPixel(kW / 2, kH / 2), Rgb(255, 255, 255));
}

}  // namespace
}  // namespace koru
