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

INSTANTIATE_TEST_SUITE_P(Peer, PeerValuesTest, testing::ValuesIn(kPeerCases),
                         [](const auto& p) { return test::CaseName(p.param.file); });

}  // namespace
}  // namespace koru
