#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <random>

#include "export/TextConvert.h"
#include "export/TextLayout.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "support/TextSource.h"

namespace koru {
namespace {

using Outcome = ConvertResult::Outcome;
using test::ReadText;

// The signal file a conversion must produce, built without the converter.
std::string SigBytes(const SignalHeader& h, const std::vector<int16_t>& samples) {
    const HeaderBytes header = SerializeHeader(h);
    std::string out(header.begin(), header.end());
    for (const int16_t v : samples) {
        out += static_cast<char>(static_cast<uint16_t>(v) & 0xFF);
        out += static_cast<char>(static_cast<uint16_t>(v) >> 8);
    }
    return out;
}

SignalHeader Header(uint16_t channels, uint32_t interval, const std::string& text = "") {
    SignalHeader h;
    h.ChannelCount = channels;
    h.Interval = interval;
    h.SetDescription(text);
    return h;
}

const std::string kScaleLine = "Scale: 0  0  0  0  0  0  0  0  0  0  0  0  0  0  0  0 \r\n";

struct ConvertFixture : ::testing::Test {
    test::TempDir dir;
    test::ScriptedUi ui;
    std::string target = dir.File("out.sig");

    ConvertResult Convert(const std::string& text) {
        return ConvertTextFile(dir.WriteText("in.txt", text), target, ui);
    }
    std::string Output() const { return ReadText(target); }
    // The one message shown, as "TITLE|TEXT".
    std::string Message() const {
        if (ui.messages.size() != 1) return std::to_string(ui.messages.size()) + " messages";
        return ui.messages[0].title + "|" + ui.messages[0].text;
    }
    bool OnlyTheTarget() const {
        for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = e.path().filename().string();
            if (name != "in.txt" && name != "out.sig" && name != "old.sig") return false;
        }
        return true;
    }
};

// Random recordings through the text writer and back: the same signal file,
// byte for byte.
TEST_F(ConvertFixture, TextWrittenByTheWriterConvertsBackByteForByte) {
    std::mt19937 rng(2024);
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        SignalHeader h = Header(static_cast<uint16_t>(1 + rng() % 8),
                                static_cast<uint32_t>(1 + rng() % 5'000'000));
        for (float& f : h.Scale) {
            // Values that "%g" keeps exactly: what reading its text gives.
            char buf[32];
            std::snprintf(buf, sizeof buf, "%g",
                          static_cast<double>(std::bit_cast<float>(static_cast<uint32_t>(rng()))));
            f = std::isfinite(std::strtof(buf, nullptr)) ? std::strtof(buf, nullptr) : 0.5f;
        }
        if (round % 3 == 0) h.Scale[0] = round % 2 ? -1.5f : 0.5f;  // sign and leading point
        std::string text;
        const std::size_t length = round % 10 == 0 ? 256 : rng() % 257;
        for (std::size_t i = 0; i < length; ++i) {
            char c = static_cast<char>(1 + rng() % 255);
            if (c == '\n') c = 'n';  // a line break would end the description line
            text += c;
        }
        h.SetDescription(text);
        const std::size_t frames = rng() % 400;
        std::vector<int16_t> samples(frames * h.ChannelCount);
        for (int16_t& v : samples) v = static_cast<int16_t>(rng());
        if (!samples.empty()) samples[0] = -32768, samples.back() = 32767;

        const bool eight = h.ChannelCount == 8 && round % 2 == 0;
        std::string file = TextHeaderLines(h);
        for (std::size_t f = 0; f < frames; ++f)
            AppendFrameLine(file, std::span(samples).subspan(f * h.ChannelCount, h.ChannelCount),
                            eight ? FrameLineStyle::EightColumns : FrameLineStyle::TrailingBlank);
        ui.messages.clear();
        const ConvertResult r = Convert(file);
        EXPECT_EQ(r.outcome, Outcome::Converted) << Message();
        EXPECT_EQ(r.samples, static_cast<int64_t>(samples.size()));
        EXPECT_TRUE(ui.messages.empty()) << Message();
        EXPECT_EQ(Output(), SigBytes(h, samples));
    }
}

TEST_F(ConvertFixture, CountsAreTheFirstNumbersWhateverComesBefore) {
    // Minus signs are passed over with the words; the rest of line 1 is
    // left for the scale factors.
    const ConvertResult r =
        Convert("Number of Channels: -2  Interval:-1000\r\n" + kScaleLine + "desc\r\n1 2 3 4\r\n");
    EXPECT_EQ(r.outcome, Outcome::Converted);
    EXPECT_EQ(Output(), SigBytes(Header(2, 1000, "desc"), {1, 2, 3, 4}));
    // Values without line breaks, and LF alone, read the same.
    Convert("Number of Channels: 2  Interval:1000\n" + kScaleLine.substr(0, 54) +
            "\ndesc\n1 2    3\t4");
    EXPECT_EQ(Output(), SigBytes(Header(2, 1000, "desc"), {1, 2, 3, 4}));
}

