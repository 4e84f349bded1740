#pragma once
// The options that stand in for the two tags and the Data Channels dialog.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <vector>

#include "CliUi.h"
#include "signal/Cutout.h"

namespace koru::cli {

struct CutoutOptions {
    int32_t from = 0;
    int32_t to = 0;
    std::vector<int> channels;  // empty: all eight

    // --from and --to; with `withChannels`, --channels too.
    void Define(CLI::App& sub, bool withChannels);
    Cutout Tags() const { return Cutout::FromTags(from, to); }
    // The Data Channels answer for `ui`.
    void AnswerChannels(CliUi& ui) const;
    // False, with a message, when the tags leave nothing between them.
    bool Check(CliUi& ui) const;
};

}  // namespace koru::cli
