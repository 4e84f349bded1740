// A GDF recording served by the reader process while another program
// replaces, extends or cuts its file: what is shown stays the recording as
// it was opened, or (cut in place) ends early, and nothing crashes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"
#include "support/PeerExpected.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

std::vector<Frame> AllFrames(const SignalDocument& doc) {
    std::vector<Frame> out;
    FrameSpans spans(doc, 0);
    for (std::span<const Frame> run; !(run = spans.Next(5000)).empty();)
        out.insert(out.end(), run.begin(), run.end());
    return out;
}

enum class Change { RenamedOver, Appended, CutShort, Emptied };

void ChangeFile(const test::TempDir& dir, const std::string& path, Change change) {
    const auto size = static_cast<off_t>(std::filesystem::file_size(path));
    switch (change) {
        case Change::RenamedOver: {
            const std::string other = dir.Write(
                "other.tmp", std::vector<uint8_t>(static_cast<std::size_t>(size), uint8_t{0x5A}));
            ASSERT_EQ(std::rename(other.c_str(), path.c_str()), 0);
            return;
        }
        case Change::Appended: {
            std::FILE* f = std::fopen(path.c_str(), "ab");
            ASSERT_TRUE(f);
            const std::vector<uint8_t> more(100'000, uint8_t{0x33});
            EXPECT_EQ(std::fwrite(more.data(), 1, more.size(), f), more.size());
            std::fclose(f);
            return;
        }
        case Change::CutShort:
            ASSERT_EQ(::truncate(path.c_str(), size / 2), 0);
            return;
        case Change::Emptied:
            ASSERT_EQ(::truncate(path.c_str(), 0), 0);
            return;
    }
}

TEST(LibraryChangedFileTest, ServedGdfKeepsWhatWasOpenedOrEndsEarly) {
    const struct {
        const char* name;
        Change change;
        bool whole;  // every frame still read as opened
    } cases[] = {{"renamed over", Change::RenamedOver, true},
                 {"appended to", Change::Appended, true},
                 {"cut short", Change::CutShort, false},
                 {"emptied", Change::Emptied, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.File("r.gdf");
        std::filesystem::copy_file(test::kPeer + "/gdf/MI128.gdf", path);
        test::ScriptedUi ui;
        SignalDocument doc;
        doc.SetWholeLoadLimitForTesting(0);
        setenv("KORU_READER_SERVE_BYTES", "0", 1);
        ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        unsetenv("KORU_READER_SERVE_BYTES");
        LoadRecording(doc, ui);
        ASSERT_FALSE(doc.LoadsWhole());
        // The first screen read before the change, the rest after it.
        std::vector<Frame> before;
        FrameSpans spans(doc, 0);
        const std::span<const Frame> first = spans.Next(1000);
        before.assign(first.begin(), first.end());
        ASSERT_EQ(before.size(), 1000u);
        ChangeFile(dir, path, c.change);
        // Read again from the start: the file as opened, or (cut) as far as
        // it still goes.
        const std::vector<Frame> after = AllFrames(doc);
        if (c.whole) {
            EXPECT_EQ(static_cast<int64_t>(after.size()), doc.FrameCount());
            EXPECT_TRUE(std::equal(before.begin(), before.end(), after.begin()));
        }
        // Reopened unchanged, the same frames as far as they go.
        SignalDocument fresh;
        std::filesystem::copy_file(test::kPeer + "/gdf/MI128.gdf", dir.File("f.gdf"));
        ASSERT_EQ(OpenSignalFile(fresh, dir.File("f.gdf"), ui), OpenOutcome::Opened);
        LoadRecording(fresh, ui);
        const std::vector<Frame> want = AllFrames(fresh);
        ASSERT_LE(after.size(), want.size());
        EXPECT_TRUE(std::equal(after.begin(), after.end(), want.begin()));
    }
}

}  // namespace
}  // namespace koru
