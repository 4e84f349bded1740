#include "RecordingOptions.h"

#include <limits>

#include "signal/OpenFlow.h"

namespace koru::cli {

void RecordingOptions::Define(CLI::App& sub) {
    sub.add_option("FILE", path,
                   "The recording (.sig, .bin, .dat, .nib, .edf, .bdf, .gdf, .hea, .scp)")
        ->required();
    sub.add_option("--raw-channels", rawChannels,
                   "Channels of a .bin, .dat or .nib file (1 to 8, default 8)")
        ->check(CLI::Range(1, 8));
    sub.add_option("--raw-interval", rawInterval,
                   "Microseconds between the frames of a .bin, .dat or .nib file (default 1000)")
        ->check(CLI::Range(1, std::numeric_limits<int32_t>::max()));
    sub.add_flag("--filemode", fileMode, "Read the samples from the file instead of memory");
    sub.add_option("--signals", signalNumbers,
                   "Signals of an EDF, BDF, GDF, WFDB or SCP-ECG recording that become "
                   "channels 1 to 8, by their numbers in the file (default the first eight)")
        ->delimiter(',')
        ->check(CLI::PositiveNumber);
    sub.add_option("--annotator", annotator,
                   "Annotator of a WFDB record whose beats become markers: the NAME of its "
                   "REC.NAME file (default atr, else the first found)");
}

bool RecordingOptions::Open(Session& session, CliUi& ui) const {
    ui.readBinary = {rawChannels, rawInterval};
    ui.signalNumbers = signalNumbers;
    ui.annotator = annotator;
    session.settings().fileMode = fileMode ? 1 : 0;
    session.document().SetFileBacked(fileMode);
    return OpenSignalFile(session.document(), path, ui) == OpenOutcome::Opened;
}

bool RecordingOptions::Load(Session& session, CliUi& ui) const {
    const LoadResult result = LoadRecording(session.document(), ui);
    return !result.outOfMemory && result.error.empty();
}

}  // namespace koru::cli
