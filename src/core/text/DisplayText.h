#pragma once
// Header texts are 8-bit text of unknown origin: UTF-8 from this program,
// Windows-1252 from older ones. Shown as UTF-8 either way.

#include <string>
#include <string_view>

namespace koru {

bool IsValidUtf8(std::string_view bytes);

// The bytes as they are when they are valid UTF-8, else read as Windows-1252.
std::string DisplayUtf8(std::string_view bytes);

}  // namespace koru
