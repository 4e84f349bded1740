#include "export/TextLayout.h"

#include <cassert>

#include "text/NumberText.h"

namespace koru {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}  // namespace

std::string TextHeaderLines(const SignalHeader& header) {
    std::string out = "Number of Channels: ";
    AppendRightAligned(out, header.ChannelCount, 0);
    out += "  Interval:";
    AppendRightAligned(out, header.Interval, 0);
    out += kLineEnd;
    out += "Scale:";
    for (const float f : header.Scale) {
        out += ' ';
        AppendG(out, static_cast<double>(f));
        out += ' ';
    }
    out += kLineEnd;
    // Written in text mode, so a line break inside the text gets its CR too.
    for (const char c : header.DescriptionText()) {
        if (c == '\n')
            out += kLineEnd;
        else
            out += c;
    }
    out += kLineEnd;
    return out;
}

void AppendFrameLine(std::string& out, std::span<const int16_t> values, FrameLineStyle style) {
    if (style == FrameLineStyle::EightColumns) {
        assert(values.size() == 8);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) out += ' ';
            AppendRightAligned(out, values[i], 5);
        }
    } else {
        for (const int16_t v : values) {
            AppendRightAligned(out, v, 5);
            out += ' ';
        }
    }
    out += kLineEnd;
}

}  // namespace koru
