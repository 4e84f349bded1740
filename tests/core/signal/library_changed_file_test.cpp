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
#include "support/ChangedFile.h"
#include "support/PeerExpected.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::AllFrames;
using test::Change;
using test::ChangeFile;

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
