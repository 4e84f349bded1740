#pragma once
// Marker files: decimal frame positions, one per line, beside the recording.

#include <string>

#include "signal/SignalDocument.h"
#include "text/TextReader.h"

namespace koru {

// The recording's path with its file name cut at the first dot (dots that
// start the name are passed over) and ".mrk" appended. Only the file name is
// cut, so recordings in a folder with a dot in its name keep their own files.
std::string MarkerPathFor(const std::string& signalPath);
// The same without ".mrk": the path with its file name cut at the first dot.
std::string CutAtNameDot(const std::string& path);

// Empties the Marker list; for a headed recording whose last description
// byte is not '(' it then reads the marker file beside it, if there is one.
void ReadMarkerFile(SignalDocument& doc);

// Reads markers from `path` into `out` by the reading rules; false when the
// file cannot be opened.
bool ReadMarkers(const std::string& path, int32_t frameCount, std::vector<int32_t>& out);
// The same from an open text.
void ReadMarkers(TextReader& in, int32_t frameCount, std::vector<int32_t>& out);

}  // namespace koru
