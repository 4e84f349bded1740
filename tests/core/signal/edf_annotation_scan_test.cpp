// EDF+ annotation lists found at open, wherever in a record they lie and
// whether they are most of a record or a sliver of it: every note at its
// frame and each record at its time (a gap where a discontinuous file skips).

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "signal/ForeignSource.h"
#include "support/EdfFile.h"
#include "support/TempDir.h"

namespace koru {
namespace {

struct ScanCase {
    const char* name;
    int dataPerRecord;  // 1100: the lists are a sliver of each record; 2: most of it
    bool listFirst, listLast;
};

constexpr int kRecords = 12;
constexpr int kListSamples = 30;

// Record r starts at r seconds, or r + 9 from the seventh on in a discontinuous file.
int Onset(int r, bool discontinuous) {
    return discontinuous && r >= 6 ? r + 9 : r;
}

class EdfAnnotationScanTest : public testing::TestWithParam<std::tuple<ScanCase, bool>> {};

TEST_P(EdfAnnotationScanTest, EveryNoteAndRecordTimeIsFound) {
    const auto& [c, discontinuous] = GetParam();
    std::vector<test::EdfSignal> sigs;
    // The record's time in the first list; a note every third record in the last
    // (in the same list when there is one).
    std::vector<std::string> times, notes;
    for (int r = 0; r < kRecords; ++r) {
        const std::string t = std::to_string(Onset(r, discontinuous));
        const std::string note =
            r % 3 == 0 ? test::Tal(t + ".5", "note " + std::to_string(r)) : std::string();
        times.push_back(test::Tal(t, "") + (c.listFirst && c.listLast ? "" : note));
        notes.push_back(note);
    }
    auto list = [](const std::vector<std::string>& text) {
        return test::EdfSignal{"EDF Annotations", -1,   1,   -32768, 32767, {},
                               kListSamples,      true, text};
    };
    if (c.listFirst) sigs.push_back(list(times));
    for (int s = 0; s < 2; ++s)
        sigs.push_back({"ECG " + std::to_string(s), -100, 100, -1000, 1000,
                        std::vector<int32_t>(kRecords * c.dataPerRecord, 7 * s), c.dataPerRecord});
    if (c.listLast) sigs.push_back(list(c.listFirst ? notes : times));
    std::string bytes = test::EdfBytes(sigs, kRecords, false, true);
    if (discontinuous) bytes.replace(192, 5, "EDF+D");
    test::TempDir dir;
    std::string error;
    const auto source = OpenForeignSource(dir.WriteText("a.edf", bytes), error);
    ASSERT_TRUE(source) << error;
    source->Choose({0, 1});

    const int rate = c.dataPerRecord;  // one-second records
    std::vector<std::pair<int64_t, std::string>> expected, got;
    if (discontinuous) expected.emplace_back(6 * rate, "Gap");
    for (int r = 0; r < kRecords; r += 3)
        expected.emplace_back(std::llround((Onset(r, discontinuous) + 0.5) * rate),
                              "note " + std::to_string(r));
    for (const Annotation& a : source->LabelledAnnotations()) got.emplace_back(a.frame, a.label);
    std::sort(expected.begin(), expected.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
    const int64_t frames = (Onset(kRecords - 1, discontinuous) + 1) * int64_t{rate};
    EXPECT_EQ(source->FrameCount(), frames);
}

const ScanCase kScanCases[] = {
    {"sliver_last", 1100, false, true}, {"sliver_first", 1100, true, false},
    {"sliver_both", 1100, true, true},  {"most_last", 2, false, true},
    {"most_both", 2, true, true},
};

INSTANTIATE_TEST_SUITE_P(Layouts, EdfAnnotationScanTest,
                         testing::Combine(testing::ValuesIn(kScanCases), testing::Bool()),
                         [](const auto& p) {
                             return std::string(std::get<0>(p.param).name) +
                                    (std::get<1>(p.param) ? "_discontinuous" : "_continuous");
                         });

}  // namespace
}  // namespace koru
