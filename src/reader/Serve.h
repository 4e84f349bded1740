#pragma once
// The reader's serving mode: after the description, samples of a range of
// records on request, so a long recording is never read whole.

#include <biosig.h>

#include "signal/LibraryStream.h"

namespace koru {

// Answers requests on `socket` until it closes: 0 then, 4 when an answer
// could not be written. `stream` describes the file the library has open
// in `hdr`, its signals the library's switched-on channels in order.
int Serve(HDRTYPE* hdr, const LibraryStream& stream, int socket);

// Writes all `size` bytes, through interruptions; false when the other
// end is gone.
bool WriteAll(int fd, const void* data, std::size_t size);

// The library's start of the recording in calendar parts; unknown when the
// header gives none.
RecordingStart StartOf(HDRTYPE* hdr);

}  // namespace koru
