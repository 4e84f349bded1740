#pragma once
// The Time Base command: a new samples-per-division value, with the view
// kept at the same sample at its left edge.

#include <cstdint>

#include "app/Session.h"
#include "view/SignalView.h"

namespace koru {

// The scroll position that keeps the left-edge sample when the time-base
// index goes from `from` to `to`: doubled per step to a smaller value,
// halved (truncating) per step to a larger one.
int32_t RescaledScrollX(int32_t scrollX, int32_t from, int32_t to);

void RunTimeBaseCommand(Session& session, SignalView& view);

// Ctrl+Shift+wheel: `steps` time-base steps finer (positive) or wider, the
// two overview steps past the dialog's widest included, keeping the sample
// at the left edge. False when it is already at that end (or nothing is open).
bool StepTimeBase(Session& session, SignalView& view, int32_t steps);

}  // namespace koru
