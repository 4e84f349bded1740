#pragma once
// Save As, Append To and Measure Amplitude: the cutout between the tags
// written to a new file, added to an existing one, or measured.

#include "app/Session.h"
#include "view/SignalView.h"

namespace koru {

void SaveAsCommand(Session& session, const SignalView& view);
void AppendToCommand(Session& session, const SignalView& view);
void MeasureAmplitudeCommand(Session& session, const SignalView& view);

}  // namespace koru
