#include <gtest/gtest.h>

#include <random>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

// Runs of random lengths, from random starts, across chunk and block edges:
// in both modes, for a store read straight and for packed ones, every frame
// of every run is the recording's.
TEST(FrameSpansTest, RunsOfAnyLengthDeliverTheRecordingInBothModes) {
    test::TempDir dir;
    test::ScriptedUi ui;
    for (uint16_t channels : {uint16_t{8}, uint16_t{3}, uint16_t{1}}) {
        SCOPED_TRACE(channels);
        const int64_t total = static_cast<int64_t>(FrameStore::ChunkFramesFor(channels)) * 2 + 1234;
        const std::string path = dir.Write("r.sig", test::SigFile(channels, 1000, total));
        SignalDocument mem, file;
        for (auto [doc, fileBacked] : {std::pair{&mem, false}, std::pair{&file, true}}) {
            doc->SetFileBacked(fileBacked);
            ASSERT_EQ(OpenSignalFile(*doc, path, ui), OpenOutcome::Opened);
            LoadRecording(*doc, ui);
        }
        std::mt19937 rng(7);
        for (int trial = 0; trial < 20; ++trial) {
            const int64_t first = std::uniform_int_distribution<int64_t>(0, total + 5)(rng);
            for (SignalDocument* doc : {&mem, &file}) {
                FrameSpans spans(*doc, first);
                int64_t at = first;
                for (int k = 0; k < 30; ++k) {
                    const auto want = std::uniform_int_distribution<std::size_t>(1, 70'000)(rng);
                    const std::span<const Frame> run = spans.Next(want);
                    if (run.empty()) break;
                    ASSERT_LE(run.size(), want);
                    for (const Frame& f : run) {
                        for (int c = 0; c < kFrameChannels; ++c)
                            ASSERT_EQ(f[static_cast<std::size_t>(c)],
                                      c < channels ? test::Value(at, c) : 0)
                                << "frame " << at << " channel " << c;
                        ++at;
                    }
                    ASSERT_EQ(spans.Position(), at);
                }
                // Something from inside the recording, nothing past its end.
                EXPECT_EQ(at > first, first < total);
            }
        }
    }
}

TEST(FrameSpansTest, WidenedExtremesCoverEveryChannelOfTheRun) {
    std::vector<Frame> frames(37);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> v(-32768, 32767);
    for (Frame& f : frames)
        for (int16_t& s : f) s = static_cast<int16_t>(v(rng));
    Frame lo = frames[5], hi = frames[5];
    WidenExtremes(frames, lo, hi);
    for (std::size_t c = 0; c < kFrameChannels; ++c) {
        int16_t l = frames[0][c], h = frames[0][c];
        for (const Frame& f : frames) {
            l = std::min(l, f[c]);
            h = std::max(h, f[c]);
        }
        EXPECT_EQ(lo[c], l);
        EXPECT_EQ(hi[c], h);
    }
}

}  // namespace
}  // namespace koru
