#pragma once
// The cutout as EDF+ (16-bit samples) or BDF+ (24-bit samples), continuous
// ("EDF+C"): one data signal a selected channel, then the annotation signal
// with each record's time, the annotations inside the cutout with their
// labels and the markers there ("Marker"). The start is the source's where
// it gives one, moved to the cutout's first frame.
//
// Data records last one second (the nearest whole number of frames),
// fewer frames where a record would pass 61440 bytes or the cutout is
// shorter. Down to a quarter of that, the largest length that divides the
// cutout is taken, so no record is padded; a cutout no such length divides
// (and an append that does not fill its last record) has its last record
// filled up by repeating its last frame. The header's 8-character fields
// limit the rest: no patient is known ("X"), an unknown start is written
// 01.01.85 00.00.00, and a scale factor whose extremes do not fit them is
// refused.
//
// An append adds records to a file of the same layout (kind, channel
// count, rate, frames a record) and then rewrites the record count. The
// count reads "-1" (taken from the file's size, as the format allows) from
// before the first new byte until the new records are committed, so a crash
// at any step leaves a file that reads right: rolled back to the old
// records, or holding the new ones whole.

#include <cstdint>
#include <string>
#include <vector>

#include "export/ExportSignals.h"
#include "platform/FileWriter.h"
#include "platform/Progress.h"
#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru {

// Writes header and records into `out` (a new file).
ExportResult WriteEdf(const SignalDocument& doc, const Cutout& cutout,
                      const std::vector<ExportChannel>& channels, bool bdf, BufferedOutput& out,
                      ProgressSink& progress);

// Adds the cutout's records to the EDF+ or BDF+ file at `path`.
ExportResult AppendEdf(const SignalDocument& doc, const Cutout& cutout,
                       const std::vector<ExportChannel>& channels, bool bdf,
                       const std::string& path, ProgressSink& progress);

}  // namespace koru
