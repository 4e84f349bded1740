#include "text/TextReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace koru {

namespace {

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int Lower(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// Digits kept for a float; more cannot change a float's value.
constexpr std::size_t kMaxMantissa = 800;
// Beyond this a decimal exponent is infinity or zero for any float.
constexpr int64_t kExponentLimit = 100'000;

// Enough for a sign, nine digits and the character after them, so a
// short number is parsed in the buffer without checking for its end.
constexpr std::size_t kLookahead = 24;

}  // namespace

TextReader::TextReader(ReadFn read, std::size_t blockSize)
    : read_(std::move(read)), buffer_(std::max<std::size_t>(blockSize, 4 * kLookahead)) {
    pos_ = end_ = buffer_.data();
}

bool TextReader::Refill() {
    if (sourceDone_) return false;
    char* base = buffer_.data();
    const auto kept = static_cast<std::size_t>(end_ - pos_);
    if (kept > 0 && pos_ != base) std::memmove(base, pos_, kept);
    pos_ = base;
    end_ = base + kept;
    const std::size_t got = read_(base + kept, buffer_.size() - kept);
    if (got == 0) {
        sourceDone_ = true;
        return false;
    }
    fetched_ += got;
    end_ += got;
    return true;
}

bool TextReader::Ensure(std::size_t n) {
    while (static_cast<std::size_t>(end_ - pos_) < n) {
        if (!Refill()) return false;
    }
    return true;
}

int TextReader::Peek() {
    if (pos_ == end_ && !Refill()) {
        eof_ = true;
        return -1;
    }
    return static_cast<unsigned char>(*pos_);
}

void TextReader::Advance() {
    if (*pos_ == '\n') ++line_;
    ++pos_;
}

int TextReader::GetText() {
    const int c = Peek();
    if (c < 0) return c;
    Advance();
    if (c == '\r' && Peek() == '\n') {
        Advance();
        return '\n';
    }
    return c;
}

void TextReader::SkipSpace() {
    for (;;) {
        while (pos_ < end_ && IsSpace(*pos_)) Advance();
        if (pos_ < end_) return;
        if (!Refill()) {
            eof_ = true;
            return;
        }
    }
}

bool TextReader::SkipToDigit() {
    for (;;) {
        while (pos_ < end_ && !IsDigit(*pos_)) Advance();
        if (pos_ < end_) return true;
        if (!Refill()) {
            eof_ = true;
            return false;
        }
    }
}

bool TextReader::SkipToNumber() {
    for (;;) {
        const int c = Peek();
        if (c < 0) return false;
        if (IsDigit(c)) return true;
        if (c == '-' || c == '+' || c == '.') {
            Ensure(3);
            const auto left = end_ - pos_;
            const int next = left > 1 ? pos_[1] : -1;
            const int after = left > 2 ? pos_[2] : -1;
            if (IsDigit(next)) return true;
            if (c != '.' && next == '.' && IsDigit(after)) return true;
        }
        Advance();
    }
}

void TextReader::SkipLine() {
    for (;;) {
        const auto* nl = static_cast<const char*>(
            std::memchr(pos_, '\n', static_cast<std::size_t>(end_ - pos_)));
        if (nl) {
            pos_ = nl + 1;
            ++line_;
            return;
        }
        pos_ = end_;
        if (!Refill()) {
            eof_ = true;
            return;
        }
    }
}

std::string TextReader::ReadLine(std::size_t max) {
    std::string line;
    for (;;) {
        const int c = GetText();
        if (c < 0 || c == '\n') break;
        if (line.size() == max) break;  // the character after the last kept one is lost
        line.push_back(static_cast<char>(c));
    }
    return line;
}

bool TextReader::TakeDigits(uint64_t& magnitude) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    magnitude = 0;
    bool any = false;
    for (;;) {
        while (pos_ < end_ && IsDigit(*pos_) && magnitude != kMax) {
            const auto d = static_cast<uint64_t>(*pos_ - '0');
            magnitude = magnitude > (kMax - d) / 10 ? kMax : magnitude * 10 + d;
            ++pos_;
            any = true;
        }
        // Saturated: the rest of the run only needs passing over.
        const char* p = pos_;
        while (p < end_ && IsDigit(*p)) ++p;
        any = any || p != pos_;
        pos_ = p;
        if (pos_ < end_) return any;
        if (!Refill()) {
            eof_ = true;
            return any;
        }
    }
}

bool TextReader::TakeMantissa(std::string& mantissa, int64_t& exponent, bool fraction) {
    bool any = false;
    for (;;) {
        while (pos_ < end_ && IsDigit(*pos_)) {
            const char c = *pos_++;
            any = true;
            if (mantissa.size() < kMaxMantissa && (c != '0' || !mantissa.empty())) {
                mantissa.push_back(c);
                if (fraction) --exponent;
            } else if (mantissa.empty()) {
                if (fraction) --exponent;  // a leading zero after the point
            } else if (!fraction) {
                ++exponent;  // an integer digit past what a float can use
            }
        }
        if (pos_ < end_) return any;
        if (!Refill()) {
            eof_ = true;
            return any;
        }
    }
}

