#pragma once
// GDF and SCP-ECG through the reader process (see LibrarySource.cpp). A GDF
// file from `serveFromBytes` on is read as it is shown, by a reader kept
// running; a smaller one, and any SCP-ECG file, whole at the open.

#include <cstdint>
#include <memory>
#include <string>

#include "signal/ForeignSource.h"

namespace koru {

// Past this a whole read would hold more than a few screens' worth of
// samples for nothing.
inline constexpr uint64_t kLibraryServeBytes = 16u << 20;

std::unique_ptr<ForeignSource> OpenLibraryRecording(const std::string& path, std::string& error,
                                                    uint64_t serveFromBytes);

}  // namespace koru