TEST_F(ConvertFixture, RefusedCountsCreateNothingAndLeaveAnOldTarget) {
    struct Case {
        std::string text;
        const char* message;
    };
    const std::string ch = "Error reading source file channels.";
    const std::string iv = "Error reading source file intervals.";
    const Case cases[] = {
        {"Number of Channels: 17  Interval:1000\r\n", ch.c_str()},
        {"Number of Channels: 0  Interval:1000\r\n", ch.c_str()},
        {"Number of Channels: 65536  Interval:1000\r\n", ch.c_str()},  // 0 in 16 bits
        {"Number of Channels: 65553  Interval:1000\r\n", ch.c_str()},  // 17 in 16 bits
        {"Number of Channels: 99999999999999999999999  Interval:1\r\n", ch.c_str()},
        {"Number of Channels: 2", ch.c_str()},  // the file ends on the count
        {"no numbers at all", ch.c_str()},
        {"", ch.c_str()},
        {"Number of Channels: 2  Interval:0\r\n", iv.c_str()},
        {"Number of Channels: 2  Interval:4294967296\r\n", iv.c_str()},  // beyond 32 bits
        {"Number of Channels: 2  Interval:1000", iv.c_str()},
        {"Number of Channels: 2  Interval:", iv.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ui.messages.clear();
        std::filesystem::remove(target);
        EXPECT_EQ(Convert(c.text).outcome, Outcome::Failed);
        EXPECT_EQ(Message(), std::string(kConvertErrorTitle) + "|" + c.message);
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
        EXPECT_EQ(ui.messages[0].owner, MessageOwner::View);
        EXPECT_FALSE(std::filesystem::exists(target));
        EXPECT_TRUE(ui.cursors.empty());  // refused before any waiting
    }
    dir.WriteText("out.sig", "old content");
    Convert("Number of Channels: 17  Interval:1000\r\n");
    EXPECT_EQ(Output(), "old content");
}

TEST_F(ConvertFixture, TheChannelCountIsTakenAsSixteenBits) {
    const std::pair<const char*, uint16_t> cases[] = {
        {"65537", 1}, {"131074", 2}, {"4294967297", 1}, {"65552", 16}};
    for (const auto& [count, channels] : cases) {
        SCOPED_TRACE(count);
        const ConvertResult r = Convert("Number of Channels: " + std::string(count) +
                                        "  Interval:1000\r\n" + kScaleLine + "d\r\n5 6\r\n");
        EXPECT_EQ(r.outcome, Outcome::Converted);
        EXPECT_EQ(Output(), SigBytes(Header(channels, 1000, "d"), {5, 6}));
    }
}

TEST_F(ConvertFixture, ADiskFullAtTheHeaderSaysSoAndKeepsTheOldTarget) {
    dir.WriteText("out.sig", "old content");
    const std::string source = dir.WriteText(
        "in.txt", "Number of Channels: 1  Interval:1\r\n" + kScaleLine + "d\r\n7\r\n");
    {
        test::FileSizeLimit limit(SignalHeader::kSize - 1);
        EXPECT_EQ(ConvertTextFile(source, target, ui).outcome, Outcome::Failed);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, kConvertErrorTitle);
    EXPECT_EQ(ui.messages[0].text.substr(0, 23), "Couldn't write header.\n");
    EXPECT_NE(ui.messages[0].text.find("File too large"), std::string::npos);
    EXPECT_EQ(Output(), "old content");
    EXPECT_TRUE(OnlyTheTarget());
}

TEST_F(ConvertFixture, ScaleFactorsKeepSignAndPointAndUnreadableOnesStayZero) {
    Convert("Number of Channels: 1  Interval:10\r\nScale: -1.5 .5 -2e-3 +4 " +
            std::string("5 6 7 8 9 10 11 12 13 14 15 16 17 18\r\n") + "d\r\n7\r\n");
    SignalHeader want = Header(1, 10, "d");
    const float scales[16] = {-1.5f, 0.5f, -0.002f, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    std::copy(std::begin(scales), std::end(scales), want.Scale.begin());
    EXPECT_EQ(Output(), SigBytes(want, {7}));

    // A factor that is no number stops the factors there; the description
    // is still the next line.
    Convert("Number of Channels: 1  Interval:10\r\nScale: 1 2 x 4 5\r\nd\r\n7\r\n");
    want = Header(1, 10, "d");
    want.Scale[0] = 1, want.Scale[1] = 2;
    EXPECT_EQ(Output(), SigBytes(want, {7}));
}

TEST_F(ConvertFixture, ALongDescriptionKeeps256AndLosesThe257th) {
    const std::string line1 = "Number of Channels: 1  Interval:1000\r\n";
    const std::string kept(256, 'k');
    Convert(line1 + kScaleLine + kept + "X" + "  12 -13\r\n14\r\n");
    SignalHeader h = Header(1, 1000);
    h.Description.fill('k');  // all 256 bytes, no terminator
    EXPECT_EQ(Output(), SigBytes(h, {12, -13, 14}));
    EXPECT_TRUE(ui.messages.empty());

    // Characters 258 to 300 that are no numbers leave the header alone.
    const ConvertResult r =
        Convert(line1 + kScaleLine + kept + "X" + std::string(43, 'y') + "\r\n");
    EXPECT_EQ(r.outcome, Outcome::Stopped);
    EXPECT_EQ(Output(), SigBytes(h, {}));
    EXPECT_EQ(Message(), std::string(kConvertErrorTitle) + "|Conversion stopped at line 3: \"" +
                             std::string(40, 'y') +
                             "...\" is not a sample value. 0 samples were written.");
}

TEST_F(ConvertFixture, ASampleReadingThatStopsKeepsWhatCameBeforeAndSaysWhere) {
    const std::string head = "Number of Channels: 2  Interval:1000\r\n" + kScaleLine + "d\r\n";
    struct Case {
        std::string samples;
        std::vector<int16_t> kept;
        std::string message;
    };
    const Case cases[] = {
        {"10,20,30\r\n",
         {10},
         "Conversion stopped at line 4: \",20,30\" is not a sample value. 1 samples were written."},
        {"1 2\r\n3 40000\r\n5 6\r\n",
         {1, 2, 3},
         "Conversion stopped at line 5: \"40000\" is not a sample value. 3 samples were written."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples);
        ui.messages.clear();
        const ConvertResult r = Convert(head + c.samples);
        EXPECT_EQ(r.outcome, Outcome::Stopped);
        EXPECT_EQ(r.samples, static_cast<int64_t>(c.kept.size()));
        EXPECT_EQ(Output(), SigBytes(Header(2, 1000, "d"), c.kept));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].title, kConvertErrorTitle);
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    }
}