bool TextReader::ReadInteger(int64_t& value) {
    SkipSpace();
    const int c = Peek();
    if (c < 0) return false;
    const bool negative = c == '-';
    if (c == '+' || c == '-') Advance();
    uint64_t magnitude = 0;
    if (!TakeDigits(magnitude)) return false;
    constexpr auto kMax = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    magnitude = std::min(magnitude, kMax);
    value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool TextReader::ReadNamedFloat(bool negative, float& value) {
    const bool inf = Lower(Peek()) == 'i';
    for (const char want : std::string_view(inf ? "inf" : "nan")) {
        if (Lower(Peek()) != want) return false;
        Advance();
    }
    if (inf && Lower(Peek()) == 'i' && Ensure(5)) {
        bool rest = true;
        for (int i = 0; i < 5; ++i) rest = rest && Lower(pos_[i]) == "inity"[i];
        if (rest) pos_ += 5;
    }
    const float v =
        inf ? std::numeric_limits<float>::infinity() : std::numeric_limits<float>::quiet_NaN();
    value = negative ? -v : v;
    return true;
}

bool TextReader::ReadFloat(float& value) {
    SkipSpace();
    int c = Peek();
    if (c < 0) return false;
    const bool negative = c == '-';
    if (c == '+' || c == '-') {
        Advance();
        c = Peek();
    }
    if (Lower(c) == 'i' || Lower(c) == 'n') return ReadNamedFloat(negative, value);

    // The value is mantissa x 10^exponent; digits past what a float can use
    // only move the exponent, so any length of number stays small here.
    std::string mantissa;
    int64_t exponent = 0;
    bool anyDigit = TakeMantissa(mantissa, exponent, false);
    c = Peek();
    if (c == '.') {
        Advance();
        anyDigit = TakeMantissa(mantissa, exponent, true) || anyDigit;
        c = Peek();
    }
    if (!anyDigit) return false;
    if (c == 'e' || c == 'E') {
        Advance();
        const int s = Peek();
        if (s == '+' || s == '-') Advance();
        uint64_t e = 0;
        if (!TakeDigits(e)) return false;
        const auto bounded = static_cast<int64_t>(std::min<uint64_t>(e, kExponentLimit * 2));
        exponent += s == '-' ? -bounded : bounded;
    }

    float v = 0;
    if (!mantissa.empty()) {
        const int64_t magnitude = exponent + static_cast<int64_t>(mantissa.size());
        if (magnitude > kExponentLimit) {
            v = std::numeric_limits<float>::infinity();
        } else if (magnitude >= -kExponentLimit) {
            const std::string text = mantissa + "e" + std::to_string(exponent);
            const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
            // Out of range: beyond the largest float, or below the smallest.
            if (r.ec == std::errc::result_out_of_range)
                v = magnitude > 0 ? std::numeric_limits<float>::infinity() : 0.0f;
        }
    }
    value = negative ? -v : v;
    return true;
}

ShortsStop TextReader::Stop(ShortsStop why) {
    stopLine_ = line_;
    Ensure(kItemPreview + 1);
    stopItem_.clear();
    const char* p = pos_;
    while (p < end_ && !IsSpace(*p) && stopItem_.size() < kItemPreview) {
        const auto c = static_cast<unsigned char>(*p++);
        stopItem_.push_back(c < 0x20 || c == 0x7f ? '?' : static_cast<char>(c));
    }
    if (p < end_ && !IsSpace(*p)) stopItem_ += "...";
    return why;
}

ShortsStop TextReader::ReadShorts(int16_t* out, std::size_t max, std::size_t& count) {
    count = 0;
    while (count < max) {
        while (pos_ < end_ && IsSpace(*pos_)) {
            if (*pos_ == '\n') ++line_;
            ++pos_;
        }
        if (static_cast<std::size_t>(end_ - pos_) < kLookahead && !sourceDone_) {
            Refill();
            continue;
        }
        if (pos_ == end_) {
            eof_ = true;
            return ShortsStop::End;
        }
        const char* p = pos_;
        const bool negative = *p == '-';
        if (*p == '-' || *p == '+') ++p;
        const char* digits = p;
        uint32_t v = 0;
        // Nine digits at most here, so the value cannot wrap around.
        while (p < end_ && p - digits < 9 && IsDigit(*p)) v = v * 10 + uint32_t(*p++ - '0');
        if (p == digits) return Stop(ShortsStop::NotNumber);
        if (p < end_ && IsDigit(*p)) {
            // Ten digits and more: leading zeros, or a number far out of range.
            // The preview may move the buffer, so the sign is passed by count.
            const auto signLength = digits - pos_;
            Stop(ShortsStop::OutOfRange);
            pos_ += signLength;
            uint64_t magnitude = 0;
            TakeDigits(magnitude);
            if (magnitude > 32767u + negative) return ShortsStop::OutOfRange;
            v = static_cast<uint32_t>(magnitude);
        } else {
            if (v > 32767u + negative) return Stop(ShortsStop::OutOfRange);
            // A number that runs to the end of the input hits the end.
            if (p == end_) eof_ = true;
            pos_ = p;
        }
        out[count++] = static_cast<int16_t>(negative ? -static_cast<int32_t>(v) : int32_t(v));
    }
    return ShortsStop::Full;
}

}  // namespace koru
