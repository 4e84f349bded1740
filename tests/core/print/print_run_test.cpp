#include <gtest/gtest.h>

#include "app/CommandRunner.h"
#include "app/PrintCommand.h"
#include "print/PrintRun.h"
#include "support/PaperJob.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::PaperJob;
using test::PaperLog;
using test::PrintAnswer;

constexpr std::string_view kPrintMessage = "Data is being scaled and printed.";

// A recording of four pages, printed through the command with scripted
// answers and a paper job set up by `configure`.
struct JobFixture : test::ViewFixture {
    PaperLog log;
    std::function<void(PaperJob&)> configure = [](PaperJob&) {};
    std::vector<std::string> titles;
    CommandRunner runner{session, *view};

    JobFixture() : ViewFixture(400, 330) {
        Open(2, 1000, 40 * 38 * 3, [](int64_t f, int) { return static_cast<int16_t>(f % 50); });
        ui.startJob = [this](std::string_view title, PrintResult&) {
            titles.emplace_back(title);
            auto job = std::make_unique<PaperJob>(log);
            configure(*job);
            return job;
        };
    }
    std::vector<int32_t> Numbers() const {
        std::vector<int32_t> n;
        for (const test::PaperPage& p : log.pages) n.push_back(p.number);
        return n;
    }
    std::string Error() const { return "'" + session.document().FileName() + "' not printed. "; }
};

TEST(PrintCommandTest, CancellingTheDialogEndsQuietly) {
    JobFixture fx;
    fx.ui.statusHistory.clear();
    fx.ui.printAnswers.push_back(std::nullopt);
    fx.runner.Run(Cmd::Print);
    ASSERT_EQ(fx.ui.printDialogsShown.size(), 1u);
    EXPECT_TRUE(fx.titles.empty());
    EXPECT_TRUE(fx.ui.messages.empty());
    EXPECT_EQ(fx.ui.statusHistory, (std::vector<std::string>{std::string(kPrintMessage),
                                                             std::string(kIdleStatusMessage)}));
}

TEST(PrintCommandTest, DialogOpensOnTheSelectionAndEachChoicePrintsItsPages) {
    struct Case {
        PrintAnswer answer;
        std::vector<int32_t> numbers;
    };
    const Case cases[] = {
        {{PageChoice::Selection}, {1}},
        {{PageChoice::All}, {1, 2, 3, 4}},
        {{PageChoice::Range, 2, 3}, {1, 2}},
    };
    for (const Case& c : cases) {
        JobFixture fx;
        fx.ui.printer.choice = PageChoice::All;  // left by an earlier job
        fx.ui.printAnswers.push_back(c.answer);
        const std::optional<PrintResult> r = PrintCommand(fx.session, *fx.view);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(*r, PrintResult::Printed);
        const PrintSettings& shown = fx.ui.printDialogsShown.at(0);
        EXPECT_EQ(shown.choice, PageChoice::Selection);
        EXPECT_EQ(shown.minPage, 1);
        EXPECT_EQ(shown.maxPage, 4);
        EXPECT_EQ(shown.fromPage, 1);
        EXPECT_EQ(shown.toPage, 4);
        EXPECT_EQ(fx.titles, std::vector<std::string>{fx.session.document().FileName()});
        EXPECT_EQ(fx.Numbers(), c.numbers);
        for (const test::PaperPage& p : fx.log.pages)
            EXPECT_EQ(p.count, static_cast<int32_t>(c.numbers.size()));
        EXPECT_TRUE(fx.log.finished);
        EXPECT_FALSE(fx.log.abandoned);
        EXPECT_TRUE(fx.ui.messages.empty());
        EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
        // The printer object keeps the answer for the run.
        EXPECT_EQ(fx.ui.printer.choice, c.answer.choice);
    }
}

