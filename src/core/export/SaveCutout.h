#pragma once
// Writing the cutout between the tags to a file in one of the eight layouts,
// as a new file or added to the end of an existing one. The caller asks for
// the channels and shows the outcome; this only writes.

#include <array>
#include <cstdint>
#include <string>

#include "platform/Progress.h"
#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru {

enum class OutputKind { Sig, Bin, Dat, Nib, Text, Edf, Bdf, Csv };

// A name ending in ".edf", ".bdf" or ".csv" is that interchange layout;
// otherwise ".SIG", ".BIN", ".DAT", ".NIB" anywhere in the file name, in
// that order, choose the program's own, and anything else is text. Letter
// case is ignored. Folder names do not count: a folder called RUN.DAT does
// not make a text file raw.
OutputKind OutputKindFor(const std::string& path);

// Whether the file name ends in one of the layouts' extensions (below).
bool HasLayoutExtension(const std::string& path);
// The extensions, for messages.
inline constexpr const char* kLayoutExtensions = ".sig, .bin, .dat, .nib, .txt, .edf, .bdf, .csv";

// Data channels 1 to 8 to write, in that order.
struct ChannelSelection {
    std::array<bool, 8> selected{true, true, true, true, true, true, true, true};
    int Count() const;
};

enum class SaveMode { Replace, Append };

struct SaveRequest {
    std::string path;
    SaveMode mode = SaveMode::Replace;
    ChannelSelection channels;
    // The layout's names of channels 1 to 8, for the interchange layouts
    // (empty: "Channel N").
    std::array<std::string, 8> labels{};
};

// What went wrong; an empty message means the file was written (or there
// was nothing to write: a cutout under two frames is left silently).
struct SaveOutcome {
    std::string title;
    std::string message;
    bool Ok() const { return message.empty(); }
};

// Writes the cutout. A whole-file save replaces the target only once every
// byte is on disk; an append is cut back to the old length if anything
// fails. A ".sig" save also writes the markers inside the cutout beside it.
SaveOutcome SaveCutout(const SignalDocument& doc, const Cutout& cutout, const SaveRequest& request,
                       ProgressSink& progress);

// The recording on screen, by its spelling (letter case ignored) or by file
// identity: appending to it would read what it writes.
bool IsDisplayedRecording(const SignalDocument& doc, const std::string& path);

// Refuses an append to a ".sig" or text target whose channel count or
// interval differs from the cutout's: every later frame would be misread.
// Raw targets say nothing of their shape and pass; EDF+, BDF+ and CSV
// targets are checked by their writers, under the append's lock.
SaveOutcome CheckAppendShape(const SignalDocument& doc, const SaveRequest& request);

// The title of a failure box for the mode.
const char* SaveErrorTitle(SaveMode mode);

}  // namespace koru
