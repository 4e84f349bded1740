#include "app/PrintCommand.h"

#include "app/Commands.h"
#include "print/PrintRun.h"
#include "print/Printout.h"

namespace koru {

std::optional<PrintResult> PrintCommand(Session& session, const SignalView& view) {
    if (!session.document().IsOpen()) return std::nullopt;
    Ui& ui = session.ui();
    StatusMessageScope scope(ui, Cmd::Print, session.idleStatus());
    // Without a printer object the settings last for this job only.
    PrintSettings jobOnly;
    PrintSettings* settings = ui.Printer();
    if (!settings) settings = &jobOnly;
    MyTPrintout printout(view, session.viewContext(),
                         std::string(kAppTitle) + " -- " + session.document().FileName(),
                         *settings);
    return RunPrintJob(ui, printout, *settings);
}

void PrinterSetupCommand(Session& session) {
    Ui& ui = session.ui();
    if (!ui.Printer()) return;
    StatusMessageScope scope(ui, Cmd::PrinterSetup, session.idleStatus());
    ui.PrinterSetupDialog();
}

}  // namespace koru
