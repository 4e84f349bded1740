#pragma once
// The main window's text fields, as the parts that write them see them.

#include <string_view>

namespace koru {

// Text fields of the main window's bars.
// Filter names the display filters that are on; Rhythm the beats between the tags;
// Readout the time and values under the pointer, with physical units on.
enum class Field {
    SampPerDiv,
    Position,
    Cut,
    Length,
    Frequency,
    Description,
    Filter,
    Rhythm,
    Readout
};

class FieldSink {
  public:
    virtual ~FieldSink() = default;
    virtual void SetField(Field field, std::string_view text) {
        (void)field;
        (void)text;
    }
};

}  // namespace koru
