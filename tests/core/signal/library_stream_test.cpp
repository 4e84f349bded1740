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

std::string Raw(const ServeRequest& r) {
    return EncodeServeRequest(r);
}

// A start goes through as written; parts that are no real date or time of
// day come back unknown, the other part kept.
TEST(LibraryStreamTest, StartComesBackOrUnknown) {
    struct Case {
        const char* name;
        RecordingStart sent;
        bool date, time;
    };
    const Case cases[] = {
        {"whole", {2007, 3, 2, 12, 7, 59, 250000}, true, true},
        {"leap day", {2004, 2, 29, 0, 0, 0, 0}, true, true},
        {"no leap day", {1900, 2, 29, 23, 59, 59, 999999}, false, true},
        {"month 13", {2001, 13, 1, 1, 2, 3, 0}, false, true},
        {"day 31 of April", {2001, 4, 31, 1, 2, 3, 0}, false, true},
        {"hour 24", {2001, 4, 30, 24, 0, 0, 0}, true, false},
        {"negative micros", {2001, 4, 30, 1, 0, 0, -1}, true, false},
        {"nothing", {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LibraryStream sent;
        sent.start = c.sent;
        sent.served = true;
        sent.signals.push_back({"A", 500, -8, 7, 1, 0, SampleEncoding::Int32, 1u << 30, 0});
        const std::string bytes = EncodeStreamHead(sent);
        LibraryStream got;
        std::string error;
        // Served: a billion samples and none of them in the bytes.
        ASSERT_TRUE(Parse(bytes, got, error)) << error;
        EXPECT_TRUE(got.served);
        EXPECT_EQ(got.signals.at(0).samples, 1u << 30);
        EXPECT_EQ(got.start.HasDate(), c.date);
        EXPECT_EQ(got.start.HasTime(), c.time);
        if (c.date) {
            EXPECT_EQ(got.start.day, c.sent.day);
        }
        if (c.time) {
            EXPECT_EQ(got.start.micros, c.sent.micros);
        }
    }
}

// Requests and answers are bounded before anything is read after them.
TEST(LibraryStreamTest, ServeMessagesAreBounded) {
    ServeRequest request{{3, 1}, 1000, 500};
    std::string bytes = Raw(request);
    ASSERT_EQ(bytes.size(), kServeRequestBytes);
    ServeRequest back;
    ASSERT_TRUE(ParseServeRequest(reinterpret_cast<const uint8_t*>(bytes.data()), back));
    EXPECT_EQ(back.signals, request.signals);
    EXPECT_EQ(back.first, 1000u);
    EXPECT_EQ(back.count, 500u);
    for (const ServeRequest& bad :
         {ServeRequest{{}, 0, 1}, ServeRequest{{0}, 0, kServeMaxSamples + 1}}) {
        bytes = Raw(bad);
        EXPECT_FALSE(ParseServeRequest(reinterpret_cast<const uint8_t*>(bytes.data()), back));
    }
    // Nine signals: the count field says 9 though only eight fit.
    bytes = Raw(request);
    const uint32_t nine = 9;
    std::memcpy(bytes.data(), &nine, 4);
    EXPECT_FALSE(ParseServeRequest(reinterpret_cast<const uint8_t*>(bytes.data()), back));

    struct Answer {
        const char* name;
        uint32_t status, message;
        uint64_t samples;
        bool ok;
    };
    const Answer answers[] = {
        {"all asked", 0, 0, 500, true},
        {"fewer", 0, 3, 1, true},
        {"refusal", 1, 12, 0, true},
        {"more than asked", 0, 0, 501, false},
        {"refusal with samples", 1, 0, 5, false},
        {"unknown status", 2, 0, 0, false},
        {"message past the limit", 1, static_cast<uint32_t>(kStreamMaxText) + 1, 0, false},
    };
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.name);
        uint8_t fixed[kServeAnswerFixedBytes];
        std::memcpy(fixed, &a.status, 4);
        std::memcpy(fixed + 4, &a.message, 4);
        std::memcpy(fixed + 8, &a.samples, 8);
        ServeAnswerHead head;
        uint32_t messageBytes = 0;
        EXPECT_EQ(ParseServeAnswerFixed(fixed, 500, head, messageBytes), a.ok);
        if (a.ok) {
            EXPECT_EQ(messageBytes, a.message);
        }
    }
}

}  // namespace
}  // namespace koru