TEST_F(ConvertFixture, FilesThatCannotBeOpenedAreReportedAndNothingIsLeft) {
    EXPECT_EQ(ConvertTextFile(dir.File("missing.txt"), target, ui).outcome, Outcome::Failed);
    EXPECT_EQ(Message(), std::string(kConvertErrorTitle) + "|Error opening text file.");
    ui.messages.clear();
    EXPECT_EQ(ConvertTextFile(dir.path(), target, ui).outcome, Outcome::Failed);  // a folder
    EXPECT_EQ(Message(), std::string(kConvertErrorTitle) + "|Error opening text file.");

    const std::string good = "Number of Channels: 1  Interval:1\r\n" + kScaleLine + "\r\n5\r\n";
    for (const std::string& bad : {dir.File("no/such/folder.sig"), dir.path()}) {
        SCOPED_TRACE(bad);
        ui.messages.clear();
        EXPECT_EQ(ConvertTextFile(dir.WriteText("in.txt", good), bad, ui).outcome, Outcome::Failed);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text.substr(0, 27), "Error opening signal file.\n");
        EXPECT_GT(ui.messages[0].text.size(), 27u);  // with the system's reason
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    }
    EXPECT_TRUE(OnlyTheTarget());
}

TEST_F(ConvertFixture, AFailedWriteLeavesTheOldTargetAsItWas) {
    dir.WriteText("out.sig", "old content");
    std::string text = "Number of Channels: 1  Interval:1\r\n" + kScaleLine + "d\r\n";
    for (int i = 0; i < 200000; ++i) text += "  123 \r\n";
    const std::string source = dir.WriteText("in.txt", text);
    {
        test::FileSizeLimit limit(100000);
        EXPECT_EQ(ConvertTextFile(source, target, ui).outcome, Outcome::Failed);
    }
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.substr(0, 75),
              "Write error on signal file.  The signal file was left as it was.  Aborting.");
    EXPECT_NE(ui.messages[0].text.find("File too large"), std::string::npos);
    EXPECT_EQ(Output(), "old content");
    EXPECT_TRUE(OnlyTheTarget());
    // Cursor and progress are taken down before the message box.
    EXPECT_EQ(ui.cursors, (std::vector<CursorShape>{CursorShape::Wait, CursorShape::View}));
    EXPECT_FALSE(ui.progressOpen);
}

