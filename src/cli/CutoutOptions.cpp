#include "CutoutOptions.h"

namespace koru::cli {

void CutoutOptions::Define(CLI::App& sub, bool withChannels) {
    sub.add_option("--from", from, "One tag, as a frame number (a negative one counts as 0)")
        ->required();
    sub.add_option("--to", to, "The other tag, as a frame number; either order")->required();
    if (withChannels) {
        sub.add_option("--channels", channels, "Channels to write, such as 1,2,5 (default all)")
            ->delimiter(',')
            ->check(CLI::Range(1, 8));
    }
}

void CutoutOptions::AnswerChannels(CliUi& ui) const {
    if (channels.empty()) return;
    ui.channels.fill(false);
    for (const int c : channels) ui.channels[static_cast<std::size_t>(c - 1)] = true;
}

bool CutoutOptions::Check(CliUi& ui) const {
    if (Tags().Span() >= 1) return true;
    // The menu leaves such a cutout silently; a script is told.
    ui.ShowMessage(MessageOwner::None, "The tags are on the same frame: nothing to do.", "koru",
                   MessageIcon::Stop);
    return false;
}

}  // namespace koru::cli
