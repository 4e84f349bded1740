#pragma once
// One print job from the dialog to the last page, as the print command and
// the headless print run it.

#include <optional>
#include <string>
#include <string_view>

#include "platform/PrintJob.h"
#include "platform/Ui.h"
#include "print/Printout.h"

namespace koru {

inline constexpr std::string_view kPrintErrorTitle = "Print Error";

// "'TITLE' not printed. REASON." for a job that did not print.
std::string PrintErrorText(std::string_view title, PrintResult result);

// Asks the printout for the dialog's page range, shows the print dialog,
// starts the job, prepares the printout and prints pages 1, 2, ... while the
// printout has them (each copy the printer does not make itself), then
// reports a failure in the "Print Error" box. Empty when the dialog was
// cancelled; nothing is shown then.
std::optional<PrintResult> RunPrintJob(Ui& ui, MyTPrintout& printout, PrintSettings& settings);

}  // namespace koru
