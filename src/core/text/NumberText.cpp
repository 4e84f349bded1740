#include "text/NumberText.h"

#include <charconv>

namespace koru {

void AppendG(std::string& out, double value) {
    char buf[64];
    // to_chars with a precision is specified as printf's "%.*g".
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 6);
    out.append(buf, r.ptr);
}

void AppendRightAligned(std::string& out, int64_t value, int width) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    const auto length = static_cast<int>(r.ptr - buf);
    if (length < width) out.append(static_cast<std::size_t>(width - length), ' ');
    out.append(buf, r.ptr);
}

}  // namespace koru
