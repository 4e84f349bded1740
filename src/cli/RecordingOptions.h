#pragma once
// The recording a subcommand works on, and the options that stand in for
// what the open flow asks: --raw-channels and --raw-interval answer the Read
// Binary dialog for .bin, .dat and .nib files, --filemode sets FILEMODE.

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "CliUi.h"
#include "app/Session.h"

namespace koru::cli {

struct RecordingOptions {
    std::string path;
    int32_t rawChannels = 8;
    int32_t rawInterval = 1000;
    bool fileMode = false;
    std::vector<int> signalNumbers;  // --signals: of a foreign recording
    std::string annotator;           // --annotator: of a WFDB record

    // Adds the FILE argument and the three options.
    void Define(CLI::App& sub);
    // Opens the recording as the Open command does, markers included; the
    // samples are not loaded. False when it did not open (reported).
    bool Open(Session& session, CliUi& ui) const;
    // Loads the samples of the open recording (in memory unless --filemode).
    // False when memory ran out or a foreign file broke off before the end
    // (reported).
    bool Load(Session& session, CliUi& ui) const;
};

}  // namespace koru::cli
