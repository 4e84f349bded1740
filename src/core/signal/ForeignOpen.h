#pragma once
// The open step for a foreign recording: its signals chosen as channels,
// its header made from the file's own, its annotations as markers.

#include <string>

#include "platform/Ui.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"

namespace koru {

// The document has the file open already; on failure it is left closed and
// the reason has been shown. With `mayDefer` a long recording's annotations
// may be left pending for FinishForeignAnnotations.
OpenOutcome OpenForeignRecording(SignalDocument& doc, const std::string& path, Ui& ui,
                                 bool mayDefer = false);

// Reads the annotations an open left pending (with the wait cursor and the
// progress box) and makes them the markers and the annotation list; false,
// with the reason shown and the document closed, when the file could not be
// read. Nothing to do, and true, when none are pending.
bool FinishForeignAnnotations(SignalDocument& doc, Ui& ui);

// The text of the box shown when annotations past the Marker list's room were dropped.
std::string MarkersKeptText(std::size_t total);
// Told when the annotation list did not fit in memory.
std::string AnnotationsDroppedText();

}  // namespace koru
