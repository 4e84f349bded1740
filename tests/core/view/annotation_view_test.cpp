// The annotation list in the view: labels above the traces (off with their
// toggle, crowded ones left out, a strip repainted alone as the whole
// picture has it), the steps to the next and previous annotation, and the
// commands around them.

#include <gtest/gtest.h>

#include "app/AnnotationCommands.h"
#include "app/CommandRunner.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::PixelsOf;

constexpr int kW = 400;
constexpr int kH = 330;
constexpr ColorRef kText = Rgb(12, 200, 99);  // no channel has this colour

int16_t Zero(int64_t, int) {
    return 0;
}

struct AnnotationFixture : test::ViewFixture {
    AnnotationFixture() : ViewFixture(kW, kH) {}
    void OpenWith(int64_t frames, std::vector<Annotation> list) {
        TracesOnly();
        Open(1, 1000, frames, Zero);
        session.settings().text = kText;
        session.document().Annotations().Assign(std::move(list));
    }
    // Pixels of the label colour in columns a..b, all rows.
    int TextPixels(int a, int b) const {
        int n = 0;
        for (int y = 0; y < kH; ++y)
            for (int x = std::max(a, 0); x <= std::min(b, kW - 1); ++x) n += Px(x, y) == kText;
        return n;
    }
};

