#pragma once
// Comma-separated integer lists as "%d,%d,...,%d" reads them: each number may
// be preceded by white space, but a comma must follow its number at once.

#include <cstdint>
#include <span>
#include <string_view>

namespace koru {

// Fills `out` from the front until a field does not match; fields after that
// keep their values. Numbers beyond 32 bits saturate. Returns how many were set.
int ScanIntList(std::string_view text, std::span<int32_t> out);

}  // namespace koru
