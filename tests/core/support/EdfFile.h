#pragma once
// EDF and BDF files for tests: written from known ranges and samples, and
// read back with the layout's own arithmetic, never through a library.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace koru::test {

struct EdfSignal {
    std::string label;
    double physMin, physMax;
    int32_t digMin, digMax;
    std::vector<int32_t> samples;  // digital values, all data records
    int perRecord = 0;
    bool annotations = false;  // an "EDF Annotations" signal; `text` per record
    std::vector<std::string> text = {};
};

inline std::string Padded(const std::string& value, std::size_t width) {
    std::string s = value.substr(0, width);
    s.resize(width, ' ');
    return s;
}

inline std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.8g", v);  // exact for what fits the 8-byte field
    return buf;
}

// One annotation of an EDF+ annotation signal: onset, text, terminators.
inline std::string Tal(const std::string& onset, const std::string& text) {
    return "+" + onset + "\x14" + text + "\x14" + std::string(1, '\0');
}

// A whole EDF (or with `bdf` a 24-bit BDF) file of `records` one-second records.
inline std::string EdfBytes(const std::vector<EdfSignal>& sigs, int records, bool bdf, bool plus) {
    const std::size_t ns = sigs.size();
    std::string h = bdf ? std::string(
                              "\xff"
                              "BIOSEMI",
                              8)
                        : Padded("0", 8);
    h += Padded("X F 02-MAR-1961 Test_Person", 80) + Padded("Startdate 01-JAN-2011 X X X", 80);
    h += "01.01.11"
         "10.00.00" +
         Padded(std::to_string(256 * (ns + 1)), 8);
    h += Padded(plus ? "EDF+C" : (bdf ? "24BIT" : ""), 44);
    h += Padded(std::to_string(records), 8) + Padded("1", 8) + Padded(std::to_string(ns), 4);
    auto each = [&](std::size_t width, auto get) {
        for (const EdfSignal& s : sigs) h += Padded(get(s), width);
    };
    each(16, [](const EdfSignal& s) { return s.label; });
    each(80, [](const EdfSignal&) { return std::string(); });
    each(8, [](const EdfSignal& s) { return std::string(s.annotations ? "" : "mV"); });
    each(8, [](const EdfSignal& s) { return Number(s.physMin); });
    each(8, [](const EdfSignal& s) { return Number(s.physMax); });
    each(8, [](const EdfSignal& s) { return std::to_string(s.digMin); });
    each(8, [](const EdfSignal& s) { return std::to_string(s.digMax); });
    each(80, [](const EdfSignal&) { return std::string(); });
    each(8, [](const EdfSignal& s) { return std::to_string(s.perRecord); });
    each(32, [](const EdfSignal&) { return std::string(); });
    const int width = bdf ? 3 : 2;
    for (int r = 0; r < records; ++r) {
        for (const EdfSignal& s : sigs) {
            if (s.annotations) {
                std::string tal = s.text[static_cast<std::size_t>(r)];
                tal.resize(static_cast<std::size_t>(s.perRecord * width), '\0');
                h += tal;
                continue;
            }
            for (int k = 0; k < s.perRecord; ++k) {
                const int32_t v = s.samples[static_cast<std::size_t>(r * s.perRecord + k)];
                for (int b = 0; b < width; ++b) h += static_cast<char>((v >> (8 * b)) & 0xFF);
            }
        }
    }
    return h;
}

// One signal of an EDF file as the layout gives it.
struct EdfRead {
    std::string label;
    double physMin = 0, physMax = 0;
    double digMin = 0, digMax = 0;
    std::vector<int32_t> samples;
};

// Reads the signals of an EDF file (16-bit samples) by its header.
inline std::vector<EdfRead> ReadEdf(const std::string& bytes) {
    auto num = [&](std::size_t at, std::size_t width) {
        return std::atof(bytes.substr(at, width).c_str());
    };
    const auto ns = static_cast<std::size_t>(num(252, 4));
    const auto records = static_cast<int>(num(236, 8));
    const auto headerBytes = static_cast<std::size_t>(num(184, 8));
    std::vector<EdfRead> out(ns);
    std::vector<int> per(ns);
    std::size_t at = 256;
    for (std::size_t i = 0; i < ns; ++i) out[i].label = bytes.substr(at + 16 * i, 16);
    at += ns * (16 + 80 + 8);
    for (std::size_t i = 0; i < ns; ++i) out[i].physMin = num(at + 8 * i, 8);
    at += ns * 8;
    for (std::size_t i = 0; i < ns; ++i) out[i].physMax = num(at + 8 * i, 8);
    at += ns * 8;
    for (std::size_t i = 0; i < ns; ++i) out[i].digMin = num(at + 8 * i, 8);
    at += ns * 8;
    for (std::size_t i = 0; i < ns; ++i) out[i].digMax = num(at + 8 * i, 8);
    at += ns * (8 + 80);
    for (std::size_t i = 0; i < ns; ++i) per[i] = static_cast<int>(num(at + 8 * i, 8));
    std::size_t pos = headerBytes;
    for (int r = 0; r < records; ++r)
        for (std::size_t i = 0; i < ns; ++i)
            for (int k = 0; k < per[i]; ++k, pos += 2)
                out[i].samples.push_back(static_cast<int16_t>(
                    static_cast<uint8_t>(bytes[pos]) | static_cast<uint8_t>(bytes[pos + 1]) << 8));
    return out;
}

}  // namespace koru::test