// spd 40: four frames a column, so frame 400 is column 100.
TEST(AnnotationLabelsTest, DrawnAtTheirColumnUnlessToggledOff) {
    AnnotationFixture fx;
    fx.OpenWith(20'000, {{400, "V", "", -1}, {1200, "A", "", -1}});
    fx.Full();
    EXPECT_GT(fx.TextPixels(96, 104), 5);
    EXPECT_GT(fx.TextPixels(296, 304), 5);
    EXPECT_EQ(fx.TextPixels(0, 90), 0);
    EXPECT_EQ(fx.TextPixels(110, 290), 0);
    // Below the time hacks on this low screen, above the trace at 30.
    for (int y = 0; y < 22; ++y) EXPECT_NE(fx.Px(100, y), kText) << y;
    fx.session.settings().annotationLabels = 0;
    fx.Full();
    EXPECT_EQ(fx.TextPixels(0, kW), 0);
}

// A label on the first frame is moved in whole, not cut by the left edge.
TEST(AnnotationLabelsTest, OneAtTheStartIsDrawnWhole) {
    AnnotationFixture fx;
    fx.OpenWith(20'000, {{800, "[Start]", "", -1}});
    fx.Full();
    const int inside = fx.TextPixels(0, kW);
    fx.session.document().Annotations().Assign({{0, "[Start]", "", -1}});
    fx.Full();
    EXPECT_EQ(fx.TextPixels(0, kW), inside);
    EXPECT_GT(fx.TextPixels(0, 3), 0);
}

TEST(AnnotationLabelsTest, ACrowdedLabelIsLeftOutAndAStripMatchesTheWhole) {
    AnnotationFixture fx;
    fx.OpenWith(20'000, {{400, "V", "", -1}});
    const auto alone = PixelsOf(fx.Full());
    // One column on: it would overlap the "V", so only the "V" shows.
    fx.session.document().Annotations().Assign({{400, "V", "", -1}, {404, "A", "", -1}});
    EXPECT_EQ(PixelsOf(fx.Full()), alone);
    // Far enough apart both show; a strip through the second label,
    // repainted alone, is what the whole picture has there.
    fx.session.document().Annotations().Assign({{400, "V", "", -1}, {480, "Afib", "", -1}});
    const auto whole = PixelsOf(fx.Full());
    EXPECT_NE(whole, alone);
    fx.view->RepaintRect(Rect{118, 0, 123, kH});
    EXPECT_EQ(PixelsOf(fx.view->BackBuffer()), whole);
}

TEST(AnnotationStepTest, CentresEachAndKeepsToTheChosenLabel) {
    AnnotationFixture fx;
    fx.OpenWith(200'000, {{10'000, "N", "", -1},
                          {50'000, "A", "", -1},
                          {90'000, "N", "", -1},
                          {150'000, "A", "", -1}});
    SignalView& v = *fx.view;
    ASSERT_EQ(v.StepAnnotation(true), std::optional<std::size_t>(0));
    // Division 10000 / 40 less the 20 divisions of half the screen.
    EXPECT_EQ(v.ScrollX(), 230);
    EXPECT_EQ(v.FrameAtColumn(kW / 2), 10'000);
    EXPECT_EQ(v.StepAnnotation(true, "A"), std::optional<std::size_t>(1));
    EXPECT_EQ(v.StepAnnotation(true, "A"), std::optional<std::size_t>(3));
    EXPECT_EQ(v.ScrollX(), 150'000 / 40 - 20);
    EXPECT_EQ(v.StepAnnotation(true, "A"), std::nullopt);
    EXPECT_EQ(v.ScrollX(), 150'000 / 40 - 20);  // unmoved
    EXPECT_EQ(v.StepAnnotation(false), std::optional<std::size_t>(2));
    EXPECT_EQ(v.StepAnnotation(false, "N"), std::optional<std::size_t>(0));
    EXPECT_EQ(v.StepAnnotation(false), std::nullopt);
    // Away from the current one, the step starts from the middle of the screen.
    v.Reposition(100'000 / 40);
    EXPECT_EQ(v.StepAnnotation(false), std::optional<std::size_t>(2));
    // Near the start the view cannot centre: it stays at the first division.
    fx.session.document().Annotations().Assign({{100, "N", "", -1}});
    EXPECT_EQ(v.StepAnnotation(false), std::optional<std::size_t>(0));
    EXPECT_EQ(v.ScrollX(), 0);
    EXPECT_EQ(v.CurrentAnnotationFrame(), std::optional<int64_t>(100));
}

TEST(AnnotationCommandsTest, StepsUseTheSessionsLabelAndSayWhenNoneIsLeft) {
    AnnotationFixture fx;
    fx.OpenWith(200'000, {{10'000, "N", "", -1}, {50'000, "A", "", -1}});
    CommandRunner runner(fx.session, *fx.view);
    EXPECT_TRUE(runner.IsEnabled(static_cast<int32_t>(Cmd::NextAnnotation)));
    fx.session.annotationLabel = "A";
    runner.Run(Cmd::NextAnnotation);
    EXPECT_EQ(fx.view->CurrentAnnotationFrame(), std::optional<int64_t>(50'000));
    runner.Run(Cmd::NextAnnotation);
    EXPECT_EQ(fx.ui.status, "No annotation after this one labelled \"A\".");
    fx.session.annotationLabel.clear();
    runner.Run(Cmd::PreviousAnnotation);
    EXPECT_EQ(fx.view->CurrentAnnotationFrame(), std::optional<int64_t>(10'000));
    runner.Run(Cmd::PreviousAnnotation);
    EXPECT_EQ(fx.ui.status, "No annotation before this one.");
    // The toggle flips the labels and puts the check mark right.
    runner.Run(Cmd::ToggleAnnotationLabels);
    EXPECT_EQ(fx.session.settings().annotationLabels, 0);
    fx.session.document().Annotations().Clear();
    EXPECT_FALSE(runner.IsEnabled(static_cast<int32_t>(Cmd::NextAnnotation)));
    EXPECT_FALSE(runner.IsEnabled(static_cast<int32_t>(Cmd::ExportAnnotations)));
}

TEST(AnnotationCommandsTest, ExportWritesTheChosenFileOrSaysWhyNot) {
    AnnotationFixture fx;
    fx.OpenWith(20'000, {{1500, "V", "early, wide", -1}});
    const std::string path = fx.dir.File("out.csv");
    fx.ui.fileAnswers.push_back(FileDialogAnswer{path, false});
    EXPECT_TRUE(ExportAnnotationsCommand(fx.session));
    EXPECT_EQ(test::ReadText(path), "time_s,frame,label,text\r\n1.5,1500,V,\"early, wide\"\r\n");
    // Cancelled: nothing written, nothing said.
    const std::size_t shown = fx.ui.messages.size();
    EXPECT_FALSE(ExportAnnotationsCommand(fx.session));
    EXPECT_EQ(fx.ui.messages.size(), shown);
    // A folder that is not there: the box names the file.
    const std::string bad = fx.dir.File("no/such/dir/out.csv");
    fx.ui.fileAnswers.push_back(FileDialogAnswer{bad, false});
    EXPECT_FALSE(ExportAnnotationsCommand(fx.session));
    ASSERT_EQ(fx.ui.messages.size(), shown + 1);
    EXPECT_EQ(fx.ui.messages.back().title, "Error");
    EXPECT_EQ(fx.ui.messages.back().text.rfind(
                  "KORU VIEW -- Cannot write annotation file: " + bad + "\n", 0),
              0u);
}

}  // namespace
}  // namespace koru
