#include "signal/ForeignOpen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

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

std::string RateText(double rate) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g Hz", rate);
    return buf;
}

// Refuses a choice of signals at more than one rate, naming two of them.
bool OneRate(const ForeignSource& source, const std::vector<int>& chosen, Ui& ui) {
    const std::vector<ForeignSignal>& all = source.Signals();
    for (const int i : chosen) {
        const ForeignSignal& a = all[static_cast<std::size_t>(chosen.front())];
        const ForeignSignal& b = all[static_cast<std::size_t>(i)];
        if (SameRate(a.rate, b.rate)) continue;
        ui.ShowMessage(MessageOwner::None,
                       "Signals " + std::to_string(chosen.front() + 1) + " and " +
                           std::to_string(i + 1) + " are sampled at different rates (" +
                           RateText(a.rate) + " and " + RateText(b.rate) +
                           "); choose signals of one rate.",
                       "Signals", MessageIcon::Stop);
        return false;
    }
    return true;
}

// Which signals become channels: all when they fit and share one rate, else
// the Signals dialog's choice, which may take any rate. At first the
// dialog ticks the first eight at the first signal's rate. Empty when the
// dialog was cancelled or its answer mixed rates.
std::vector<int> ChosenSignals(const ForeignSource& source, Ui& ui) {
    const std::vector<ForeignSignal>& all = source.Signals();
    std::vector<int> ticked;
    std::vector<SignalChoice> choices;
    for (std::size_t i = 0; i < all.size(); ++i) {
        choices.push_back({static_cast<int>(i) + 1, all[i].label, all[i].rate});
        if (SameRate(all[i].rate, all.front().rate) &&
            ticked.size() < static_cast<std::size_t>(kFrameChannels))
            ticked.push_back(static_cast<int>(i));
    }
    if (ticked.size() == all.size() && !ui.SignalsPreset()) return ticked;
    const std::optional<std::vector<int>> answer = ui.ChooseSignals(choices, ticked);
    if (!answer) return {};
    std::vector<int> chosen;
    for (const int k : *answer)
        if (k >= 0 && static_cast<std::size_t>(k) < all.size()) chosen.push_back(k);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    if (chosen.size() > static_cast<std::size_t>(kFrameChannels)) chosen.resize(kFrameChannels);
    if (!chosen.empty() && !OneRate(source, chosen, ui)) return {};
    return chosen;
}

// Which annotator's annotations become markers, where a record has any to choose from.
bool ChooseAnnotations(ForeignSource& source, Ui& ui) {
    const std::vector<std::string> names = source.Annotators();
    if (names.empty()) return true;
    const std::optional<int> pick = ui.ChooseAnnotator(names, 0);
    if (!pick) return false;
    if (*pick > 0 && static_cast<std::size_t>(*pick) < names.size())
        source.ChooseAnnotator(names[static_cast<std::size_t>(*pick)]);
    return true;
}

SignalHeader MakeHeader(const ForeignSource& source, const std::vector<int>& chosen) {
    SignalHeader h;
    h.ChannelCount = static_cast<uint16_t>(chosen.size());
    // The nearest whole microseconds: all a ".sig" header can hold. Times
    // shown come from the exact rate (the document's clock).
    const double rate = source.Signals()[static_cast<std::size_t>(chosen.front())].rate;
    const double interval = std::round(1e6 / rate);
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
    // The annotation list keeps every one, with its label, past the Marker
    // list's limit; several times the markers' memory each, so a file of
    // millions may not fit where its markers do: the markers then stay alone.
    try {
        std::vector<Annotation> labelled = source.LabelledAnnotations();
        std::erase_if(labelled, [&](const Annotation& a) {
            return a.frame < 0 || a.frame > doc.FrameCount();
        });
        doc.Annotations().Assign(std::move(labelled));
    } catch (const std::bad_alloc&) {
        doc.Annotations().Clear();
        ui.ShowMessage(MessageOwner::None, AnnotationsDroppedText(), "Annotations",
                       MessageIcon::Information);
    }
    if (total > markers.items.size())
        ui.ShowMessage(MessageOwner::None, MarkersKeptText(total), "Markers",
                       MessageIcon::Information);
}

}  // namespace

std::string AnnotationsDroppedText() {
    return "There is not enough memory for the annotation list; only the markers are kept.";
}

std::string MarkersKeptText(std::size_t total) {
    return "Only the first " + std::to_string(MarkerList::kCapacity) + " of " +
           std::to_string(total) + " annotations are shown as markers.";
}

OpenOutcome OpenForeignRecording(SignalDocument& doc, const std::string& path, Ui& ui,
                                 bool mayDefer) {
    std::string error;
    std::unique_ptr<ForeignSource> source = OpenForeignSource(path, error, mayDefer);
    if (!source) {
        Refuse(doc, ui, error);
        return OpenOutcome::Invalid;
    }
    if (!ChooseAnnotations(*source, ui)) {
        doc.Close();
        return OpenOutcome::Cancelled;
    }
    const std::vector<int> chosen = ChosenSignals(*source, ui);
    if (chosen.empty()) {
        doc.Close();
        return OpenOutcome::Cancelled;
    }
    source->Choose(chosen);
    doc.SetChosenSignals(chosen);
    doc.MutableHeader() = MakeHeader(*source, chosen);
    std::array<std::string, kFrameChannels> units;
    for (std::size_t c = 0; c < chosen.size() && c < units.size(); ++c)
        units[c] = source->Signals()[static_cast<std::size_t>(chosen[c])].unit;
    doc.SetChannelUnits(units);
    doc.SetClock(
        FrameClock::FromRate(source->Signals()[static_cast<std::size_t>(chosen.front())].rate));
    doc.SetForeignSource(std::move(source));
    doc.MarkOpen();
    doc.CountFrames();
    if (!doc.AnnotationsPending()) TakeAnnotations(doc, *doc.Foreign(), ui);
    if (const std::string notice = doc.Foreign()->Notice(); !notice.empty())
        ui.ShowMessage(MessageOwner::None, notice, "Markers", MessageIcon::Information);
    return OpenOutcome::Opened;
}

bool FinishForeignAnnotations(SignalDocument& doc, Ui& ui) {
    if (!doc.AnnotationsPending()) return true;
    ui.SetCursor(CursorShape::Wait);
    ui.ProgressBegin(ProgressMode::Reading);
    std::string error;
    const bool read = doc.Foreign()->FinishAnnotations(ui, error);
    ui.SetCursor(CursorShape::View);
    ui.ProgressEnd();
    if (!read) {
        Refuse(doc, ui, error);
        return false;
    }
    TakeAnnotations(doc, *doc.Foreign(), ui);
    return true;
}

}  // namespace koru
