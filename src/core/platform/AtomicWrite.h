#pragma once
// Whole-file replacement that never leaves a half-written target: the bytes go
// to a temporary file beside the target, which is renamed over it only once
// everything was written and flushed.

#include <string>
#include <string_view>

namespace koru {

// False when any step fails; the old file (if any) is then left as it was and
// the temporary file is removed. An existing target keeps its permissions; a
// symbolic link is written through to the file it names.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Whole file as bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);

}  // namespace koru
