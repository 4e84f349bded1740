#include "export/TextLayout.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <charconv>
#include <cstring>
#include <memory>

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

namespace {

// Every int16_t value as "%5d " prints it, found by index rather than
// formatted: a save prints millions of values from this one small table.
struct ValueText {
    char text[7];  // "-32768 " is the longest
    uint8_t length;
};
static_assert(sizeof(ValueText) == 8);

const std::array<ValueText, 65536>& ValueTexts() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<ValueText, 65536>>();
        for (int v = -32768; v <= 32767; ++v) {
            char digits[8];
            char* end = std::to_chars(digits, digits + sizeof digits, v).ptr;
            const auto length = static_cast<std::size_t>(end - digits);
            ValueText& e = (*t)[static_cast<uint16_t>(v)];
            char* p = e.text;
            for (std::size_t pad = length; pad < 5; ++pad) *p++ = ' ';
            p = std::copy(digits, end, p);
            *p++ = ' ';
            e.length = static_cast<uint8_t>(p - e.text);
        }
        return t;
    }();
    return *table;
}

}  // namespace

void AppendFrameLine(std::string& out, std::span<const int16_t> values, FrameLineStyle style) {
    // Written in place: a save streams millions of these lines.
    constexpr std::size_t kMostPerValue = sizeof(ValueText);  // a whole entry is copied
    const std::array<ValueText, 65536>& texts = ValueTexts();
    const std::size_t old = out.size();
    out.resize(old + values.size() * kMostPerValue + kLineEnd.size());
    char* p = out.data() + old;
    assert(style == FrameLineStyle::TrailingBlank || values.size() == 8);
    for (const int16_t v : values) {
        const ValueText& e = texts[static_cast<uint16_t>(v)];
        std::memcpy(p, &e, sizeof e);
        p += e.length;
    }
    // Every value's text ends in its blank; eight columns drop the last.
    if (style == FrameLineStyle::EightColumns && !values.empty()) --p;
    p = std::copy(kLineEnd.begin(), kLineEnd.end(), p);
    out.resize(static_cast<std::size_t>(p - out.data()));
}

}  // namespace koru
