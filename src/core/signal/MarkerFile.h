#pragma once
// Marker files: decimal frame positions, one per line, beside the recording.

#include <string>

#include "signal/SignalDocument.h"
#include "text/TextReader.h"

namespace koru {

// The recording's path with its file name's extension (from its last dot;
// dots that start the name are passed over) replaced by ".mrk": run.part1.sig
// has run.part1.mrk, so cutouts named after a recording keep their own
// markers. Only the file name is cut, so recordings in a folder with a dot in
// its name keep their own files.
std::string MarkerPathFor(const std::string& signalPath);
// The same without ".mrk": the path with its file name's extension cut off.
std::string CutExtension(const std::string& path);
// The name older versions used: the file name cut at its first dot.
std::string OlderMarkerPathFor(const std::string& signalPath);
std::string CutAtNameDot(const std::string& path);

// The marker file the reader takes for a recording: its own (letter case
// ignored), else one by the older name; empty when there is none.
std::string FindMarkerFile(const std::string& signalPath);

// Empties the Marker list; for a headed recording whose last description
// byte is not '(' it then reads the marker file FindMarkerFile names.
void ReadMarkerFile(SignalDocument& doc);

// Reads markers from `path` into `out` by the reading rules; false when the
// file cannot be opened.
bool ReadMarkers(const std::string& path, int32_t frameCount, std::vector<int32_t>& out);
// The same from an open text.
void ReadMarkers(TextReader& in, int32_t frameCount, std::vector<int32_t>& out);

}  // namespace koru
