#pragma once
// Reads a text file front to back in large blocks, the way the stream
// functions a reader would call one character at a time do: "%d", "%g" and
// "%hd" conversions, skipping to the next digit, whole lines. Memory stays
// the block size whatever the file holds, one line of a gigabyte included.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace koru {

// Fills the buffer with the next bytes of the input; 0 at its end.
using ReadFn = std::function<std::size_t(char* out, std::size_t max)>;

// Why ReadShorts returned.
enum class ShortsStop {
    Full,        // the output was filled; more may follow
    End,         // the input ended (possibly inside white space)
    NotNumber,   // the next item does not start with a number
    OutOfRange,  // the next item is a number outside -32768..32767
};

class TextReader {
  public:
    static constexpr std::size_t kDefaultBlock = 1 << 20;

    explicit TextReader(ReadFn read, std::size_t blockSize = kDefaultBlock);

    // The end-of-file indicator: set once a read found nothing more.
    bool Eof() const { return eof_; }
    // Line of the next unread character, counted from 1.
    int64_t Line() const { return line_; }
    // Bytes taken from the input so far.
    uint64_t Consumed() const { return fetched_ - static_cast<uint64_t>(end_ - pos_); }

    // The next byte without taking it, or -1 at the end.
    int Peek();
    // The next character in text mode (CR LF arrives as one LF), or -1.
    int GetText();

    // Passes over everything up to the next decimal digit, which stays
    // unread. False at the end.
    bool SkipToDigit();
    // As SkipToDigit, but also stops at a sign or a point that begins a
    // number ("-1.5", ".5"), so a number keeps what it was written with.
    bool SkipToNumber();
    // Passes over the rest of the line and its line end.
    void SkipLine();
    // The characters up to the line end, at most `max` of them. When the line
    // is longer, one more character is read and dropped and the rest of the
    // line stays unread. The line end itself is taken but not returned.
    std::string ReadLine(std::size_t max);

    // "%d": white space, an optional sign, digits. False, with the position
    // after any sign, when no digit follows. Values beyond 64 bits saturate.
    bool ReadInteger(int64_t& value);
    // "%g" into a float: white space, then a decimal number with optional
    // sign, point and exponent, or inf, infinity, nan. False when the text is
    // no number; what was taken stays taken.
    bool ReadFloat(float& value);

    // Repeated "%hd" into `out` until it holds `max` values or something
    // stops the reading; `count` is how many were stored. On NotNumber and
    // OutOfRange the item stays unread and StopItem/StopLine tell what and
    // where it is.
    ShortsStop ReadShorts(int16_t* out, std::size_t max, std::size_t& count);
    // The item ReadShorts stopped at: up to its first white space, at most
    // kItemPreview characters, with "..." when it goes on.
    const std::string& StopItem() const { return stopItem_; }
    int64_t StopLine() const { return stopLine_; }

    static constexpr std::size_t kItemPreview = 40;

  private:
    // Brings more input in, keeping the unread bytes; false when none came.
    bool Refill();
    // True when at least n unread bytes are buffered (or all that is left).
    bool Ensure(std::size_t n);
    void Advance();
    void SkipSpace();
    // Takes a run of digits into `magnitude`, saturating; false if none.
    bool TakeDigits(uint64_t& magnitude);
    // Takes a run of digits into a float's mantissa; digits that do not fit
    // move `exponent` (before the point) or are dropped (after it).
    bool TakeMantissa(std::string& mantissa, int64_t& exponent, bool fraction);
    ShortsStop Stop(ShortsStop why);
    bool ReadNamedFloat(bool negative, float& value);

    ReadFn read_;
    std::vector<char> buffer_;
    const char* pos_ = nullptr;
    const char* end_ = nullptr;
    uint64_t fetched_ = 0;
    int64_t line_ = 1;
    bool eof_ = false;
    bool sourceDone_ = false;
    std::string stopItem_;
    int64_t stopLine_ = 0;
};

}  // namespace koru