TEST_F(ConvertFixture, ConvertingAFileOntoItselfIsSafe) {
    const std::string path = dir.WriteText(
        "old.sig", "Number of Channels: 1  Interval:5\r\n" + kScaleLine + "self\r\n1 2 3\r\n");
    EXPECT_EQ(ConvertTextFile(path, path, ui).outcome, Outcome::Converted);
    EXPECT_EQ(ReadText(path), SigBytes(Header(1, 5, "self"), {1, 2, 3}));
}

TEST_F(ConvertFixture, WaitCursorAndProgressWhileWriting) {
    std::string text = "Number of Channels: 4  Interval:1\r\n" + kScaleLine + "\r\n";
    for (int i = 0; i < 300000; ++i) text += " -7 8 9 10\r\n";
    EXPECT_EQ(Convert(text).samples, 1200000);
    EXPECT_EQ(ui.cursors, (std::vector<CursorShape>{CursorShape::Wait, CursorShape::View}));
    EXPECT_EQ(ui.progressBegins, 1);
    EXPECT_EQ(ui.progressEnds, 1);
    ASSERT_FALSE(ui.progress.empty());
    EXPECT_EQ(ui.progress.front(), 0);
    EXPECT_EQ(ui.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(ui.progress.begin(), ui.progress.end()));
    EXPECT_EQ(std::adjacent_find(ui.progress.begin(), ui.progress.end()), ui.progress.end());
}

// Inputs no one meant as text sample files: never a crash, memory bounded
// by the reader's block, and a clear outcome.
TEST_F(ConvertFixture, BadInputNeverCrashes) {
    const std::string good =
        "Number of Channels: 3  Interval:250\r\n" + kScaleLine + "desc\r\n 1 2 3\r\n-4 5 6\r\n";
    for (std::size_t n = 0; n <= good.size(); ++n) {  // every truncation
        ui.messages.clear();
        const ConvertResult r = Convert(good.substr(0, n));
        EXPECT_LE(r.samples, 6);
        if (r.outcome == Outcome::Failed) {
            EXPECT_EQ(ui.messages.size(), 1u);
        }
    }
    std::mt19937 rng(5);
    for (int i = 0; i < 200; ++i) {  // binary
        std::string junk(rng() % 3000, '\0');
        for (char& c : junk) c = static_cast<char>(rng());
        if (i % 2) junk = "Number of Channels: 2  Interval:9\r\n" + junk;
        Convert(junk);
    }
    // Huge numbers everywhere.
    const std::string nines(5000, '9');
    Convert("Number of Channels: 1  Interval:1\r\nScale: " + nines + " 1e" + nines + " -" + nines +
            "\r\nd\r\n" + nines + "\r\n");
    EXPECT_EQ(ui.messages.back().text, "Conversion stopped at line 4: \"" + std::string(40, '9') +
                                           "...\" is not a sample value. 0 samples were written.");
    const std::string out = Output();
    ASSERT_EQ(out.size(), SignalHeader::kSize);
    HeaderBytes bytes{};
    std::copy(out.begin(), out.end(), bytes.begin());
    const SignalHeader h = ParseHeader(bytes);
    EXPECT_EQ(h.Scale[0], INFINITY);
    EXPECT_EQ(h.Scale[1], INFINITY);
    EXPECT_EQ(h.Scale[2], -INFINITY);
}

TEST_F(ConvertFixture, AGigabyteLineIsStreamed) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    const std::string head = "Number of Channels: 1  Interval:1\r\n" + kScaleLine;
    // As the description: 256 characters kept, the rest is no sample.
    TextReader description(test::PatternSource(head, 'z', kGiB, "\r\n1\r\n"));
    EXPECT_EQ(ConvertText(description, 0, target, ui).outcome, Outcome::Stopped);
    EXPECT_EQ(Output().size(), 326u);
    // As one number among the samples.
    TextReader number(test::PatternSource(head + "d\r\n5 ", '4', kGiB, " 6\r\n"));
    const ConvertResult r = ConvertText(number, 0, target, ui);
    EXPECT_EQ(r.outcome, Outcome::Stopped);
    EXPECT_EQ(r.samples, 1);
    EXPECT_EQ(ui.messages.back().text, "Conversion stopped at line 4: \"" + std::string(40, '4') +
                                           "...\" is not a sample value. 1 samples were written.");
    // As white space between two samples.
    TextReader blanks(test::PatternSource(head + "d\r\n5", ' ', kGiB, "6\r\n"));
    EXPECT_EQ(ConvertText(blanks, 0, target, ui).samples, 2);
}

}  // namespace
}  // namespace koru
