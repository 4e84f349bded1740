// A long continuous EDF+ file opened in the window shows its first screen
// before its annotation lists are read; once they are, the markers and the
// annotation list are those of a whole scan at open, and any command run
// before that point reads them first. A file found cut short then is closed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <utility>

#include "app/CommandRunner.h"
#include "app/Snapshot.h"
#include "signal/OpenFlow.h"
#include "support/EdfFile.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

constexpr int kRecords = 3000;  // one-second records, well past what is read at open
constexpr int kRate = 4;        // samples a record
constexpr int kNoteEvery = 97;

using Rows = std::vector<std::pair<int64_t, std::string>>;

// Each record's time (the first a quarter second after the header's start),
// a note half a second into every 97th record, and in the first record one
// more note near the end (a list may name any time).
std::string LongEdfPlus(bool bdf = false) {
    std::vector<std::string> lists;
    for (int r = 0; r < kRecords; ++r) {
        std::string list = test::Tal(std::to_string(r) + ".25", "");
        if (r % kNoteEvery == 0)
            list += test::Tal(std::to_string(r) + ".75", "note " + std::to_string(r));
        if (r == 0) list += test::Tal("2990.5", "late");
        lists.push_back(list);
    }
    std::vector<int32_t> samples(kRecords * kRate);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int32_t>(i % 50);
    return test::EdfBytes({{"ECG", -100, 100, -1000, 1000, samples, kRate},
                           {"EDF Annotations", -1, 1, -32768, 32767, {}, 40, true, lists}},
                          kRecords, bdf, true);
}

// Worked by hand: record r's note (r + 0.5) s after the first record's
// start, 4 frames a second; "late" 2990.25 s after it.
Rows Expected() {
    Rows rows;
    for (int r = 0; r < kRecords; r += kNoteEvery)
        rows.emplace_back(4 * r + 2, "note " + std::to_string(r));
    rows.emplace_back(2990 * 4 + 1, "late");
    std::sort(rows.begin(), rows.end());
    return rows;
}

