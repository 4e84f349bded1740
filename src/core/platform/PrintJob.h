#pragma once
// Printing as the Ui port offers it: the print dialog's settings, which the
// printer object keeps between jobs, and one running job with its page
// surface and its "Printing" box.

#include <cstdint>

#include "platform/Canvas.h"

namespace koru {

enum class PageChoice { All, Selection, Range };

// What the print dialog shows and answers.
struct PrintSettings {
    PageChoice choice = PageChoice::Selection;
    int32_t minPage = 1;
    int32_t maxPage = 1;
    int32_t fromPage = 1;
    int32_t toPage = 1;
    int32_t copies = 1;
    bool collate = true;
};

// How a job ended; each failure has its reason text in the error box, but
// Refused: the job never started, and the Ui has said why.
enum class PrintResult {
    Printed,
    OutOfMemory,
    OutOfDisk,
    Canceled,
    SpoolerAborted,
    Failed,
    Refused
};

// One job on the chosen printer. The surface is the same for every page;
// its logical area is stretched onto the printable page.
class PrintJob {
  public:
    virtual ~PrintJob() = default;

    virtual Canvas& Surface() = 0;
    // The printable page in device units.
    virtual Size PageSize() const = 0;
    // Stretches the logical area onto the whole printable page, each axis on
    // its own, until the surface's state is next restored.
    virtual void MapLogical(Size logical) = 0;

    // How many times the job draws each page itself: 1 when the printer
    // makes the copies.
    virtual int32_t CopiesToDraw() const { return 1; }

    // Page `number` of `count` begins (the box shows the numbers) or ends;
    // false when the job failed, which Finish then reports.
    virtual bool StartPage(int32_t number, int32_t count) = 0;
    virtual bool EndPage() = 0;
    // The box's Cancel was pressed. Asking lets the box be served.
    virtual bool Canceled() = 0;
    // Ends the document, or throws it away when `abandon` is set, and
    // answers how the job went (Canceled after a cancel).
    virtual PrintResult Finish(bool abandon) = 0;
};

}  // namespace koru
