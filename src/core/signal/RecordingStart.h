#pragma once
// When a recording began, as far as its header says: a calendar date, a
// time of day, or both. Readers fill it from their header's text; writers
// take it to the start of a cutout.

#include <cstdint>
#include <string_view>

namespace koru {

struct RecordingStart {
    int year = 0, month = 0, day = 0;       // year 0: no date
    int hour = -1, minute = 0, second = 0;  // hour -1: no time of day
    int micros = 0;                         // past the second

    bool HasDate() const { return year > 0; }
    bool HasTime() const { return hour >= 0; }
};

// `start` moved `micros` later (not negative). The date moves with the time
// where both are known; without a time of day the date stays as it is.
RecordingStart Later(RecordingStart start, int64_t micros);

// A date of EDF's header ("dd.mm.yy", years 1985 to 2084) and its time
// ("hh.mm.ss"); `recording` is the EDF+ recording field, whose
// "Startdate dd-MMM-yyyy" gives the whole year. Parts that do not read as a
// real date or time stay unknown.
RecordingStart EdfStart(std::string_view date, std::string_view time, std::string_view recording);

// A WFDB record line's base time ("hh:mm:ss[.sss]", "mm:ss" or seconds) and
// base date ("dd/mm/yyyy"); either may be empty.
RecordingStart WfdbStart(std::string_view time, std::string_view date);

}  // namespace koru