Rows RowsOf(const SignalDocument& doc) {
    Rows rows;
    for (const Annotation& a : doc.Annotations().Items()) rows.emplace_back(a.frame, a.label);
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<int32_t> MarkersOf(const Rows& rows) {
    std::vector<int32_t> m;
    for (const auto& [frame, label] : rows) m.push_back(static_cast<int32_t>(frame));
    return m;
}

struct Opened {
    ViewFixture fx;
    std::string path;
    explicit Opened(bool bdf = false) {
        std::string bytes = LongEdfPlus(bdf);
        if (bdf) bytes.replace(192, 5, "BDF+C");
        path = fx.dir.WriteText(bdf ? "long.bdf" : "long.edf", bytes);
        fx.session.StartUp({});
        fx.session.OpenRecording(path, false);
    }
    SignalDocument& doc() { return fx.session.document(); }
};

TEST(DeferredAnnotationsTest, TheWindowsOpenLeavesThemPendingAndShowsNoneUntilRead) {
    Opened o;
    ASSERT_TRUE(o.doc().IsOpen());
    EXPECT_TRUE(o.doc().AnnotationsPending());
    EXPECT_EQ(o.doc().FrameCount(), kRecords * kRate);
    EXPECT_TRUE(o.doc().Markers().items.empty());
    EXPECT_TRUE(o.doc().Annotations().Empty());
    o.fx.view->Update();  // the first screen paints without them

    const std::size_t begins = static_cast<std::size_t>(o.fx.ui.progressBegins);
    EXPECT_TRUE(o.fx.session.CompleteAnnotations());
    EXPECT_FALSE(o.doc().AnnotationsPending());
    EXPECT_EQ(RowsOf(o.doc()), Expected());
    EXPECT_EQ(o.doc().Markers().items, MarkersOf(Expected()));
    EXPECT_TRUE(o.doc().Markers().loaded);
    EXPECT_FALSE(o.doc().Markers().Changed());
    EXPECT_EQ(static_cast<std::size_t>(o.fx.ui.progressBegins), begins + 1);
    EXPECT_EQ(o.fx.ui.progressEnds, o.fx.ui.progressBegins);
    ASSERT_FALSE(o.fx.ui.progress.empty());
    EXPECT_EQ(o.fx.ui.progress.back(), 100);
    EXPECT_FALSE(o.fx.session.CompleteAnnotations());  // nothing left to read
}

TEST(DeferredAnnotationsTest, TheyEqualAWholeScanAtOpenInEdfAndBdf) {
    for (const bool bdf : {false, true}) {
        SCOPED_TRACE(bdf ? "BDF+C" : "EDF+C");
        Opened o(bdf);
        EXPECT_TRUE(o.fx.session.CompleteAnnotations());
        test::ScriptedUi ui;
        SignalDocument whole;
        ASSERT_EQ(OpenSignalFile(whole, o.path, ui), OpenOutcome::Opened);  // koru's road
        EXPECT_FALSE(whole.AnnotationsPending());
        EXPECT_EQ(RowsOf(o.doc()), Expected());
        EXPECT_EQ(RowsOf(whole), RowsOf(o.doc()));
        EXPECT_EQ(whole.Markers().items, o.doc().Markers().items);
        EXPECT_EQ(o.doc().Foreign()->StartTime().micros, 250000);
        EXPECT_EQ(whole.Foreign()->StartTime().micros, 250000);
    }
}

TEST(DeferredAnnotationsTest, ACommandRunRightAfterTheOpenSeesThemAll) {
    Opened o;
    const std::string csv = o.fx.dir.File("notes.csv");
    o.fx.ui.fileAnswers.push_back(FileDialogAnswer{csv, false});
    CommandRunner runner(o.fx.session, *o.fx.view);
    runner.Run(static_cast<int32_t>(Cmd::ExportAnnotations));
    EXPECT_EQ(RowsOf(o.doc()), Expected());
    std::ifstream in(csv);
    std::size_t lines = 0;
    for (std::string line; std::getline(in, line);) lines += line.find("note") != std::string::npos;
    EXPECT_EQ(lines, Expected().size() - 1);  // every note but "late"
}

// The first screen comes without them (a note is on it, at 0.5 s); the
// picture made once they are read is what a full repaint shows.
TEST(DeferredAnnotationsTest, TheStartUpPictureIsPaintedAgainWithThem) {
    ViewFixture first, complete;
    const std::string path = first.dir.WriteText("long.edf", LongEdfPlus());
    ASSERT_TRUE(RenderFirstScreen(first.session, *first.view, path));
    ASSERT_TRUE(RenderStartUpPicture(complete.session, *complete.view, path));
    EXPECT_TRUE(first.session.document().AnnotationsPending());
    EXPECT_FALSE(complete.session.document().AnnotationsPending());
    const std::vector<uint32_t> shown = test::PixelsOf(complete.view->BackBuffer());
    EXPECT_NE(test::PixelsOf(first.view->BackBuffer()), shown);
    EXPECT_EQ(test::PixelsOf(complete.Full()), shown);
}

TEST(DeferredAnnotationsTest, AFileCutShortBeforeTheyAreReadIsClosedWithTheReason) {
    Opened o;
    std::filesystem::resize_file(o.path, std::filesystem::file_size(o.path) / 2);
    EXPECT_TRUE(o.fx.session.CompleteAnnotations());
    EXPECT_FALSE(o.doc().IsOpen());
    ASSERT_FALSE(o.fx.ui.messages.empty());
    EXPECT_EQ(o.fx.ui.messages.back().text,
              InvalidFileText(UpperCased(o.path), "The file could not be read to its end."));
    EXPECT_EQ(o.fx.ui.progressEnds, o.fx.ui.progressBegins);
}

TEST(DeferredAnnotationsTest, AShortFileIsReadWholeAtOpen) {
    ViewFixture fx;
    const std::string list = test::Tal("0", "") + test::Tal("0.5", "only");
    const std::string path = fx.dir.WriteText(
        "short.edf",
        test::EdfBytes({{"ECG", -100, 100, -1000, 1000, {1, 2, 3, 4}, kRate},
                        {"EDF Annotations", -1, 1, -32768, 32767, {}, 40, true, {list}}},
                       1, false, true));
    fx.session.StartUp({});
    fx.session.OpenRecording(path, false);
    EXPECT_FALSE(fx.session.document().AnnotationsPending());
    EXPECT_EQ(RowsOf(fx.session.document()), (Rows{{2, "only"}}));
}

}  // namespace
}  // namespace koru
