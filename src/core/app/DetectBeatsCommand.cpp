#include "app/DetectBeatsCommand.h"

#include <algorithm>

#include "analysis/Beats.h"
#include "analysis/Rhythm.h"
#include "app/Commands.h"

namespace koru {
namespace {

// Detected beats take the place of the beats already listed (a foreign
// file's reference beats, or an earlier detection), so the rhythm is never
// counted twice; other annotations stay. Reference beats are asked about.
bool ReplaceBeats(Session& session, const std::vector<int64_t>& beats) {
    AnnotationList& list = session.document().Annotations();
    const std::size_t listed = BeatFrames(list).size();
    if (listed > 0 && session.document().Foreign() != nullptr) {
        const std::string question = "The annotation list holds " + std::to_string(listed) +
                                     " beats of the recording. Replace them with the " +
                                     std::to_string(beats.size()) + " beats found?";
        if (session.ui().AskYesNoCancel(MessageOwner::MainWindow, question, "Detect Beats",
                                        MessageIcon::Question) != Reply::Yes)
            return false;
    }
    std::vector<Annotation> kept;
    for (const Annotation& a : list.Items())
        if (!IsBeatLabel(a.label)) kept.push_back(a);
    for (const int64_t b : beats) kept.push_back(Annotation{b, "N", "", -1});
    list.Assign(std::move(kept));
    return true;
}

// Beats the Marker list lacks go in, in order, while it has room; answers
// how many of them it holds afterwards.
std::size_t AddToMarkers(MarkerList& markers, const std::vector<int64_t>& beats) {
    std::vector<int32_t> had = markers.items;  // a list read from a file may be in any order
    std::sort(had.begin(), had.end());
    std::size_t held = 0;
    for (const int64_t b : beats) {
        const auto frame = static_cast<int32_t>(b);
        if (std::binary_search(had.begin(), had.end(), frame)) {
            ++held;
            continue;
        }
        if (!markers.InsertSorted(frame)) break;
        ++held;
    }
    markers.loaded = markers.loaded || !markers.items.empty();
    return held;
}

}  // namespace

std::string MarkerListFilledText(std::size_t kept, std::size_t found) {
    return "The Marker list is full (" + std::to_string(MarkerList::kCapacity) +
           "): " + std::to_string(kept) + " of the " + std::to_string(found) +
           " beats found are markers; all are in the annotation list.";
}

void DetectBeatsCommand(Session& session, SignalView& view) {
    SignalDocument& doc = session.document();
    if (!doc.IsOpen()) return;
    Ui& ui = session.ui();
    std::vector<int64_t> beats;
    {
        StatusMessageScope status(ui, Cmd::DetectBeats, session.idleStatus());
        BusyScope busy(ui, ProgressMode::Detecting);
        beats = DetectBeats(doc, 0, {}, &ui);
    }
    if (!ReplaceBeats(session, beats)) return;
    // A foreign recording's Marker list holds its own annotations already.
    if (doc.Foreign() == nullptr) {
        const std::size_t held = AddToMarkers(doc.Markers(), beats);
        if (held < beats.size())
            ui.ShowMessage(MessageOwner::MainWindow, MarkerListFilledText(held, beats.size()),
                           "Detect Beats", MessageIcon::Information);
    }
    view.UpdateCutText();
    view.InvalidateAll();
    ui.SetStatusText(std::to_string(beats.size()) + " beats found on channel 1.");
}

}  // namespace koru
