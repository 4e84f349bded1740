// Each peer recording against the independent reader's values in expected/.
// A file added to the corpus is a row here, not a new test.

#include <gtest/gtest.h>

#include "signal/ForeignSource.h"
#include "support/PeerExpected.h"

namespace koru {
namespace {

using test::kPeer;

struct PeerCase {
    const char* file;      // under the peer folder
    const char* expected;  // under expected/
    std::vector<int> chosen;
    double unitFactor = 1;  // ours into the JSON's unit
};

const PeerCase kPeerCases[] = {
    {"wfdb-python-samples/test01_00s.hea", "wfdb-python-samples/test01_00s.json", {0, 1, 2, 3}},
    // Skews: the skewed signal is aligned and the record ends where it runs out.
    {"wfdb-python-samples/test01_00s_skew.hea",
     "wfdb-python-samples/test01_00s_skew.json",
     {0, 1, 2, 3}},
    {"wfdb-python-samples/test01_00s_skewframe.hea",
     "wfdb-python-samples/test01_00s_skewframe.json",
     {0, 2}},
    {"wfdb-python-samples/test01_00s_skewframe.hea",
     "wfdb-python-samples/test01_00s_skewframe.json",
     {1}},  // two samples a frame: its own samples at 1000 Hz
    {"wfdb-python-samples/100skew.hea", "wfdb-python-samples/100skew.json", {0, 1}},
    {"wfdb-python-samples/03700181.hea", "wfdb-python-samples/03700181.json", {0}},
    {"wfdb-python-samples/03700181.hea", "wfdb-python-samples/03700181.json", {1, 2}},
    // Every storage format, one signal a file.
    {"wfdb-python-samples/binformats.hea",
     "wfdb-python-samples/binformats.json",
     {0, 1, 2, 3, 4, 5, 6, 7}},
    {"wfdb-python-samples/binformats.hea", "wfdb-python-samples/binformats.json", {8, 9}},
    {"wfdb-python-samples/flacformats.hea", "wfdb-python-samples/flacformats.json", {0, 1, 2}},
    {"wfdb-python-samples/mixedsignals.hea", "wfdb-python-samples/mixedsignals.json", {0, 1, 2}},
    {"wfdb-python-samples/mixedsignals.hea", "wfdb-python-samples/mixedsignals.json", {3, 4}},
    {"wfdb-python-samples/mixedsignals.hea", "wfdb-python-samples/mixedsignals.json", {5}},
    // Multi-segment records: fixed layout, and variable layout with gaps and rescaled gains.
    {"wfdb-python-samples/multi-segment/041s/041s.hea",
     "wfdb-python-samples/multi-segment/041s/041s.json",
     {0, 1, 2}},
    {"wfdb-python-samples/multi-segment/041s/041s.hea",
     "wfdb-python-samples/multi-segment/041s/041s.json",
     {3, 4, 5, 6}},
    {"wfdb-python-samples/multi-segment/s25047/s25047-2704-05-04-10-44.hea",
     "wfdb-python-samples/multi-segment/s25047/s25047-2704-05-04-10-44.json",
     {0, 1, 2}},
};

class PeerValuesTest : public testing::TestWithParam<PeerCase> {};

TEST_P(PeerValuesTest, ValuesEqualTheIndependentReader) {
    const PeerCase& c = GetParam();
    const nlohmann::json want = test::ReadExpected(c.expected);
    ASSERT_TRUE(want.is_object()) << c.expected;
    std::string error;
    const auto source = OpenForeignSource(kPeer + "/" + c.file, error);
    if (want.contains("refused")) {  // no independent reader reads it: we refuse, saying why
        EXPECT_TRUE(!source && !error.empty());
        return;
    }
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->Signals().size(), want["nsig"].get<std::size_t>());
    test::ExpectSignalsMatch(*source, want, c.chosen, c.unitFactor);
}

INSTANTIATE_TEST_SUITE_P(Peer, PeerValuesTest, testing::ValuesIn(kPeerCases), [](const auto& p) {
    // A record read in several choices is a case per choice.
    std::string name = test::CaseName(p.param.file);
    for (const int i : p.param.chosen) name += "_" + std::to_string(i);
    return name;
});

}  // namespace
}  // namespace koru
