#pragma once
// Marker files as they are written: one "%d" per line in list order, CR LF,
// no header. Written whole through a temporary file, so a failed write
// leaves an older marker file as it was.

#include <string>

#include "signal/Cutout.h"
#include "signal/MarkerList.h"

namespace koru {

// The whole Marker list, in list order.
std::string MarkerFileText(const MarkerList& markers);
// The markers m with start < m <= end, as m - start, in list order: the
// marker file beside a saved cutout.
std::string CutoutMarkerText(const MarkerList& markers, const Cutout& cutout);

// False with the system's reason in *error when the file cannot be written.
bool WriteMarkerFile(const std::string& path, const MarkerList& markers,
                     std::string* error = nullptr);
bool WriteCutoutMarkerFile(const std::string& path, const MarkerList& markers, const Cutout& cutout,
                           std::string* error = nullptr);

// The message for a marker file that could not be written.
std::string CannotWriteMarkersText(const std::string& path, const std::string& reason);

}  // namespace koru
