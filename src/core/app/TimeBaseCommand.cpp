#include "app/TimeBaseCommand.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "app/Commands.h"

namespace koru {

int32_t RescaledScrollX(int32_t scrollX, int32_t from, int32_t to) {
    int64_t x = scrollX;
    if (to > from) x *= int64_t{1} << (to - from);
    if (to < from) x /= int64_t{1} << (from - to);
    return static_cast<int32_t>(std::clamp<int64_t>(x, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void RunTimeBaseCommand(Session& session, SignalView& view) {
    Ui& ui = session.ui();
    StatusMessageScope status(ui, Cmd::TimeBase, session.idleStatus());
    TimeBase& timeBase = session.timeBase();
    std::array<int32_t, TimeBase::kEntries> entries{};
    for (int32_t i = 0; i < TimeBase::kEntries; ++i)
        entries[static_cast<std::size_t>(i)] = timeBase.Entry(i);

    const int32_t old = timeBase.Index();
    // A wide overview step is none of the dialog's: it offers the widest.
    const std::optional<int32_t> chosen = ui.TimeBaseDialog(entries, std::max(old, 0));
    if (!chosen) return;
    timeBase.SetIndex(*chosen);
    const int32_t now = timeBase.Index();
    // Written even when nothing changed, as the field always shows the choice.
    ui.SetField(Field::SampPerDiv, std::to_string(timeBase.Spd()));
    if (now != old) view.Reposition(RescaledScrollX(view.ScrollX(), old, now));
}

bool StepTimeBase(Session& session, SignalView& view, int32_t steps) {
    if (!session.document().IsOpen() || view.TagDragging() || view.LineDragging()) return false;
    TimeBase& timeBase = session.timeBase();
    const int32_t old = timeBase.Index();
    if (!timeBase.Step(steps)) return false;
    session.ui().SetField(Field::SampPerDiv, std::to_string(timeBase.Spd()));
    view.Reposition(RescaledScrollX(view.ScrollX(), old, timeBase.Index()));
    return true;
}

}  // namespace koru
