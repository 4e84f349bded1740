#pragma once
// Detect Beats: the QRS complexes of channel 1 found by the detector `koru
// beats` runs, put into the annotation list as "N" beats and, for the
// program's own recordings, into the Marker list as far as it holds.

#include <cstddef>
#include <string>

#include "app/Session.h"
#include "view/SignalView.h"

namespace koru {

// Told when the Marker list filled before every beat found had a place.
std::string MarkerListFilledText(std::size_t kept, std::size_t found);

void DetectBeatsCommand(Session& session, SignalView& view);

}  // namespace koru
