#pragma once
// Save Markers, and the question that keeps marker edits from being lost
// when the recording is closed (by Open, Exit or closing the window).

#include <string>

#include "app/Session.h"

namespace koru {

// What Save Markers proposes: the name last chosen in the Open dialog, its
// file name cut at the first dot (the dialog adds ".mrk"). Empty when the
// Open dialog was never used.
std::string MarkerNameProposal(const std::string& openDialogName);

// Writes the whole Marker list to a file the user chooses. True when the
// file was written; false when cancelled or when writing failed (shown).
bool SaveMarkersCommand(Session& session);

// Whether the open recording may be closed now. When its markers changed
// since they were read or saved, asks first: Yes saves them (and a
// cancelled or failed save keeps the recording), No lets them go, Cancel
// keeps the recording.
bool MayCloseRecording(Session& session);

// The Open command, asking about changed markers before the dialog.
void OpenCommandKeepingMarkers(Session& session);

}  // namespace koru
