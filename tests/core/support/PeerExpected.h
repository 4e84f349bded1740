#pragma once
// The peer corpus (tests/data/peer): real recordings from independent
// libraries' test data, with the values independent readers gave for them in
// expected/ (see its SOURCES.md). A test only compares; the JSON's
// conventions (invalid samples, calibration) are read here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "signal/ForeignSource.h"

namespace koru::test {

inline const std::string kPeer = KORU_PEER_DATA_DIR;

inline nlohmann::json ReadExpected(const std::string& relative) {
    std::ifstream in(kPeer + "/expected/" + relative);
    if (!in) return nlohmann::json();
    return nlohmann::json::parse(in, nullptr, false);
}

// A name gtest accepts for a case named after a file.
inline std::string CaseName(const std::string& file) {
    std::string name;
    for (char c : file) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

// Physical value of a delivered value, in the JSON's unit (`unitFactor`
// converts ours into it where the units differ, e.g. uV against mV).
inline double Physical(const ForeignSignal& s, int16_t value, double unitFactor) {
    return value * s.rule.unitsPerValue * unitFactor;
}

// How far a delivered value may be from the reader's physical value: half a
// step, or 2^shift - 0.5 steps where the range had to be shifted into 16 bits.
inline double Tolerance(const ForeignSignal& s, double scale) {
    return (std::ldexp(1.0, s.rule.shift) - 0.5) * std::abs(scale) * (1 + 1e-9) + 1e-12;
}

// Every frame of the chosen signals, signal by signal.
inline std::vector<std::vector<int16_t>> ReadAll(ForeignSource& source,
                                                 const std::vector<int>& chosen) {
    source.Choose(chosen);
    std::vector<std::vector<int16_t>> out(chosen.size());
    std::vector<Frame> block(4096);
    std::string error;
    for (int64_t first = 0;; first += static_cast<int64_t>(block.size())) {
        const std::size_t got = source.Read(first, block.size(), block.data(), error);
        for (std::size_t k = 0; k < got; ++k)
            for (std::size_t c = 0; c < chosen.size(); ++c) out[c].push_back(block[k][c]);
        if (got < block.size()) break;
    }
    EXPECT_EQ(error, "");
    return out;
}

// The chosen signals' values against the reader's: count, rate, first and
// last 16, extremes and sum, all in physical units within Tolerance. The
// reader's invalid samples (WFDB's -32768) are left out where the JSON
// leaves them out.
inline void ExpectValuesMatch(const ForeignSource& source, const nlohmann::json& want,
                              const std::vector<int>& chosen,
                              const std::vector<std::vector<int16_t>>& got, double unitFactor = 1) {
    for (std::size_t c = 0; c < chosen.size(); ++c) {
        const auto index = static_cast<std::size_t>(chosen[c]);
        const nlohmann::json& w = want["signals"][index];
        const nlohmann::json& digital = w["digital"];
        const ForeignSignal& s = source.Signals()[index];
        SCOPED_TRACE("signal " + std::to_string(index) + " " + w.value("label", std::string()));
        const nlohmann::json& calibration =
            w.contains("calibration") ? w["calibration"] : want["calibration_all_signals"];
        const double scale = calibration["scale"].get<double>();
        const double offset = calibration["offset"].get<double>();
        // The JSON's calibration has ten significant digits: a value exactly
        // half a step off (zero at digital -0.5) must not fail on its last one.
        auto near = [&](double ours, double theirs) {
            return std::abs(ours - theirs) <= Tolerance(s, scale) + 1e-9 * std::abs(theirs);
        };
        auto physical = [&](double d) { return d * scale + offset; };
        const std::vector<int16_t>& values = got[c];
        ASSERT_EQ(static_cast<int64_t>(values.size()), w["nsamples"].get<int64_t>());
        EXPECT_NEAR(s.rate, w["sampling_rate_hz"].get<double>(), 1e-6);
        const bool invalidInside = digital.value("invalid_count", 0) > 0;
        const auto first16 = digital["first16"].get<std::vector<double>>();
        const auto last16 = digital["last16"].get<std::vector<double>>();
        int misses = 0;
        for (std::size_t k = 0; k < first16.size() && k < values.size(); ++k) {
            if (invalidInside && first16[k] == -32768) continue;
            misses += !near(Physical(s, values[k], unitFactor), physical(first16[k]));
        }
        for (std::size_t k = 0; k < last16.size() && k < values.size(); ++k) {
            const std::size_t at = values.size() - last16.size() + k;
            if (invalidInside && last16[k] == -32768) continue;
            misses += !near(Physical(s, values[at], unitFactor), physical(last16[k]));
        }
        EXPECT_EQ(misses, 0) << "first or last 16 values differ";
        if (invalidInside) continue;
        const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
        EXPECT_TRUE(near(Physical(s, *lo, unitFactor), physical(digital["min"].get<double>())))
            << "minimum " << Physical(s, *lo, unitFactor);
        EXPECT_TRUE(near(Physical(s, *hi, unitFactor), physical(digital["max"].get<double>())))
            << "maximum " << Physical(s, *hi, unitFactor);
        double sum = 0;
        for (int16_t v : values) sum += Physical(s, v, unitFactor);
        const double n = static_cast<double>(values.size());
        EXPECT_TRUE(near(sum / n, physical(digital["sum"].get<double>() / n)))
            << "mean " << sum / n;
    }
}

inline void ExpectSignalsMatch(ForeignSource& source, const nlohmann::json& want,
                               const std::vector<int>& chosen, double unitFactor = 1) {
    ExpectValuesMatch(source, want, chosen, ReadAll(source, chosen), unitFactor);
}

}  // namespace koru::test
