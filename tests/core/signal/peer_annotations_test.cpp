// Each peer annotation file against what rdann listed for it (expected/):
// the count, and the first 32 by sample number and label; and the markers a
// record makes of it: its beats only, at the frames of the chosen signals.

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/File.h"
#include "signal/ForeignSource.h"
#include "signal/OpenFlow.h"
#include "signal/WfdbAnnotations.h"
#include "support/PeerExpected.h"
#include "support/ScriptedUi.h"

namespace koru {
namespace {

using test::kPeer;

struct AnnotationCase {
    const char* record;     // header under the peer folder
    const char* annotator;  // REC.NAME
    const char* expected;   // under expected/
    double frameFrequency;
};

const AnnotationCase kAnnotationCases[] = {
    // "## time resolution: 250" in a record of 125 frames a second
    {"wfdb-python-samples/03700181.hea", "sqrs", "wfdb-python-samples/03700181.sqrs.json", 125},
    // "## time resolution: 500", and a note with the command line after it
    {"wfdb-python-samples/03700181.hea", "gqrsh", "wfdb-python-samples/03700181.gqrsh.json", 125},
    // no resolution: the command-line note at time 0 is the file's table, not listed
    {"wfdb-python-samples/03700181.hea", "gqrsl", "wfdb-python-samples/03700181.gqrsl.json", 125},
};

class PeerAnnotationsTest : public testing::TestWithParam<AnnotationCase> {};

TEST_P(PeerAnnotationsTest, ListedAsTheIndependentReaderListsThem) {
    const AnnotationCase& c = GetParam();
    const nlohmann::json want = test::ReadExpected(c.expected);
    ASSERT_TRUE(want.is_object()) << c.expected;
    const std::string record = kPeer + "/" + c.record;
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(record.substr(0, record.size() - 4) + "." + c.annotator, bytes));
    const WfdbAnnotationFile file = ParseWfdbAnnotations(bytes);
    ASSERT_EQ(file.items.size(), want["count"].get<std::size_t>());
    EXPECT_EQ(file.resolution, want.value("time_resolution_hz", 0.0));
    const nlohmann::json& first = want["first32"];
    for (std::size_t k = 0; k < first.size(); ++k) {
        const WfdbAnnotation& a = file.items[k];
        EXPECT_EQ(WfdbAnnotationSample(a.time, file.resolution, c.frameFrequency, c.frameFrequency),
                  first[k][0].get<int64_t>())
            << "annotation " << k;
        EXPECT_EQ(file.Label(a), first[k][1].get<std::string>()) << "annotation " << k;
        EXPECT_EQ(file.Text(a), first[k][5].get<std::string>()) << "annotation " << k;
    }
}

// The markers of the record: rdann's beats (its notes left out), at the
// frame frequency for a signal of one sample a frame and at the file's own
// ticks, scaled, for the signal of four.
TEST_P(PeerAnnotationsTest, MarkersAreTheBeatsAtTheChosenSignalsRate) {
    const AnnotationCase& c = GetParam();
    const nlohmann::json want = test::ReadExpected(c.expected);
    std::string error;
    const auto source = OpenForeignSource(kPeer + "/" + c.record, error);
    ASSERT_TRUE(source) << error;
    ASSERT_TRUE(source->ChooseAnnotator(c.annotator));
    source->Choose({1});  // ABP, 125 Hz
    std::vector<int64_t> got = source->Annotations();
    std::sort(got.begin(), got.end());
    std::vector<int64_t> beats;
    for (const nlohmann::json& a : want["first32"])
        if (a[1].get<std::string>() != "\"") beats.push_back(a[0].get<int64_t>());
    ASSERT_GE(got.size(), beats.size());
    EXPECT_EQ(
        std::vector<int64_t>(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(beats.size())),
        beats);
    EXPECT_LT(got.size(), want["count"].get<std::size_t>() + 1);
    if (!want.contains("cross_check_raw_ticks_first32")) return;
    source->Choose({0});  // MCL1, four samples a frame: 500 Hz
    got = source->Annotations();
    std::sort(got.begin(), got.end());
    const auto ticks = want["cross_check_raw_ticks_first32"].get<std::vector<int64_t>>();
    const double toRate = 500 / want["time_resolution_hz"].get<double>();
    // The raw list holds the table's and the notes' ticks (0) too; the beats follow them.
    std::vector<int64_t> raw;
    for (const int64_t t : ticks)
        if (t > 0) raw.push_back(static_cast<int64_t>(static_cast<double>(t) * toRate));
    ASSERT_GE(got.size(), raw.size());
    EXPECT_EQ(
        std::vector<int64_t>(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(raw.size())),
        raw);
}

INSTANTIATE_TEST_SUITE_P(Peer, PeerAnnotationsTest, testing::ValuesIn(kAnnotationCases),
                         [](const auto& p) { return std::string(p.param.annotator); });

}  // namespace
}  // namespace koru

