#pragma once
// From a file name to an open recording: kind by name, header from the file
// or from the Read Binary answer, frame count and markers. Failures are shown
// here with their messages; the caller returns the window to its empty look.

#include <string>

#include "platform/Ui.h"
#include "signal/SignalDocument.h"

namespace koru {

// Cancelled: the user closed a dialog the open needed (the Signals dialog).
enum class OpenOutcome { Opened, CannotOpen, Invalid, Cancelled };

std::string UpperCased(std::string text);

// Whether the Open dialog may load this name (".sig", ".bin", ".dat", ".nib"
// or a foreign recording's extension, any case).
bool LoadableExtension(const std::string& path);

std::string RefusalText();
std::string CannotOpenText(const std::string& upperPath);
std::string InvalidFileText(const std::string& upperPath);
std::string FramesCutText(const std::string& upperPath);
// The same with the reader's reason on a third line.
std::string InvalidFileText(const std::string& upperPath, const std::string& reason);

// Closes what was open, then opens `path`. The document is left closed on
// failure. Samples are not loaded here. With `mayDefer` a long foreign
// recording's annotations may be left pending (see FinishForeignAnnotations).
OpenOutcome OpenSignalFile(SignalDocument& doc, const std::string& path, Ui& ui,
                           bool mayDefer = false);

}  // namespace koru
