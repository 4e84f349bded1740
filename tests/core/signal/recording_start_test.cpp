// Start dates and times as the EDF and WFDB headers write them, and moved
// to the start of a cutout, against hand-worked calendars.

#include <gtest/gtest.h>

#include <string>

#include "signal/RecordingStart.h"

namespace koru {
namespace {

std::string Text(const RecordingStart& s) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d.%06d", s.year, s.month,
                  s.day, s.hour, s.minute, s.second, s.micros);
    return buffer;
}

TEST(RecordingStartTest, EdfHeaderFields) {
    struct Case {
        const char *date, *time, *recording, *want;
    };
    const Case cases[] = {
        // Two-digit years: 85 to 99 are 19xx, 00 to 84 are 20xx.
        {"01.01.11", "10.00.00", "Startdate 01-JAN-2011 0 Doctor X", "2011-01-01 10:00:00.000000"},
        {"24.12.99", "23.59.59", "X", "1999-12-24 23:59:59.000000"},
        {"02.03.84", "00.00.01", "", "2084-03-02 00:00:01.000000"},
        // The recording field's whole year wins where its day and month agree.
        {"02.03.84", "00.00.01", "Startdate 02-mar-2184 X", "2184-03-02 00:00:01.000000"},
        {"02.03.84", "00.00.01", "Startdate 03-MAR-2184 X", "2084-03-02 00:00:01.000000"},
        // What is no real date or time stays unknown.
        {"31.02.11", "10.00.00", "", "0000-00-00 10:00:00.000000"},
        {"01.01.11", "24.00.00", "", "2011-01-01 -1:00:00.000000"},
        {"1.1.2011", "10:00:00", "", "0000-00-00 -1:00:00.000000"},
        {"        ", "        ", "", "0000-00-00 -1:00:00.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.date) + " " + c.time);
        EXPECT_EQ(Text(EdfStart(c.date, c.time, c.recording)), c.want);
    }
}

TEST(RecordingStartTest, WfdbRecordLineFields) {
    struct Case {
        const char *time, *date, *want;
    };
    const Case cases[] = {
        {"10:11:12", "25/12/2003", "2003-12-25 10:11:12.000000"},
        {"8:05:03.25", "", "0000-00-00 08:05:03.250000"},
        {"05:03.5", "1/2/1999", "1999-02-01 00:05:03.500000"},
        {"", "29/02/2000", "2000-02-29 -1:00:00.000000"},
        {"", "29/02/1900", "0000-00-00 -1:00:00.000000"},  // 1900 was no leap year
        {"25:00:00", "x", "0000-00-00 -1:00:00.000000"},
        {"10:00:60", "", "0000-00-00 -1:00:00.000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.time) + " " + c.date);
        EXPECT_EQ(Text(WfdbStart(c.time, c.date)), c.want);
    }
}

TEST(RecordingStartTest, LaterCarriesIntoTheDate) {
    const RecordingStart newYearsEve = WfdbStart("23:59:59.5", "31/12/2084");
    EXPECT_EQ(Text(Later(newYearsEve, 250000)), "2084-12-31 23:59:59.750000");
    EXPECT_EQ(Text(Later(newYearsEve, 500000)), "2085-01-01 00:00:00.000000");
    // Two days and an hour on, across the end of a leap February.
    EXPECT_EQ(Text(Later(WfdbStart("23:00:00", "28/02/2000"), (49LL * 3600) * 1000000)),
              "2000-03-02 00:00:00.000000");
    // Without a time of day nothing can move; without a date only the time.
    EXPECT_EQ(Text(Later(WfdbStart("", "28/02/2000"), 86400000000LL)),
              "2000-02-28 -1:00:00.000000");
    EXPECT_EQ(Text(Later(WfdbStart("23:00:00", ""), 3600000000LL)), "0000-00-00 00:00:00.000000");
}

}  // namespace
}  // namespace koru
