#pragma once
// The annotation list's commands: export to CSV, and the steps to the next
// and previous annotation.

#include "app/Session.h"
#include "view/SignalView.h"

namespace koru {

// File > Export Annotations: asks for a ".csv" name (proposed from the
// recording's) and writes the whole list. False when cancelled or the file
// could not be written (the user is told why).
bool ExportAnnotationsCommand(Session& session);

// Next/Previous Annotation of the session's chosen label; tells the status
// bar when there is none that way.
void StepAnnotationCommand(Session& session, SignalView& view, bool forward);

// The status text when no annotation lies that way.
std::string NoAnnotationText(bool forward, const std::string& label);

}  // namespace koru
