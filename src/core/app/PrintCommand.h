#pragma once
// File > Print and File > Printer setup.

#include <optional>

#include "app/Session.h"
#include "platform/PrintJob.h"
#include "view/SignalView.h"

namespace koru {

// Prints the open recording through the print dialog onto the chosen
// printer, with the command's status message until it ends. Empty when the
// dialog was cancelled or no recording is open.
std::optional<PrintResult> PrintCommand(Session& session, const SignalView& view);

// The printer set-up dialog; without a printer object nothing at all.
void PrinterSetupCommand(Session& session);

}  // namespace koru
