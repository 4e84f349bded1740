// The reader process's stream as the program parses it: what a sound stream
// says comes back whole, and no cut or altered count gets past the bounds.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "signal/LibraryStream.h"

namespace koru {
namespace {

// Two signals (one int32, one float64) and three events, samples after the
// description as the reader lays them out.
std::string SoundStream(LibraryStream& stream) {
    stream.identification = "patient 7";
    stream.signals.resize(2);
    stream.signals[0] = {"C3", 256, -128, 127, 0.5, 0, SampleEncoding::Int32, 3, 0};
    stream.signals[1] = {"flt", 128, 224, 826, 0.25, -2, SampleEncoding::Float64, 2, 0};
    stream.eventRate = 512;
    stream.events = {0, 7, 1u << 31};
    std::string bytes = EncodeStreamHead(stream);
    bytes.resize(stream.signals[0].offset, '\0');
    for (int32_t v : {-128, 5, 127}) bytes.append(reinterpret_cast<const char*>(&v), 4);
    bytes.resize(stream.signals[1].offset, '\0');
    for (double v : {224.5, 826.0}) bytes.append(reinterpret_cast<const char*>(&v), 8);
    return bytes;
}

bool Parse(const std::string& bytes, LibraryStream& out, std::string& error) {
    return ParseLibraryStream(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out,
                              error);
}

TEST(LibraryStreamTest, SoundStreamComesBackWhole) {
    LibraryStream sent;
    const std::string bytes = SoundStream(sent);
    LibraryStream got;
    std::string error;
    ASSERT_TRUE(Parse(bytes, got, error)) << error;
    EXPECT_EQ(got.identification, "patient 7");
    ASSERT_EQ(got.signals.size(), 2u);
    EXPECT_EQ(got.signals[1].label, "flt");
    EXPECT_EQ(got.signals[1].zero, -2);
    EXPECT_EQ(got.signals[1].encoding, SampleEncoding::Float64);
    EXPECT_EQ(got.events, sent.events);
    EXPECT_EQ(got.eventRate, 512);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(got.signals[i].offset, sent.signals[i].offset);
        EXPECT_EQ(got.signals[i].offset % 8, 0u);
    }
    int32_t last = 0;
    std::memcpy(&last, bytes.data() + got.signals[0].offset + 8, 4);
    EXPECT_EQ(last, 127);
}

TEST(LibraryStreamTest, RefusalCarriesTheLibrarysReason) {
    LibraryStream sent;
    sent.refusal = "Dataformat not known.";
    const std::string bytes = EncodeStreamHead(sent);
    LibraryStream got;
    std::string error;
    ASSERT_TRUE(Parse(bytes, got, error));
    EXPECT_EQ(got.refusal, "Dataformat not known.");
    EXPECT_TRUE(got.signals.empty());
}

// Every cut short of the whole stream fails, none reads past the bytes.
TEST(LibraryStreamTest, EveryTruncationIsRefused) {
    LibraryStream sent;
    const std::string bytes = SoundStream(sent);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        LibraryStream got;
        std::string error;
        const std::string cut = bytes.substr(0, n);
        EXPECT_FALSE(Parse(cut, got, error)) << "cut to " << n << " bytes";
        EXPECT_FALSE(error.empty());
    }
}

// A field set to an impossible value: where it sits (from the stream's
// start) and what is written there.
struct Corruption {
    const char* name;
    std::size_t at;
    uint64_t value;
    int bytes;
};

// Offsets of the sound stream's fields: magic 8, refusal length 4,
// identification length 4 + "patient 7" 9 = 25 start (seven i32), 53 served,
// 54 signal count, 58 first label length, 62 "C3", 64 rate ... 104
// encoding, 105 sample count.
const Corruption kCorruptions[] = {
    {"signal count past the limit", 54, 5000, 4},
    {"signal count past the bytes", 54, 1000, 4},
    {"identification past the limit", 12, 1u << 30, 4},
    {"identification past the bytes", 12, 4000, 4},
    {"served neither 0 nor 1", 53, 2, 1},
    {"label past the limit", 58, 1u << 20, 4},
    {"unknown encoding", 104, 7, 1},
    {"sample count past the bytes", 105, uint64_t{1} << 40, 8},
    {"sample count that overflows a width", 105, ~uint64_t{0} / 2, 8},
    {"sample count of all ones", 105, ~uint64_t{0}, 8},
    {"rate NaN", 64, 0x7ff8000000000000u, 8},
    {"rate zero", 64, 0, 8},
    {"rate negative", 64, 0xbff0000000000000u, 8},
};

TEST(LibraryStreamTest, ImpossibleFieldsAreRefused) {
    LibraryStream sent;
    const std::string sound = SoundStream(sent);
    for (const Corruption& c : kCorruptions) {
        SCOPED_TRACE(c.name);
        std::string bytes = sound;
        std::memcpy(bytes.data() + c.at, &c.value, static_cast<std::size_t>(c.bytes));
        LibraryStream got;
        std::string error;
        EXPECT_FALSE(Parse(bytes, got, error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(LibraryStreamTest, EventCountPastTheBytesIsRefused) {
    LibraryStream sent;
    std::string bytes = SoundStream(sent);
    // The event count sits just before the three events, which end the head.
    const std::size_t head = EncodeStreamHead(sent).size();
    const uint32_t huge = 1u << 30;
    std::memcpy(bytes.data() + head - 3 * 4 - 4, &huge, 4);
    LibraryStream got;
    std::string error;
    EXPECT_FALSE(Parse(bytes, got, error));
}

}  // namespace
}  // namespace koru
