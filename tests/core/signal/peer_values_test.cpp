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
    bool refused = false;   // read by a vendor's own decoder only: we refuse, saying why
};

const PeerCase kPeerCases[] = {
    {"wfdb-python-samples/test01_00s.hea", "wfdb-python-samples/test01_00s.json", {0, 1, 2, 3}},
    // GDF through the reader process: every integer and float type, 8 to 64
    // bits; GDF 1.25; the two files that crashed when read in parts.
    {"gdf/alltypes.gdf", "gdf/alltypes.gdf.json", {0, 1, 2, 3, 4, 5, 6, 7}},
    {"gdf/alltypes.gdf", "gdf/alltypes.gdf.json", {8, 9}},
    {"gdf/Header3Tag1.gdf", "gdf/Header3Tag1.gdf.json", {0, 1, 2, 3, 4, 5, 6, 7}},
    {"gdf/Header3Tag1.gdf", "gdf/Header3Tag1.gdf.json", {8, 9}},
    {"gdf/MI128.gdf", "gdf/MI128.gdf.json", {0, 1, 2, 3, 4, 5}},
    {"gdf/biosig_t310_ERDSMaps_sample.gdf",
     "gdf/biosig_t310_ERDSMaps_sample.gdf.json",
     {0, 1, 2, 3}},
    {"gdf/test_1ch.gdf", "gdf/test_1ch.gdf.json", {0}},
    // SCP-ECG in uV against the readers' mV; the two files that declare
    // more samples than they store end where the samples end.
    {"scp/ECG_20060620_112352_ANON000002.SCP",
     "scp/ECG_20060620_112352_ANON000002.SCP.json",
     {0, 1, 2, 3, 4, 5, 6, 7},
     1e-3},
    {"scp/ECG_20170504_163507_ANON000009.SCP",
     "scp/ECG_20170504_163507_ANON000009.SCP.json",
     {0, 1, 2, 3, 4, 5, 6, 7},
     1e-3},
    {"scp/examples_Example.scp", "scp/examples_Example.scp.json", {0, 1, 2, 3, 4, 5, 6, 7}, 1e-3},
    {"scp/examples_Example.scp", "scp/examples_Example.scp.json", {8, 9, 10, 11}, 1e-3},
    {"scp/examples_demo.scp", "scp/examples_demo.scp.json", {0, 1, 2, 3, 4, 5, 6, 7}, 1e-3},
    {"scp/tools_0000050.ECG.scp", "scp/tools_0000050.ECG.scp.json", {0, 1, 2, 3, 4, 5, 6, 7}, 1e-3},
    {"scp/tools_0000050.ECG.scp", "scp/tools_0000050.ECG.scp.json", {8, 9, 10, 11}, 1e-3},
    // Read only by a vendor's own decoder: refused with the reason.
    {"scp/demodata_ECG_0_62.SCP", "scp/demodata_ECG_0_62.SCP.json", {}, 1, true},
};

class PeerValuesTest : public testing::TestWithParam<PeerCase> {};

TEST_P(PeerValuesTest, ValuesEqualTheIndependentReader) {
    const PeerCase& c = GetParam();
    const nlohmann::json want = test::ReadExpected(c.expected);
    ASSERT_TRUE(want.is_object()) << c.expected;
    std::string error;
    const auto source = OpenForeignSource(kPeer + "/" + c.file, error);
    if (want.contains("refused") ||
        c.refused) {  // no independent reader reads it: we refuse, saying why
        EXPECT_TRUE(!source && !error.empty());
        return;
    }
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->Signals().size(), want["nsig"].get<std::size_t>());
    test::ExpectSignalsMatch(*source, want, c.chosen, c.unitFactor);
}

INSTANTIATE_TEST_SUITE_P(Peer, PeerValuesTest, testing::ValuesIn(kPeerCases), [](const auto& p) {
    const std::vector<int>& c = p.param.chosen;
    const std::string from = c.empty() || c.front() == 0 ? "" : "_from" + std::to_string(c.front());
    return test::CaseName(p.param.file) + from;
});

}  // namespace
}  // namespace koru
