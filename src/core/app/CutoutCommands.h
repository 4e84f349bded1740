#pragma once
// Save As, Append To and Measure Amplitude: the cutout between the tags
// written to a new file, added to an existing one, or measured. The menu
// takes the cutout from the view's tags, the batch tool from its options.

#include "app/Session.h"
#include "export/SaveCutout.h"
#include "signal/Cutout.h"

namespace koru {

// The whole command: its status text, the file dialog, the refusal of the
// displayed recording (append), the Data Channels dialog, the writing with
// its progress box and wait cursor, and a box for what went wrong.
void SaveCutoutCommand(Session& session, const Cutout& cutout, SaveMode mode);
void MeasureAmplitudeCommand(Session& session, const Cutout& cutout);

}  // namespace koru
