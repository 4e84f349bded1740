#include "signal/ForeignOpen.h"

#include <algorithm>
#include <cmath>

namespace koru {

namespace {

bool SameRate(double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max(std::abs(a), std::abs(b));
}

void Refuse(SignalDocument& doc, Ui& ui, const std::string& reason) {
    const std::string upper = doc.FileName();
    doc.Close();
    ui.ShowMessage(MessageOwner::None, InvalidFileText(upper, reason), "Error", MessageIcon::Stop);
}

// The signals at the first signal's rate; the others are named in a box.
std::vector<int> UsableSignals(const ForeignSource& source, Ui& ui) {
    const std::vector<ForeignSignal>& all = source.Signals();
    std::vector<int> usable;
    std::string leftOut;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (SameRate(all[i].rate, all.front().rate)) {
            usable.push_back(static_cast<int>(i));
        } else {
            leftOut += "\n " + all[i].label;
        }
    }
    if (!leftOut.empty())
        ui.ShowMessage(MessageOwner::None,
                       "These signals are sampled at another rate than the first and are left "
                       "out:" +
                           leftOut,
                       "Signals", MessageIcon::Information);
    return usable;
}

// Which usable signals become channels: all when they fit, else the
// Signals dialog's choice. Empty when the dialog was cancelled.
std::vector<int> ChosenSignals(const ForeignSource& source, const std::vector<int>& usable,
                               Ui& ui) {
    if (usable.size() <= static_cast<std::size_t>(kFrameChannels) && !ui.SignalsPreset())
        return usable;
    std::vector<SignalChoice> choices;
    for (const int i : usable)
        choices.push_back({i + 1, source.Signals()[static_cast<std::size_t>(i)].label});
    std::vector<int> ticked;
    for (int k = 0; k < kFrameChannels && static_cast<std::size_t>(k) < usable.size(); ++k)
        ticked.push_back(k);
    const std::optional<std::vector<int>> answer = ui.ChooseSignals(choices, ticked);
    if (!answer) return {};
    std::vector<int> chosen;
    for (const int k : *answer)
        if (k >= 0 && static_cast<std::size_t>(k) < usable.size())
            chosen.push_back(usable[static_cast<std::size_t>(k)]);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    if (chosen.size() > static_cast<std::size_t>(kFrameChannels)) chosen.resize(kFrameChannels);
    return chosen;
}

SignalHeader MakeHeader(const ForeignSource& source, const std::vector<int>& chosen) {
    SignalHeader h;
    h.ChannelCount = static_cast<uint16_t>(chosen.size());
    const double interval = std::round(1e6 / source.Signals().front().rate);
    h.Interval = static_cast<uint32_t>(std::clamp(interval, 1.0, 4e9));
    for (std::size_t c = 0; c < chosen.size(); ++c)
        h.Scale[c] = static_cast<float>(
            source.Signals()[static_cast<std::size_t>(chosen[c])].rule.unitsPerValue);
    // One byte short of the field, so the text always ends in a terminator.
    h.SetDescription(source.Identification().substr(0, SignalHeader::kDescriptionSize - 1));
    return h;
}

void TakeAnnotations(SignalDocument& doc, const ForeignSource& source, Ui& ui) {
    std::vector<int64_t> all = source.Annotations();
    std::sort(all.begin(), all.end());
    MarkerList& markers = doc.Markers();
    markers.Clear();
    std::size_t total = 0;
    for (const int64_t t : all) {
        if (t < 0 || t > doc.FrameCount()) continue;
        ++total;
        if (!markers.Full()) markers.items.push_back(static_cast<int32_t>(t));
    }
    markers.loaded = total > 0;
    markers.MarkSaved();
    if (total > markers.items.size())
        ui.ShowMessage(MessageOwner::None, MarkersKeptText(total), "Markers",
                       MessageIcon::Information);
}

}  // namespace

std::string MarkersKeptText(std::size_t total) {
    return "Only the first " + std::to_string(MarkerList::kCapacity) + " of " +
           std::to_string(total) + " annotations are shown as markers.";
}

OpenOutcome OpenForeignRecording(SignalDocument& doc, const std::string& path, Ui& ui) {
    std::string error;
    std::unique_ptr<ForeignSource> source = OpenForeignSource(path, error);
    if (!source) {
        Refuse(doc, ui, error);
        return OpenOutcome::Invalid;
    }
    const std::vector<int> usable = UsableSignals(*source, ui);
    const std::vector<int> chosen = ChosenSignals(*source, usable, ui);
    if (chosen.empty()) {
        doc.Close();
        return OpenOutcome::Cancelled;
    }
    source->Choose(chosen);
    doc.SetChosenSignals(chosen);
    doc.MutableHeader() = MakeHeader(*source, chosen);
    doc.SetForeignSource(std::move(source));
    doc.MarkOpen();
    doc.CountFrames();
    TakeAnnotations(doc, *doc.Foreign(), ui);
    if (const std::string notice = doc.Foreign()->Notice(); !notice.empty())
        ui.ShowMessage(MessageOwner::None, notice, "Markers", MessageIcon::Information);
    return OpenOutcome::Opened;
}

}  // namespace koru
