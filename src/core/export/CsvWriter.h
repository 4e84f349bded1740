#pragma once
// The cutout as comma-separated values: a header row ("time_s", then each
// channel's label with its unit in brackets), then one row a frame with its
// time from the cutout's start and the values in physical units, "." as
// the decimal point. Rows end in CR LF. An append continues the times of
// the rows already there and takes only a file whose header row is the
// cutout's.

#include <string>
#include <vector>

#include "export/ExportSignals.h"
#include "platform/FileWriter.h"
#include "platform/Progress.h"
#include "signal/Cutout.h"
#include "signal/SignalDocument.h"

namespace koru {

// "time_s,I [uV],..." without its line end.
std::string CsvHeaderRow(const std::vector<ExportChannel>& channels);

ExportResult WriteCsv(const SignalDocument& doc, const Cutout& cutout,
                      const std::vector<ExportChannel>& channels, BufferedOutput& out,
                      ProgressSink& progress);

ExportResult AppendCsv(const SignalDocument& doc, const Cutout& cutout,
                       const std::vector<ExportChannel>& channels, const std::string& path,
                       ProgressSink& progress);

}  // namespace koru
