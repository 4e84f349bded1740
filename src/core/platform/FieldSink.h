#pragma once
// The main window's text fields, as the parts that write them see them.

#include <string_view>

namespace koru {

// Text fields of the main window's bars.
// Readout: time and values under the pointer, with physical units on.
enum class Field { SampPerDiv, Position, Cut, Length, Frequency, Description, Readout };

class FieldSink {
  public:
    virtual ~FieldSink() = default;
    virtual void SetField(Field field, std::string_view text) {
        (void)field;
        (void)text;
    }
};

}  // namespace koru
