#pragma once
// Convert TXT to SIG: a text sample file (three header lines, then
// whitespace-separated samples) becomes a new signal file. The open
// recording is not touched. The new file is written beside the target and
// renamed over it only when complete, so a failed conversion leaves an
// existing file as it was, and converting a file onto itself is safe.

#include <cstdint>
#include <string>

#include "platform/Ui.h"
#include "text/TextReader.h"

namespace koru {

inline constexpr const char* kConvertErrorTitle = "Convert File Error";

struct ConvertResult {
    enum class Outcome {
        Converted,  // every sample up to the end of the text is in the new file
        Stopped,    // the samples before an item that is no sample value are
        Failed,     // nothing was written
    };
    Outcome outcome = Outcome::Failed;
    int64_t samples = 0;  // samples in the new file
};

// Shows every failure in a box owned by the view, titled "Convert File
// Error", and the wait cursor and progress while it writes.
ConvertResult ConvertTextFile(const std::string& textPath, const std::string& sigPath, Ui& ui);

// The conversion from an already open text; `totalBytes` is its size for
// the progress box (0 when unknown).
ConvertResult ConvertText(TextReader& text, uint64_t totalBytes, const std::string& sigPath,
                          Ui& ui);

// The message after a sample reading that stopped early.
std::string ConversionStoppedText(int64_t line, const std::string& item, int64_t samples);

}  // namespace koru
