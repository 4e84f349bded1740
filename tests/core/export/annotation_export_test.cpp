// The annotations of MIT-BIH record 100 against rdann's listing of its
// reference file (tests/data/real/mitdb/100.atr.rdann.txt): every one kept
// with its label and text past the Marker list's limit, the "A" beats
// reached one by one, and the CSV export read back field by field.

#include <gtest/gtest.h>

#include <sstream>

#include "export/AnnotationWriter.h"
#include "signal/ForeignOpen.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

const std::string kMit = std::string(KORU_REAL_DATA_DIR) + "/mitdb/";

struct Row {
    int64_t frame = 0;
    std::string label, text;
    bool operator==(const Row&) const = default;
};

// rdann's lines: "    0:00.050       18     +    0    0    0\t(N".
std::vector<Row> RdannRows() {
    std::vector<Row> rows;
    std::istringstream in(test::ReadText(kMit + "100.atr.rdann.txt"));
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('\t')));
        std::string time;
        Row r;
        fields >> time >> r.frame >> r.label;
        if (line.find('\t') != std::string::npos) r.text = line.substr(line.find('\t') + 1);
        rows.push_back(r);
    }
    return rows;
}

std::vector<Row> Rows(const AnnotationList& list) {
    std::vector<Row> rows;
    for (const Annotation& a : list.Items()) rows.push_back({a.frame, a.label, a.text});
    return rows;
}

// RFC 4180 fields of one line.
std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            out.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

class Record100 : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(OpenSignalFile(doc, kMit + "100.hea", ui), OpenOutcome::Opened);
        expected = RdannRows();
        ASSERT_EQ(expected.size(), 2274u);
    }
    test::ScriptedUi ui;
    SignalDocument doc;
    std::vector<Row> expected;
};

TEST_F(Record100, EveryAnnotationIsListedWithItsLabelAndText) {
    EXPECT_EQ(Rows(doc.Annotations()), expected);
    // The Marker list keeps its rule: the first 2048 beats, and the box says so.
    EXPECT_EQ(doc.Markers().Count(), 2048);
    EXPECT_EQ(doc.Markers().items.front(), 77);
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().text, MarkersKeptText(2273));
}

TEST_F(Record100, NextAndPreviousOfOneLabelReachEveryABeat) {
    std::vector<int64_t> wantA;
    for (const Row& r : expected)
        if (r.label == "A") wantA.push_back(r.frame);
    ASSERT_EQ(wantA.size(), 33u);
    const AnnotationList& list = doc.Annotations();
    std::vector<int64_t> forward, backward;
    for (auto i = list.Next(-1, "A"); i; i = list.Next(list[*i].frame, "A"))
        forward.push_back(list[*i].frame);
    for (auto i = list.Previous(doc.FrameCount() + 1, "A"); i;
         i = list.Previous(list[*i].frame, "A"))
        backward.insert(backward.begin(), list[*i].frame);
    EXPECT_EQ(forward, wantA);
    EXPECT_EQ(backward, wantA);
    // Without a label every annotation is a step: the walk visits them all.
    std::size_t steps = 0;
    for (auto i = list.Next(-1); i; i = list.Next(list[*i].frame)) ++steps;
    EXPECT_EQ(steps, 2274u);
}

TEST_F(Record100, CsvExportReadsBackAsTheListing) {
    test::TempDir dir;
    const std::string path = dir.File("100.csv");
    std::string error;
    ASSERT_TRUE(WriteAnnotationCsv(path, doc.Annotations(), doc.Clock(), &error)) << error;
    std::istringstream in(test::ReadText(path));
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "time_s,frame,label,text\r");
    std::vector<Row> back;
    for (; std::getline(in, line);) {
        ASSERT_FALSE(line.empty());
        ASSERT_EQ(line.back(), '\r');  // CR LF, as the program's other text files
        line.pop_back();
        const std::vector<std::string> f = CsvFields(line);
        ASSERT_EQ(f.size(), 4u) << line;
        const Row r{std::stoll(f[1]), f[2], f[3]};
        EXPECT_NEAR(std::stod(f[0]), static_cast<double>(r.frame) / 360.0, 0.5e-6) << line;
        back.push_back(r);
    }
    EXPECT_EQ(back, expected);
}

// Fields that hold the separator, quotes or line breaks come back whole.
TEST(AnnotationCsvTest, AwkwardTextsAreQuoted) {
    AnnotationList list;
    list.Assign({{3, "Beat, early", "said \"hi\"", -1}, {-2, "x", "two\nlines", 0}});
    const std::string csv = AnnotationCsv(list, FrameClock::FromInterval(1000), "\n");
    EXPECT_EQ(csv,
              "time_s,frame,label,text\n-0.002,-2,x,\"two\nlines\"\n"
              "0.003,3,\"Beat, early\",\"said \"\"hi\"\"\"\n");
    EXPECT_EQ(CsvFields("0.003000,3,\"Beat, early\",\"said \"\"hi\"\"\""),
              (std::vector<std::string>{"0.003000", "3", "Beat, early", "said \"hi\""}));
}

}  // namespace
}  // namespace koru
