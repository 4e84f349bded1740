#pragma once
// The printout: the recording page by page as the Signal view draws it. A
// page is one screen-sized picture stretched onto the printable page, with
// a two-line footer and, when the settings ask for it, a frame; it covers
// PageDivisions divisions, one page step of the horizontal scroll bar.

#include <cstdint>
#include <string>

#include "platform/PrintJob.h"
#include "view/SignalView.h"
#include "view/ViewContext.h"

namespace koru {

// The footer's first line for a page whose first sample lies at `micros`:
// "Position:mm:ss.fff, S samples/division, I microseconds/sample.", or with
// microsecondResolution the six-digit fraction.
std::string FooterPosition(int64_t micros, int32_t spd, const FrameClock& clock,
                           bool microsecondResolution);

class MyTPrintout {
  public:
    // The dialog's page range as the printout answers it.
    struct DialogPages {
        int32_t minPage = 1;
        int32_t maxPage = 1;
        int32_t selectionFrom = 1;
        int32_t selectionTo = 1;
    };

    // `windowTitle` is the main window's title text, printed under the
    // position line; `settings` are the printer object's.
    MyTPrintout(const SignalView& view, const ViewContext& context, std::string windowTitle,
                PrintSettings& settings);

    // The open recording's FileName: it names the job and its errors.
    const std::string& Title() const { return title_; }

    // Pages of the whole recording: horizontal range / PageDivisions + 1.
    int32_t TotalPages() const;

    // Before the dialog: pages 1 to N, the selection preset from 1 to N.
    // The print settings take the same range and the selection choice, so
    // the dialog opens with the selection chosen.
    DialogPages GetDialogInfo();

    // After the dialog: how many pages and from which division, by the
    // settings' choice: all, one page from the screen's left edge, or F to T.
    void SetPrintParams(Size pageSize);
    int32_t PageCount() const { return pageCount_; }
    int64_t FirstDivision() const { return firstDivision_; }
    Size PageSize() const { return pageSize_; }

    bool HasPage(int32_t page) const { return page >= 1 && page <= pageCount_; }
    // The division at the left edge of page `page` (from 1) of this job.
    int64_t StartDivisionOf(int32_t page) const;
    // Draws page `page` on the job's surface: the view's picture from its
    // start division, the footer in black, the frame if PRINTFRAME is set.
    void PrintPage(PrintJob& job, int32_t page);

  private:
    const SignalView& view_;
    ViewContext ctx_;
    std::string title_;
    std::string windowTitle_;
    PrintSettings& settings_;
    int32_t pageCount_ = 0;
    int64_t firstDivision_ = 0;
    Size pageSize_;
};

}  // namespace koru