namespace koru {
namespace {

// The Open-time choice among a record's annotators: offered only where there
// are any, .atr first else by name; the answer gives the markers, no answer
// cancels the open.
TEST(AnnotatorChoiceTest, TheOpenFlowOffersTheAnnotatorsAndTakesTheAnswer) {
    const std::string record = kPeer + "/wfdb-python-samples/03700181.hea";
    struct Case {
        std::optional<int> answer;
        OpenOutcome outcome;
        int markers;  // rdann's beats of the chosen file
    };
    for (const Case& c :
         {Case{std::nullopt, OpenOutcome::Cancelled, 0}, Case{2, OpenOutcome::Opened, 1195},
          Case{1, OpenOutcome::Opened, 1117}, Case{0, OpenOutcome::Opened, 1150}}) {
        test::ScriptedUi ui;
        ui.annotatorAnswers.push_back(c.answer);
        SignalDocument doc;
        EXPECT_EQ(OpenSignalFile(doc, record, ui), c.outcome);
        ASSERT_EQ(ui.annotatorsShown.size(), 1u);
        EXPECT_EQ(ui.annotatorsShown[0], (std::vector<std::string>{"gqrsh", "gqrsl", "sqrs"}));
        EXPECT_EQ(doc.IsOpen(), c.outcome == OpenOutcome::Opened);
        if (doc.IsOpen()) {
            EXPECT_EQ(doc.Markers().Count(), c.markers);
        }
    }
    test::ScriptedUi ui;
    SignalDocument doc;
    EXPECT_EQ(OpenSignalFile(doc, kPeer + "/wfdb-python-samples/100skew.hea", ui),
              OpenOutcome::Opened);
    EXPECT_TRUE(ui.annotatorsShown.empty());  // 100.atr belongs to record 100, not 100skew
}

// Both choices at one open: an annotator and the record's 125 Hz signals
// (ABP and RESP, not the 500 Hz MCL1 first): the channels, length and
// markers are at 125 Hz.
TEST(AnnotatorChoiceTest, AnAnnotatorAndSignalsOfTheSecondRateTogether) {
    test::ScriptedUi ui;
    ui.annotatorAnswers.push_back(2);  // sqrs
    ui.signalAnswers.push_back(std::vector<int>{1, 2});
    SignalDocument doc;
    ASSERT_EQ(OpenSignalFile(doc, kPeer + "/wfdb-python-samples/03700181.hea", ui),
              OpenOutcome::Opened);
    ASSERT_EQ(ui.signalsShown.size(), 1u);
    ASSERT_EQ(ui.signalsShown[0].size(), 3u);
    EXPECT_EQ(ui.signalsShown[0][0].rate, 500.0);
    EXPECT_EQ(ui.signalsShown[0][1].rate, 125.0);
    EXPECT_EQ(ui.signalsShown[0][2].rate, 125.0);
    EXPECT_EQ(doc.Header().ChannelCount, 2);
    EXPECT_EQ(doc.Header().Interval, 8000u);
    // The frames the data file holds, as rdsamp reads them, at one sample a frame.
    const nlohmann::json frames = test::ReadExpected("wfdb-python-samples/03700181.json");
    EXPECT_EQ(doc.FrameCount(), frames["rdsamp_frames"].get<int64_t>());
    const nlohmann::json want = test::ReadExpected("wfdb-python-samples/03700181.sqrs.json");
    EXPECT_EQ(doc.Markers().Count(), 1195);
    std::vector<int32_t> beats;
    for (const nlohmann::json& a : want["first32"])
        if (a[1].get<std::string>() != "\"") beats.push_back(a[0].get<int32_t>());
    ASSERT_GE(doc.Markers().items.size(), beats.size());
    EXPECT_EQ(std::vector<int32_t>(
                  doc.Markers().items.begin(),
                  doc.Markers().items.begin() + static_cast<std::ptrdiff_t>(beats.size())),
              beats);
}

}  // namespace
}  // namespace koru