TEST(PrintCommandTest, CancelInThePrintingBoxStopsTheJobAndSaysSo) {
    JobFixture fx;
    fx.configure = [](PaperJob& job) { job.cancelAfterPages = 2; };
    fx.ui.printAnswers.push_back(PrintAnswer{PageChoice::All});
    fx.runner.Run(Cmd::Print);
    EXPECT_EQ(fx.Numbers(), (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(fx.log.abandoned);
    ASSERT_EQ(fx.ui.messages.size(), 1u);
    EXPECT_EQ(fx.ui.messages[0].title, "Print Error");
    EXPECT_EQ(fx.ui.messages[0].text, fx.Error() + "Printing canceled.");
    EXPECT_EQ(fx.ui.messages[0].owner, MessageOwner::View);
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
}

TEST(PrintCommandTest, EachFailureHasItsReason) {
    EXPECT_EQ(PrintErrorText("A.SIG", PrintResult::OutOfMemory),
              "'A.SIG' not printed. Out of memory.");
    EXPECT_EQ(PrintErrorText("A.SIG", PrintResult::OutOfDisk),
              "'A.SIG' not printed. Out of disk space.");
    EXPECT_EQ(PrintErrorText("A.SIG", PrintResult::Canceled),
              "'A.SIG' not printed. Printing canceled.");
    EXPECT_EQ(PrintErrorText("A.SIG", PrintResult::SpoolerAborted),
              "'A.SIG' not printed. Printing aborted in Print Manager.");
    EXPECT_EQ(PrintErrorText("A.SIG", PrintResult::Failed),
              "'A.SIG' not printed. Error encountered during print.");

    {  // the job cannot start
        JobFixture fx;
        fx.ui.startJob = [](std::string_view, PrintResult& failure) {
            failure = PrintResult::OutOfDisk;
            return std::unique_ptr<PrintJob>();
        };
        fx.ui.printAnswers.push_back(PrintAnswer{PageChoice::All});
        EXPECT_EQ(PrintCommand(fx.session, *fx.view), PrintResult::OutOfDisk);
        ASSERT_EQ(fx.ui.messages.size(), 1u);
        EXPECT_EQ(fx.ui.messages[0].text, fx.Error() + "Out of disk space.");
    }
    {  // a page cannot start: the job is thrown away with the printer's reason
        JobFixture fx;
        fx.configure = [](PaperJob& job) {
            job.failStartOfPage = 3;
            job.failure = PrintResult::SpoolerAborted;
        };
        fx.ui.printAnswers.push_back(PrintAnswer{PageChoice::All});
        EXPECT_EQ(PrintCommand(fx.session, *fx.view), PrintResult::SpoolerAborted);
        EXPECT_EQ(fx.Numbers(), (std::vector<int32_t>{1, 2}));
        EXPECT_TRUE(fx.log.abandoned);
        ASSERT_EQ(fx.ui.messages.size(), 1u);
        EXPECT_EQ(fx.ui.messages[0].text, fx.Error() + "Printing aborted in Print Manager.");
    }
    {  // memory runs out in the middle
        JobFixture fx;
        fx.configure = [](PaperJob& job) { job.outOfMemoryAtPage = 2; };
        fx.ui.printAnswers.push_back(PrintAnswer{PageChoice::All});
        EXPECT_EQ(PrintCommand(fx.session, *fx.view), PrintResult::OutOfMemory);
        EXPECT_TRUE(fx.log.abandoned);
        ASSERT_EQ(fx.ui.messages.size(), 1u);
        EXPECT_EQ(fx.ui.messages[0].text, fx.Error() + "Out of memory.");
        EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
    }
}

TEST(PrintCommandTest, CopiesThePrinterCannotMakeAreDrawnCollatedOrNot) {
    for (const bool collate : {true, false}) {
        JobFixture fx;
        fx.configure = [](PaperJob& job) { job.copies = 2; };
        fx.ui.printAnswers.push_back(PrintAnswer{PageChoice::Range, 2, 3, 2, collate});
        PrintCommand(fx.session, *fx.view);
        EXPECT_EQ(fx.Numbers(), collate ? (std::vector<int32_t>{1, 2, 1, 2})
                                        : (std::vector<int32_t>{1, 1, 2, 2}));
        // Page 1 of this job is page 2 of the recording, in every copy.
        EXPECT_EQ(fx.log.pages[0].texts, fx.log.pages[collate ? 2 : 1].texts);
    }
}

TEST(PrintCommandTest, NothingToPrintWithoutARecording) {
    test::ScriptedUi ui;
    Session session(ui);
    SignalView view(session.viewContext());
    session.StartUp({});
    ui.printAnswers.push_back(PrintAnswer{PageChoice::All});
    EXPECT_FALSE(PrintCommand(session, view).has_value());
    EXPECT_TRUE(ui.printDialogsShown.empty());
}

TEST(PrinterSetupCommandTest, ShownOnlyWithAPrinterObject) {
    JobFixture fx;
    fx.ui.statusHistory.clear();
    fx.ui.hasPrinter = false;
    fx.runner.Run(Cmd::PrinterSetup);
    EXPECT_TRUE(fx.ui.printerSetupStatus.empty());
    EXPECT_TRUE(fx.ui.statusHistory.empty());

    fx.ui.hasPrinter = true;
    fx.runner.Run(Cmd::PrinterSetup);
    EXPECT_EQ(fx.ui.printerSetupStatus,
              std::vector<std::string>{"Set desired printer configuration"});
    EXPECT_EQ(fx.ui.status, kIdleStatusMessage);
}

}  // namespace
}  // namespace koru
