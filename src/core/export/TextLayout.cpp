#include "export/TextLayout.h"

#include <algorithm>
#include <cassert>
#include <charconv>

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
    // Written in place: a save streams millions of these lines.
    constexpr std::size_t kMostPerValue = 7;  // "-32768" and its blank
    const std::size_t old = out.size();
    out.resize(old + values.size() * kMostPerValue + kLineEnd.size());
    char* p = out.data() + old;
    const bool blankAfterLast = style == FrameLineStyle::TrailingBlank;
    assert(blankAfterLast || values.size() == 8);
    for (std::size_t i = 0; i < values.size(); ++i) {
        char digits[8];
        char* end = std::to_chars(digits, digits + sizeof digits, values[i]).ptr;
        const auto length = static_cast<std::size_t>(end - digits);
        for (std::size_t pad = length; pad < 5; ++pad) *p++ = ' ';
        p = std::copy(digits, end, p);
        if (blankAfterLast || i + 1 < values.size()) *p++ = ' ';
    }
    p = std::copy(kLineEnd.begin(), kLineEnd.end(), p);
    out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace koru
