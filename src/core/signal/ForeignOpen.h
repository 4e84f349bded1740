#pragma once
// The open step for a foreign recording: its signals chosen as channels,
// its header made from the file's own, its annotations as markers.

#include <string>

#include "platform/Ui.h"
#include "signal/OpenFlow.h"
#include "signal/SignalDocument.h"

namespace koru {

// The document has the file open already; on failure it is left closed and
// the reason has been shown.
OpenOutcome OpenForeignRecording(SignalDocument& doc, const std::string& path, Ui& ui);

// The text of the box shown when annotations past the Marker list's room were dropped.
std::string MarkersKeptText(std::size_t total);
// Told when the annotation list did not fit in memory.
std::string AnnotationsDroppedText();

}  // namespace koru
