#pragma once
// The options that stand in for the two tags and the Data Channels dialog.

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "CliUi.h"
#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru::cli {

struct CutoutOptions {
    std::string from, to;       // positions as given; empty: the recording's ends
    std::vector<int> channels;  // empty: the recording's own

    // --from and --to (required with `required`); with `withChannels`,
    // --channels too.
    void Define(CLI::App& sub, bool withChannels, bool required = true);
    // The tags at the recording's rate; nothing, with a message, when a
    // position is no position or the tags leave nothing between them.
    std::optional<Cutout> Tags(const SignalDocument& doc, CliUi& ui) const;
    // The Data Channels answer for `ui`.
    void AnswerChannels(CliUi& ui, const SignalDocument& doc) const;
};

// Refuses an output name that does not end in a layout's extension.
std::string CheckLayoutName(const std::string& path);

}  // namespace koru::cli
