#include "export/Amplitude.h"

#include <gtest/gtest.h>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

// Channel 1 runs from -100 (frame 50) to 300 (frame 60) and rests at 7
// elsewhere; channel 2 is flat; channel 3 climbs by one a frame.
int16_t Shaped(int64_t f, int c) {
    if (c == 0) return static_cast<int16_t>(f == 50 ? -100 : f == 60 ? 300 : 7);
    if (c == 1) return 42;
    return static_cast<int16_t>(f);
}

struct AmplitudeFixture : ::testing::Test {
    test::TempDir dir;
    test::ScriptedUi ui;

    Amplitudes Measure(const std::string& path, bool fileBacked, Cutout cut) {
        SignalDocument doc;
        doc.SetFileBacked(fileBacked);
        EXPECT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        LoadRecording(doc, ui);
        return MeasureAmplitudes(doc, cut);
    }
};

TEST_F(AmplitudeFixture, HighestMinusLowestPerChannelInEitherStorageMode) {
    const std::string sig = dir.Write("r.sig", test::SigOf(3, 1000, 200, Shaped));
    for (const bool fileBacked : {false, true}) {
        SCOPED_TRACE(fileBacked);
        EXPECT_EQ(Measure(sig, fileBacked, Cutout::FromTags(70, 40)),
                  (Amplitudes{400, 0, 30, 0, 0, 0, 0, 0}));
        // Two frames, the tags one apart: both are measured.
        EXPECT_EQ(Measure(sig, fileBacked, Cutout::FromTags(60, 61)),
                  (Amplitudes{293, 0, 1, 0, 0, 0, 0, 0}));
        EXPECT_EQ(Measure(sig, fileBacked, Cutout::FromTags(-3, -1)), Amplitudes{});
        // A recording that ends early is measured to its end.
        EXPECT_EQ(Measure(sig, fileBacked, Cutout::FromTags(190, 5000))[2], 9);
    }
    // A raw ".dat" recording, its values shifted as the open delivers them.
    std::vector<uint8_t> raw;
    for (int64_t f = 0; f < 100; ++f)
        for (int c = 0; c < 8; ++c) test::PutLe16(raw, static_cast<uint16_t>(f * 16 * (c + 1)));
    const std::string dat = dir.Write("r.dat", raw);
    ui.readBinaryAnswers = {{8, 1000}, {8, 1000}};
    const Amplitudes inMemory = Measure(dat, false, Cutout::FromTags(10, 20));
    EXPECT_EQ(inMemory, Measure(dat, true, Cutout::FromTags(10, 20)));
    EXPECT_EQ(inMemory[0], 10);
    EXPECT_EQ(inMemory[7], 80);
}

TEST(AmplitudeLine, IsTheDialogsText) {
    EXPECT_EQ(AmplitudeLine(3, 412), "Channel 3:  412");
    EXPECT_EQ(AmplitudeLine(8, 65535), "Channel 8:  65535");
}

}  // namespace
}  // namespace koru
