#include "signal/RecordingStart.h"

#include <array>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace koru {

namespace {

bool RealDate(int y, int m, int d) {
    return y >= 1 && y <= 9999 &&
           std::chrono::year_month_day(std::chrono::year(y), std::chrono::month(unsigned(m)),
                                       std::chrono::day(unsigned(d)))
               .ok();
}

bool RealTime(int h, int m, int s) {
    return h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60;
}

// A whole number of exactly the given digits.
std::optional<int> Digits(std::string_view text, std::size_t count) {
    if (text.size() != count) return std::nullopt;
    int v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

bool Whole(std::string_view v, int& out) {
    return !v.empty() &&
           std::from_chars(v.data(), v.data() + v.size(), out).ptr == v.data() + v.size();
}

std::vector<std::string_view> Split(std::string_view text, char by) {
    std::vector<std::string_view> parts;
    for (std::size_t at = 0;;) {
        const std::size_t next = text.find(by, at);
        parts.push_back(text.substr(at, next - at));
        if (next == std::string_view::npos) return parts;
        at = next + 1;
    }
}

// The 4-digit year of "Startdate dd-MMM-yyyy ..."; nothing when absent.
std::optional<int> RecordingYear(std::string_view recording, int day, int month) {
    static constexpr std::array<const char*, 12> kMonths = {
        "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    if (!recording.starts_with("Startdate ") || recording.size() < 21) return std::nullopt;
    const std::string_view date = recording.substr(10, 11);
    if (date[2] != '-' || date[6] != '-') return std::nullopt;
    const std::optional<int> d = Digits(date.substr(0, 2), 2), y = Digits(date.substr(7, 4), 4);
    std::string mon(date.substr(3, 3));
    for (char& c : mon) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (!d || !y || *d != day || mon != kMonths[static_cast<std::size_t>(month - 1)])
        return std::nullopt;
    return y;
}

}  // namespace

RecordingStart Later(RecordingStart start, int64_t micros) {
    if (!start.HasTime() || micros <= 0) return start;
    using namespace std::chrono;
    const int64_t inDay =
        ((start.hour * 60 + start.minute) * 60 + start.second) * 1000000LL + start.micros + micros;
    const int64_t days = inDay / 86400000000LL, rest = inDay % 86400000000LL;
    start.micros = static_cast<int>(rest % 1000000);
    start.second = static_cast<int>(rest / 1000000 % 60);
    start.minute = static_cast<int>(rest / 60000000 % 60);
    start.hour = static_cast<int>(rest / 3600000000LL);
    if (start.HasDate() && days > 0) {
        const year_month_day ymd{
            sys_days{year_month_day{year(start.year), month(unsigned(start.month)),
                                    day(unsigned(start.day))}} +
            std::chrono::days(days)};
        start.year = int(ymd.year());
        start.month = int(unsigned(ymd.month()));
        start.day = int(unsigned(ymd.day()));
    }
    return start;
}

RecordingStart EdfStart(std::string_view date, std::string_view time, std::string_view recording) {
    RecordingStart s;
    const std::vector<std::string_view> d = Split(date, '.'), t = Split(time, '.');
    if (d.size() == 3) {
        const std::optional<int> day = Digits(d[0], 2), month = Digits(d[1], 2),
                                 yy = Digits(d[2], 2);
        if (day && month && yy && *month >= 1 && *month <= 12) {
            const int year = RecordingYear(recording, *day, *month)
                                 .value_or(*yy >= 85 ? 1900 + *yy : 2000 + *yy);
            if (RealDate(year, *month, *day)) {
                s.year = year;
                s.month = *month;
                s.day = *day;
            }
        }
    }
    if (t.size() == 3) {
        const std::optional<int> h = Digits(t[0], 2), m = Digits(t[1], 2), sec = Digits(t[2], 2);
        if (h && m && sec && RealTime(*h, *m, *sec)) {
            s.hour = *h;
            s.minute = *m;
            s.second = *sec;
        }
    }
    return s;
}

RecordingStart WfdbStart(std::string_view time, std::string_view date) {
    RecordingStart s;
    std::vector<std::string_view> t = Split(time, ':');
    if (!time.empty() && t.size() <= 3) {
        // Seconds may have a fraction; hours and minutes are whole.
        while (t.size() < 3) t.insert(t.begin(), "0");
        int h = 0, m = 0;
        double sec = -1;
        const std::string secText(t[2]);
        if (!secText.empty() && secText.find_first_not_of("0123456789.") == std::string::npos)
            sec = std::strtod(secText.c_str(), nullptr);
        const auto micros = std::llround(sec * 1e6);
        if (Whole(t[0], h) && Whole(t[1], m) && sec >= 0 && micros < 60000000LL &&
            RealTime(h, m, 0)) {
            s.hour = h;
            s.minute = m;
            s.second = static_cast<int>(micros / 1000000);
            s.micros = static_cast<int>(micros % 1000000);
        }
    }
    const std::vector<std::string_view> d = Split(date, '/');
    if (d.size() == 3) {
        int day = 0, month = 0, year = 0;
        if (Whole(d[0], day) && Whole(d[1], month) && Whole(d[2], year) &&
            RealDate(year, month, day)) {
            s.year = year;
            s.month = month;
            s.day = day;
        }
    }
    return s;
}

}  // namespace koru
