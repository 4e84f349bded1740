#pragma once
// The annotation list written out: as CSV ("time_s,frame,label,text", a row
// an annotation, fields holding a comma, quote or line break quoted with
// their quotes doubled), or as text ("TIME_S FRAME LABEL [TEXT]" a line) for
// reading in a terminal. Times are seconds from the recording's start, to the microsecond,
// trailing zeros left off.

#include <string>
#include <string_view>

#include "export/ExportSignals.h"
#include "signal/AnnotationList.h"
#include "text/TimeText.h"

namespace koru {

// The whole list; each line ends in `lineEnd`.
std::string AnnotationCsv(const AnnotationList& list, const FrameClock& clock,
                          std::string_view lineEnd = "\r\n");
std::string AnnotationLines(const AnnotationList& list, const FrameClock& clock,
                            std::string_view lineEnd = "\n");

// Written whole; false with the system's reason in *error when it cannot be.
bool WriteAnnotationCsv(const std::string& path, const AnnotationList& list,
                        const FrameClock& clock, std::string* error = nullptr);

// The message for a file that could not be written.
std::string CannotWriteAnnotationsText(const std::string& path, const std::string& reason);

}  // namespace koru
