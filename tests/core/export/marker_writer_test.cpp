#include <gtest/gtest.h>

#include "export/MarkerWriter.h"
#include "signal/MarkerFile.h"
#include "support/FileSizeLimit.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

MarkerList List(std::vector<int32_t> items) {
    MarkerList m;
    m.items = std::move(items);
    return m;
}

TEST(MarkerWriter, WritesTheListAsHeldAndReadsBackTheSame) {
    test::TempDir dir;
    // Unsorted, negative and 0: written as held, never sorted.
    const MarkerList m = List({30, -5, 0, 2147483647, 10, 10});
    const std::string path = dir.File("RUN1.mrk");
    ASSERT_TRUE(WriteMarkerFile(path, m));
    EXPECT_EQ(ReadText(path), "30\r\n-5\r\n0\r\n2147483647\r\n10\r\n10\r\n");
    std::vector<int32_t> back;
    ASSERT_TRUE(ReadMarkers(path, INT32_MAX, back));
    EXPECT_EQ(back, m.items);

    ASSERT_TRUE(WriteMarkerFile(path, List({})));
    EXPECT_EQ(ReadText(path), "");
}

TEST(MarkerWriter, CutoutMarkersAreCountedFromTheStartAndLeaveTheStartOut) {
    const MarkerList m = List({99, 100, 101, 150, 200, 201, 5, 180});
    EXPECT_EQ(CutoutMarkerText(m, Cutout{100, 200}), "1\r\n50\r\n100\r\n80\r\n");
    // Tags left of the recording count as frame 0, and a marker there is out.
    EXPECT_EQ(CutoutMarkerText(List({0, 1, -3}), Cutout::FromTags(-40, 1)), "1\r\n");
    EXPECT_EQ(CutoutMarkerText(m, Cutout{300, 400}), "");

    test::TempDir dir;
    ASSERT_TRUE(WriteCutoutMarkerFile(dir.File("cut.mrk"), m, Cutout{100, 200}));
    EXPECT_EQ(ReadText(dir.File("cut.mrk")), "1\r\n50\r\n100\r\n80\r\n");
}

TEST(MarkerWriter, AFailedWriteSaysWhyAndLeavesTheOldFile) {
    test::TempDir dir;
    std::string reason;
    EXPECT_FALSE(WriteMarkerFile(dir.path(), List({1}), &reason));  // a folder
    EXPECT_FALSE(reason.empty());

    const std::string path = dir.WriteText("old.mrk", "1\r\n2\r\n");
    std::vector<int32_t> many(2048);
    for (std::size_t i = 0; i < many.size(); ++i) many[i] = static_cast<int32_t>(i * 1000);
    reason.clear();
    {
        test::FileSizeLimit limit(100);
        EXPECT_FALSE(WriteMarkerFile(path, List(many), &reason));
    }
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(ReadText(path), "1\r\n2\r\n");
    EXPECT_EQ(CannotWriteMarkersText(path, reason),
              "KORU VIEW -- Cannot write marker file: " + path + "\nFile too large");
}

}  // namespace
}  // namespace koru
