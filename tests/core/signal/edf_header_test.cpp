// EDF and BDF headers that bend the rules only where the samples do not
// change are read; wrong layouts and sizes are refused, naming the field.
// Discontinuous files put each record at its own time.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "signal/EdfHeader.h"
#include "signal/ForeignSource.h"
#include "support/EdfFile.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::EdfSignal;
using test::TempDir;

// Two data records of a 4 Hz ramp and an annotation signal.
std::vector<EdfSignal> Signals(std::vector<std::string> tals = {
                                   test::Tal("0", "") + test::Tal("0.5", "beat"),
                                   test::Tal("1", "")}) {
    return {{"Ramp", -100, 100, -1000, 1000, {0, 1, 2, 3, 4, 5, 6, 7}, 4},
            {"EDF Annotations", -1, 1, -32768, 32767, {}, 30, true, std::move(tals)}};
}

// The bytes with `text` written over them at `at`.
std::string Patched(std::string bytes, std::size_t at, const std::string& text) {
    return bytes.replace(at, text.size(), text);
}

constexpr std::size_t kReserved = 192;
// With two signals the per-signal columns start at: labels 256, transducers
// 288, units 448, physical minimum 464, maximum 480, digital minimum 496,
// maximum 512, prefilters 528, samples per record 688.
constexpr std::size_t kSignals = 256;

TEST(EdfHeaderTest, FieldsThatDoNotChangeTheSamplesAreRead) {
    const std::string good = test::EdfBytes(Signals(), 2, false, true);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"as written", good},
        {"latin-1 label", Patched(good, kSignals, "R\xe4mp")},
        {"NUL in recording", Patched(good, 88 + 10, std::string(5, '\0'))},
        {"unit on annotations", Patched(good, 448 + 8, "-       ")},
        {"prefilter on annotations", Patched(good, 528 + 80, "HP:0.1Hz")},
        {"EDF+C without annotations",
         Patched(test::EdfBytes({Signals()[0]}, 2, false, false), kReserved, "EDF+C")},
        {"record count -1", Patched(good, 236, "-1      ")},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string error;
        const auto source = OpenForeignSource(dir.WriteText("l.edf", c.bytes), error);
        ASSERT_TRUE(source) << c.name << ": " << error;
        EXPECT_EQ(source->Signals().size(), 1u) << c.name;
        EXPECT_EQ(source->FrameCount(), 8) << c.name;
        source->Choose({0});
        std::array<Frame, 8> frames{};
        ASSERT_EQ(source->Read(0, 8, frames.data(), error), 8u) << c.name;
        EXPECT_EQ(frames[7][0], 7) << c.name;  // zero at digital 0, one count a value
    }
    std::string error;
    const auto latin = OpenForeignSource(dir.WriteText("l.edf", cases[1].bytes), error);
    EXPECT_EQ(latin->Signals()[0].label, "R\xc3\xa4mp");  // shown as UTF-8
}

TEST(EdfHeaderTest, WrongLayoutsAndSizesAreRefusedNamingTheField) {
    const std::string good = test::EdfBytes(Signals(), 2, false, true);
    struct Case {
        std::string bytes;
        const char* reason;
    };
    const Case cases[] = {
        {good.substr(0, 200), "shorter than an EDF/BDF header"},
        {Patched(good, 252, "x   "), "signal count"},
        {Patched(good, 184, "512     "), "header size"},
        {Patched(good, 0, "1       "), "version"},
        {Patched(good, 244, "0       "), "record duration"},
        {Patched(good, 688, "four    "), "Signal 1's samples per record"},
        {Patched(good, 512, "-1000   "), "Signal 1's digital maximum"},
        {Patched(good, 464, "low     "), "Signal 1's physical minimum"},
        {good.substr(0, good.size() - 1), "holds 1 of the 2 data records"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(OpenForeignSource(dir.WriteText("w.edf", c.bytes), error)) << c.reason;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
}

TEST(EdfHeaderTest, AnnotationListsAsTheLayoutGivesThem) {
    // A record's time, then an annotation with a duration and two texts,
    // then padding; a list without a sign is no list.
    const std::string bytes = std::string("+12.5\x14\x14\0", 8) +
                              std::string(
                                  "-0.25\x15"
                                  "3\x14"
                                  "one\x14two\x14\0",
                                  17) +
                              std::string("7\x14no\x14\0", 6) + std::string(9, '\0');
    const std::vector<EdfTal> tals = ParseTals(bytes);
    ASSERT_EQ(tals.size(), 2u);
    EXPECT_EQ(tals[0].onset, 12.5);
    EXPECT_TRUE(tals[0].texts.empty());
    EXPECT_EQ(tals[1].onset, -0.25);
    EXPECT_EQ(tals[1].duration, 3);
    EXPECT_EQ(tals[1].texts, (std::vector<std::string>{"one", "two"}));
}

TEST(EdfHeaderTest, DiscontinuousRecordsSitAtTheirTimesAndLongGapsAreRefused) {
    // Records at 0 s and 3 s: frames 4 to 11 are a 2-second gap at zero.
    const std::string plusD = Patched(
        test::EdfBytes(Signals({test::Tal("0", "") + test::Tal("3.5", "late"), test::Tal("3", "")}),
                       2, false, true),
        kReserved, "EDF+D");
    TempDir dir;
    std::string error;
    const auto source = OpenForeignSource(dir.WriteText("d.edf", plusD), error);
    ASSERT_TRUE(source) << error;
    source->Choose({0});
    ASSERT_EQ(source->FrameCount(), 16);
    std::array<Frame, 16> f{};
    ASSERT_EQ(source->Read(0, 16, f.data(), error), 16u);
    const std::vector<int16_t> want = {0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 4, 5, 6, 7};
    for (std::size_t k = 0; k < 16; ++k) EXPECT_EQ(f[k][0], want[k]) << k;
    std::vector<int64_t> marks = source->Annotations();
    std::sort(marks.begin(), marks.end());
    EXPECT_EQ(marks, (std::vector<int64_t>{4, 14}));  // the gap's start; "late" at 3.5 s

    // A second record a billion seconds on: past 2^31 frames at 4 Hz.
    const std::string far = Patched(
        test::EdfBytes(Signals({test::Tal("0", ""), test::Tal("1000000000", "")}), 2, false, true),
        kReserved, "EDF+D");
    EXPECT_FALSE(OpenForeignSource(dir.WriteText("f.edf", far), error));
    EXPECT_NE(error.find("The gap before data record 2 would make the recording longer"),
              std::string::npos)
        << error;
    const std::string back =
        Patched(test::EdfBytes(Signals({test::Tal("5", ""), test::Tal("4.5", "")}), 2, false, true),
                kReserved, "EDF+D");
    EXPECT_FALSE(OpenForeignSource(dir.WriteText("b.edf", back), error));
    EXPECT_NE(error.find("Data record 2 starts before"), std::string::npos) << error;
}

}  // namespace
}  // namespace koru
