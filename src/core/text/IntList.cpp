#include "text/IntList.h"

#include <algorithm>
#include <limits>

#include "text/DecimalScan.h"

namespace koru {

int ScanIntList(std::string_view text, std::span<int32_t> out) {
    int set = 0;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ',') break;
            ++pos;
        }
        int64_t value = 0;
        std::size_t used = 0;
        if (!ScanInt(text.substr(pos), value, &used)) break;
        pos += used;
        out[i] = static_cast<int32_t>(std::clamp<int64_t>(
            value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
        ++set;
    }
    return set;
}

}  // namespace koru
