// Each peer recording against the independent reader's values in expected/.
// A file added to the corpus is a row here, not a new test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

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

const std::vector<int> kFirst8 = {0, 1, 2, 3, 4, 5, 6, 7};

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
    // EDF and BDF, each against MNE; a second row where more signals or
    // another rate are there to choose.
    {"edf/0000050.ECG.edf", "edf/0000050.ECG.edf.json", kFirst8},
    {"edf/0000050.ECG.edf", "edf/0000050.ECG.edf.json", {4, 5, 6, 7, 8, 9, 10, 11}},
    {"edf/MB0400FU.EDF", "edf/MB0400FU.EDF.json", kFirst8},  // EDF+D without gaps
    {"edf/MB0400FU.EDF", "edf/MB0400FU.EDF.json", {17, 18, 19, 20, 21, 22, 23, 24}},
    {"edf/bdf_test.edf", "edf/bdf_test.edf.json", kFirst8},  // EDF+C, no annotation signal
    {"edf/edfPlusC.edf", "edf/edfPlusC.edf.json", kFirst8},
    {"edf/edfPlusC.edf", "edf/edfPlusC.edf.json", {3, 4, 5, 6, 7, 8, 9, 10}},
    {"edf/edfdata.edf", "edf/edfdata.edf.json", {0}},
    {"edf/edfdata.edf", "edf/edfdata.edf.json", {1}},  // ten times the first's rate
    {"edf/subsecond_starttime.edf", "edf/subsecond_starttime.edf.json", {0, 1, 2}},
    {"edf/test_edf_overlapping_annotations.edf", "edf/test_edf_overlapping_annotations.edf.json",
     kFirst8},
    {"edf/test_edf_overlapping_annotations.edf",
     "edf/test_edf_overlapping_annotations.edf.json",
     {56, 57, 58, 59, 60, 61, 62, 63}},
    {"edf/test_generator_2.edf", "edf/test_generator_2.edf.json", kFirst8},
    {"edf/test_uneven_samp.edf", "edf/test_uneven_samp.edf.json", {0}},
    {"edf/test_uneven_samp.edf", "edf/test_uneven_samp.edf.json", {1}},  // 12.8 Hz
    {"bdf/bdfPlusC.bdf", "bdf/bdfPlusC.bdf.json", kFirst8},
    {"bdf/bdf_test.bdf", "bdf/bdf_test.bdf.json", kFirst8},
    {"bdf/ekg.bdf", "bdf/ekg.bdf.json", {0}},
    {"bdf/ekg.bdf", "bdf/ekg.bdf.json", {1}},
    {"bdf/multiple_annotation_chans.bdf", "bdf/multiple_annotation_chans.bdf.json", kFirst8},
    {"bdf/multiple_annotation_chans.bdf",
     "bdf/multiple_annotation_chans.bdf.json",
     {11, 12, 13, 14, 15, 16, 17, 18}},
    {"bdf/test_bdf_stim_channel.bdf", "bdf/test_bdf_stim_channel.bdf.json", {0, 1, 2, 3}},
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

// Frames where the reader's annotations fall at `rate`, and the gaps of a
// discontinuous file (where the record before a gap ends), sorted.
std::vector<int64_t> ExpectedAnnotationFrames(const nlohmann::json& want, double rate) {
    std::vector<int64_t> out;
    for (const nlohmann::json& a : want["annotations"]["first32"])
        out.push_back(std::llround(a[0].get<double>() * rate));
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json& cross = want.contains("cross_check") ? want["cross_check"] : none;
    if (cross.contains("record_onsets_s_own_parse"))
        for (const nlohmann::json& g : cross["record_onsets_s_own_parse"]
                                            ["gaps_first16 [record, expected_onset, actual_onset]"])
            out.push_back(std::llround(g[1].get<double>() * rate));
    std::sort(out.begin(), out.end());
    return out;
}

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
    if (!want.contains("annotations")) return;
    // Annotations at the chosen rate, all of them when the JSON lists all.
    const double rate = want["signals"][static_cast<std::size_t>(c.chosen[0])]["sampling_rate_hz"];
    std::vector<int64_t> got = source->Annotations();
    std::sort(got.begin(), got.end());
    const std::vector<int64_t> expected = ExpectedAnnotationFrames(want, rate);
    if (want["annotations"]["count"].get<std::size_t>() <= 32) {
        EXPECT_EQ(got, expected);
    }
    EXPECT_GE(got.size(), want["annotations"]["count"].get<std::size_t>());
}

// A discontinuous file: each record at its onset from the JSON (the reader
// packs them together), physical zero between them, the whole against the
// reader's values once the gaps are taken out.
TEST(PeerDiscontinuousTest, RecordsSitAtTheirOwnTimesWithZeroInTheGaps) {
    for (const char* name : {"edf/edfPlusD.edf", "bdf/bdfPlusD.bdf"}) {
        SCOPED_TRACE(name);
        const nlohmann::json want = test::ReadExpected(std::string(name) + ".json");
        std::string error;
        const auto source = OpenForeignSource(kPeer + "/" + name, error);
        ASSERT_TRUE(source) << error;
        const auto& onsets = want["cross_check"]["record_onsets_s_own_parse"]["first32"];
        const double rate = want["signals"][0]["sampling_rate_hz"];
        const auto perRecord = static_cast<int64_t>(rate * want["record_duration_s"].get<double>());
        const auto frames = test::ReadAll(*source, kFirst8);
        ASSERT_EQ(source->FrameCount(),
                  std::llround(onsets.back().get<double>() * rate) + perRecord);
        std::vector<std::vector<int16_t>> packed(frames.size());
        int64_t end = 0, gapFrames = 0, nonZeroInGaps = 0;
        for (const nlohmann::json& onset : onsets) {
            const int64_t start = std::llround(onset.get<double>() * rate);
            for (std::size_t c = 0; c < frames.size(); ++c) {
                for (int64_t f = end; f < start; ++f)
                    nonZeroInGaps += frames[c][static_cast<std::size_t>(f)] != 0;
                packed[c].insert(packed[c].end(), frames[c].begin() + start,
                                 frames[c].begin() + start + perRecord);
            }
            gapFrames += start - end;
            end = start + perRecord;
        }
        EXPECT_GT(gapFrames, 0);
        EXPECT_EQ(nonZeroInGaps, 0);
        test::ExpectValuesMatch(*source, want, kFirst8, packed);
        std::vector<int64_t> got = source->Annotations();
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, ExpectedAnnotationFrames(want, rate));  // "RECORD START" and each gap
    }
}

INSTANTIATE_TEST_SUITE_P(Peer, PeerValuesTest, testing::ValuesIn(kPeerCases), [](const auto& p) {
    const std::vector<int>& c = p.param.chosen;
    const std::string from = c.empty() || c.front() == 0 ? "" : "_from" + std::to_string(c.front());
    return test::CaseName(p.param.file) + from;
});

}  // namespace
}  // namespace koru
