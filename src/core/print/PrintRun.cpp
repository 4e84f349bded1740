#include "print/PrintRun.h"

#include <algorithm>
#include <new>

namespace koru {

namespace {

std::string_view Reason(PrintResult result) {
    switch (result) {
        case PrintResult::OutOfMemory:
            return "Out of memory";
        case PrintResult::OutOfDisk:
            return "Out of disk space";
        case PrintResult::Canceled:
            return "Printing canceled";
        case PrintResult::SpoolerAborted:
            return "Printing aborted in Print Manager";
        case PrintResult::Printed:
        case PrintResult::Failed:
        case PrintResult::Refused:
            break;
    }
    return "Error encountered during print";
}

// Prints every page of one job, each copy the printer does not make itself:
// whole sets one after another when collated, else each page repeated.
// False as soon as the job fails or is cancelled.
bool PrintPages(PrintJob& job, MyTPrintout& printout, bool collate) {
    const int32_t copies = std::max(job.CopiesToDraw(), 1);
    const int32_t count = printout.PageCount();
    auto one = [&](int32_t page) {
        if (!job.StartPage(page, count)) return false;
        printout.PrintPage(job, page);
        return job.EndPage() && !job.Canceled();
    };
    const int32_t sets = collate ? copies : 1;
    const int32_t repeats = collate ? 1 : copies;
    for (int32_t set = 0; set < sets; ++set)
        for (int32_t page = 1; printout.HasPage(page); ++page)
            for (int32_t r = 0; r < repeats; ++r)
                if (!one(page)) return false;
    return true;
}

}  // namespace

std::string PrintErrorText(std::string_view title, PrintResult result) {
    return "'" + std::string(title) + "' not printed. " + std::string(Reason(result)) + ".";
}

std::optional<PrintResult> RunPrintJob(Ui& ui, MyTPrintout& printout, PrintSettings& settings) {
    printout.GetDialogInfo();
    if (!ui.PrintDialog(settings)) return std::nullopt;

    PrintResult result = PrintResult::Failed;
    std::unique_ptr<PrintJob> job = ui.BeginPrintJob(printout.Title(), result);
    if (job) {
        try {
            printout.SetPrintParams(job->PageSize());
            const bool complete = PrintPages(*job, printout, settings.collate);
            result = job->Finish(!complete);
            if (!complete && result == PrintResult::Printed) result = PrintResult::Failed;
        } catch (const std::bad_alloc&) {
            job->Finish(true);
            result = PrintResult::OutOfMemory;
        }
        job.reset();  // the box closes and the view comes back before any message
    }
    if (result != PrintResult::Printed && result != PrintResult::Refused)
        ui.ShowMessage(MessageOwner::View, PrintErrorText(printout.Title(), result),
                       kPrintErrorTitle, MessageIcon::Stop);
    return result;
}

}  // namespace koru
