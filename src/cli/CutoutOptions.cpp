#include "CutoutOptions.h"

#include <algorithm>
#include <limits>

#include "export/SaveCutout.h"
#include "text/FramePosition.h"

namespace koru::cli {

namespace {

constexpr const char* kPositionHelp =
    "as a frame number (a negative one counts as 0), seconds (12.5s) or a time (00:12.500, "
    "1:02:03.5)";

std::string CheckPosition(const std::string& text) {
    std::string error;
    return ParseFramePosition(text, FrameClock(1000), error) ? std::string() : error;
}

}  // namespace

void CutoutOptions::Define(CLI::App& sub, bool withChannels, bool required) {
    CLI::Option* a = sub.add_option("--from", from,
                                    std::string("One tag, ") + kPositionHelp +
                                        (required ? "" : " (default the start)"))
                         ->check(CheckPosition);
    CLI::Option* b = sub.add_option("--to", to,
                                    std::string("The other tag, in the same forms; either order") +
                                        (required ? "" : " (default the last frame)"))
                         ->check(CheckPosition);
    a->required(required);
    b->required(required);
    if (withChannels) {
        sub.add_option("--channels", channels,
                       "Channels to write, such as 1,2,5 (default the recording's own)")
            ->delimiter(',')
            ->check(CLI::Range(1, 8));
    }
}

std::optional<Cutout> CutoutOptions::Tags(const SignalDocument& doc, CliUi& ui) const {
    std::string error;
    auto position = [&](const std::string& text, int64_t fallback) -> std::optional<int32_t> {
        if (text.empty()) return static_cast<int32_t>(fallback);
        const std::optional<int64_t> f = ParseFramePosition(text, doc.Clock(), error);
        if (!f) return std::nullopt;
        if (*f >= doc.FrameCount()) {
            error = text + " is past the last frame of the recording (" +
                    std::to_string(doc.FrameCount() - 1) + ")";
            return std::nullopt;
        }
        return static_cast<int32_t>(std::clamp<int64_t>(*f, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    const std::optional<int32_t> a = position(from, 0);
    const std::optional<int32_t> b = position(to, std::max<int64_t>(0, doc.FrameCount() - 1));
    if (!a || !b) {
        ui.ShowMessage(MessageOwner::None, error + ".", "koru", MessageIcon::Stop);
        return std::nullopt;
    }
    const Cutout cutout = Cutout::FromTags(*a, *b);
    if (cutout.Span() >= 1) return cutout;
    // The menu leaves such a cutout silently; a script is told.
    ui.ShowMessage(MessageOwner::None, "The tags are on the same frame: nothing to do.", "koru",
                   MessageIcon::Stop);
    return std::nullopt;
}

void CutoutOptions::AnswerChannels(CliUi& ui, const SignalDocument& doc) const {
    ui.channels.fill(false);
    if (channels.empty()) {
        const int own = std::clamp<int>(doc.Header().ChannelCount, 1, 8);
        for (int c = 0; c < own; ++c) ui.channels[static_cast<std::size_t>(c)] = true;
        return;
    }
    for (const int c : channels) ui.channels[static_cast<std::size_t>(c - 1)] = true;
}

std::string CheckLayoutName(const std::string& path) {
    if (HasLayoutExtension(path)) return {};
    return std::string("the name must end in the extension of a layout: ") + kLayoutExtensions;
}

}  // namespace koru::cli
