#pragma once
// Numbers written as the printf formats of the file layouts write them,
// without printf's locale and per-call parsing.

#include <cstdint>
#include <string>

namespace koru {

// "%g": six significant digits, fixed or exponent form as printf picks.
void AppendG(std::string& out, double value);

// "%*d": right-aligned in `width` characters, or wider when it needs more.
void AppendRightAligned(std::string& out, int64_t value, int width);

}  // namespace koru
