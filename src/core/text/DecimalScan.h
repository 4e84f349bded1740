#pragma once
// Reads decimal integers the way "%d" does: leading white space skipped, an
// optional sign, then digits. Shared by every text reader of the program.

#include <cstdint>
#include <string_view>

namespace koru {

class DecimalScanner {
  public:
    explicit DecimalScanner(std::string_view text) : text_(text) {}

    // False at the end of the text or when the next item is not a number;
    // the position is then left at that item. Values beyond 64 bits saturate.
    bool Next(int64_t& value);
    std::size_t Position() const { return pos_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// One "%d" at the start of `text`: true and the value when it matches.
bool ScanInt(std::string_view text, int64_t& value, std::size_t* consumed = nullptr);

}  // namespace koru
