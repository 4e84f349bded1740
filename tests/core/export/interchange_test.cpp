// EDF+, BDF+ and CSV as Save As and Append To write them: bytes checked
// against files built here from the formats' rules, and read back through
// the program's own reader.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "app/Session.h"
#include "export/SaveCutout.h"
#include "platform/AppendWriter.h"
#include "signal/OpenFlow.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::ReadText;

std::string Pad(std::string s, std::size_t width) {
    s.resize(width, ' ');
    return s;
}

ChannelSelection Pick(const std::vector<int>& channels) {
    ChannelSelection s;
    s.selected.fill(false);
    for (const int c : channels) s.selected[static_cast<std::size_t>(c - 1)] = true;
    return s;
}

// The little-endian two's complement sample, in two or three bytes.
void Sample(std::string& out, int v, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

struct InterchangeFixture : ::testing::Test {
    test::TempDir dir;
    test::ScriptedUi ui;

    void Open(SignalDocument& doc, const std::string& path) {
        ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        LoadRecording(doc, ui);
    }
    std::string Recording(uint16_t channels, uint32_t interval, int64_t frames,
                          const std::string& name = "rec.sig") {
        return dir.Write(name, test::SigFile(channels, interval, frames));
    }
    SaveOutcome Save(const SignalDocument& doc, Cutout cut, const std::string& out,
                     const std::vector<int>& picked, SaveMode mode = SaveMode::Replace) {
        return SaveCutout(doc, cut, SaveRequest{out, mode, Pick(picked), {}}, ui);
    }
};

// Frames 10 to 509 of a 3-channel recording at 4000 Hz, channels 1 and 3
// (scale factors 0.5 and 1.5), markers at 12, 100 and 509 inside: one
// record of the 500 frames, 0.125 s, and the annotation lists of the
// record's time and the three markers, padded to 120 bytes.
TEST_F(InterchangeFixture, EdfAndBdfAreWrittenByteForByte) {
    SignalDocument doc;
    Open(doc, Recording(3, 250, 600));
    doc.Markers().items = {5, 12, 100, 509, 600};
    for (const bool bdf : {false, true}) {
        SCOPED_TRACE(bdf ? "bdf" : "edf");
        const std::string out = dir.File(bdf ? "cut.bdf" : "cut.edf");
        ASSERT_TRUE(Save(doc, Cutout::FromTags(509, 10), out, {1, 3}).Ok());
        const int bytes = bdf ? 3 : 2;
        std::string want = bdf ? std::string("\xFF") + "BIOSEMI" : Pad("0", 8);
        want += Pad("X X X X", 80) + Pad("Startdate X X X X", 80) + "01.01.85" + "00.00.00";
        want += Pad("1024", 8) + Pad(bdf ? "BDF+C" : "EDF+C", 44) + Pad("1", 8) + Pad("0.125", 8) +
                Pad("3", 4);
        want += Pad("Channel 1", 16) + Pad("Channel 3", 16) +
                Pad(bdf ? "BDF Annotations" : "EDF Annotations", 16);
        want += std::string(240, ' ') + Pad("uV", 8) + Pad("uV", 8) + Pad("", 8);
        want += Pad("-16384", 8) + Pad("-49152", 8) + Pad("-1", 8);
        want += Pad("16383.5", 8) + Pad("49150.5", 8) + Pad("1", 8);
        // The annotation signal spans its sample size's whole range.
        want += Pad("-32768", 8) + Pad("-32768", 8) + Pad(bdf ? "-8388608" : "-32768", 8);
        want += Pad("32767", 8) + Pad("32767", 8) + Pad(bdf ? "8388607" : "32767", 8);
        want += std::string(240, ' ') + Pad("500", 8) + Pad("500", 8) + Pad(bdf ? "40" : "60", 8);
        want += std::string(96, ' ');
        ASSERT_EQ(want.size(), 1024u);
        for (const int c : {0, 2})
            for (int64_t f = 10; f <= 509; ++f) Sample(want, test::Value(f, c), bytes);
        std::string tals = std::string("+0\x14\x14\0", 5);
        tals += std::string("+0.0005\x14Marker\x14\0", 16);   // frame 12: 2 frames in
        tals += std::string("+0.0225\x14Marker\x14\0", 16);   // frame 100
        tals += std::string("+0.12475\x14Marker\x14\0", 17);  // frame 509
        tals.resize(120, '\0');
        EXPECT_EQ(ReadText(out), want + tals);
    }
}

// Labelled annotations go with the markers: a label and its text joined by
// a space, control bytes as spaces, and a marker where an annotation is
// written once, as the annotation. Those outside the cutout are left out.
TEST_F(InterchangeFixture, EdfCarriesTheAnnotationsWithTheirLabels) {
    SignalDocument doc;
    Open(doc, Recording(3, 250, 600));
    doc.Markers().items = {12, 300, 509};
    doc.Annotations().Assign({{5, "N", "", -1},
                              {12, "V", "", -1},
                              {100, "+", "(AFIB", -1},
                              {100, "~",
                               "a\x14"
                               "b",
                               0},
                              {510, "N", "", -1}});
    const std::string out = dir.File("cut.edf");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(509, 10), out, {1}).Ok());
    auto tal = [](const std::string& onset, const std::string& text) {
        return "+" + onset + "\x14" + text + "\x14" + std::string(1, '\0');
    };
    std::string tals = tal("0", "") + tal("0.0005", "V");        // frame 12: 2 frames in
    tals += tal("0.0225", "+ (AFIB") + tal("0.0225", "~ a b");   // frame 100, in order
    tals += tal("0.0725", "Marker") + tal("0.12475", "Marker");  // frames 300 and 509
    tals.resize(120, '\0');
    const std::string file = ReadText(out);
    ASSERT_GE(file.size(), 120u);
    EXPECT_EQ(file.substr(file.size() - 120), tals);
}

TEST_F(InterchangeFixture, CsvIsWrittenByteForByteAndAppendsContinueTheTimes) {
    SignalDocument doc;
    Open(doc, Recording(3, 250, 600));
    const std::string out = dir.File("cut.csv");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(20, 23), out, {1, 3}).Ok());
    ASSERT_TRUE(Save(doc, Cutout::FromTags(100, 101), out, {1, 3}, SaveMode::Append).Ok());
    std::string want = "time_s,Channel 1 [uV],Channel 3 [uV]\r\n";
    auto physical = [](int v, double step) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.1f", v * step);
        std::string s = buffer;
        if (s.ends_with(".0")) s.resize(s.size() - 2);
        return s == "-0" ? std::string("0") : s;
    };
    const std::vector<std::pair<int64_t, const char*>> rows = {
        {20, "0.000000"}, {21, "0.000250"},  {22, "0.000500"},
        {23, "0.000750"}, {100, "0.001000"}, {101, "0.001250"}};
    for (const auto& [f, time] : rows)
        want += std::string(time) + "," + physical(test::Value(f, 0), 0.5) + "," +
                physical(test::Value(f, 2), 1.5) + "\r\n";
    EXPECT_EQ(ReadText(out), want);

    // Another header row: nothing is added.
    const SaveOutcome refused = Save(doc, Cutout::FromTags(0, 5), out, {1}, SaveMode::Append);
    EXPECT_EQ(refused.title, "Append Error");
    EXPECT_EQ(refused.message, "Cannot append: " + out +
                                   ": its header row differs from the cutout's (time_s,Channel 1 "
                                   "[uV]).");
    EXPECT_EQ(ReadText(out), want);
}

// ".sig" -> EDF+/BDF+ -> read by the program -> ".sig": the same samples,
// scale factors and markers, whatever the record length comes to.
TEST_F(InterchangeFixture, RoundTripsThroughTheProgramsOwnReader) {
    struct Case {
        uint32_t interval;
        int64_t frames;
        float scale;
    };
    for (const Case& c :
         {Case{1000, 2500, 0.5f}, Case{250, 4001, 0.195f}, Case{2778, 997, 3e-3f}}) {
        for (const char* ext : {"edf", "bdf"}) {
            SCOPED_TRACE(std::string(ext) + " " + std::to_string(c.interval));
            SignalDocument doc;
            Open(doc, Recording(8, c.interval, c.frames));
            doc.MutableHeader().Scale[1] = c.scale;
            doc.Markers().items = {0, 7, static_cast<int32_t>(c.frames - 1)};
            const std::string out = dir.File(std::string("rt.") + ext);
            ASSERT_TRUE(Save(doc, Cutout::FromTags(0, static_cast<int32_t>(c.frames - 1)), out,
                             {1, 2, 3, 4, 5, 6, 7, 8})
                            .Ok());
            SignalDocument back;
            Open(back, out);
            ASSERT_GE(back.FrameCount(), c.frames);  // a padded last record may follow
            for (int64_t f = 0; f < c.frames; ++f)
                for (int ch = 0; ch < 8; ++ch)
                    ASSERT_EQ((*back.FindFrame(f))[static_cast<std::size_t>(ch)],
                              test::Value(f, ch))
                        << f << " " << ch;
            EXPECT_EQ(back.Header().Interval, c.interval);
            EXPECT_NEAR(back.Header().Scale[1], c.scale, c.scale * 1e-4);
            EXPECT_FLOAT_EQ(back.Header().Scale[0], 0.5f);
            EXPECT_EQ(back.Markers().items, doc.Markers().items);
            // And back to the program's own layout: the samples of the original.
            const std::string again = dir.File("again.sig");
            ASSERT_TRUE(Save(back, Cutout::FromTags(0, static_cast<int32_t>(c.frames - 1)), again,
                             {1, 2, 3, 4, 5, 6, 7, 8})
                            .Ok());
            EXPECT_EQ(
                ReadText(again).substr(326),
                ReadText(dir.File("rec.sig")).substr(326, static_cast<std::size_t>(c.frames) * 16));
        }
    }
}

TEST_F(InterchangeFixture, EdfAppendAddsRecordsAndRewritesTheCount) {
    SignalDocument doc;
    Open(doc, Recording(2, 1000, 3000));
    doc.Markers().items = {100, 1500};
    const std::string out = dir.File("a.edf");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(0, 999), out, {1, 2}).Ok());
    ASSERT_TRUE(Save(doc, Cutout::FromTags(1000, 1999), out, {1, 2}, SaveMode::Append).Ok());
    EXPECT_EQ(ReadText(out).substr(236, 8), Pad("2", 8));
    EXPECT_FALSE(std::filesystem::exists(AppendJournalPath(out)));
    SignalDocument back;
    Open(back, out);
    ASSERT_EQ(back.FrameCount(), 2000);
    for (int64_t f = 0; f < 2000; f += 37)
        EXPECT_EQ((*back.FindFrame(f))[1], test::Value(f, 1)) << f;
    EXPECT_EQ(back.Markers().items, (std::vector<int32_t>{100, 1500}));

    // A crash after the new records were committed, before the count was
    // rewritten, leaves "-1": the count comes from the size, and the next
    // append writes the right one.
    std::string bytes = ReadText(out);
    bytes.replace(236, 8, Pad("-1", 8));
    dir.Write("a.edf", std::vector<uint8_t>(bytes.begin(), bytes.end()));
    SignalDocument crashed;
    Open(crashed, out);
    EXPECT_EQ(crashed.FrameCount(), 2000);
    ASSERT_TRUE(Save(doc, Cutout::FromTags(2000, 2999), out, {1, 2}, SaveMode::Append).Ok());
    EXPECT_EQ(ReadText(out).substr(236, 8), Pad("3", 8));
}

TEST_F(InterchangeFixture, EdfAppendRefusesAnotherShapeAndAFailedWriteChangesNothing) {
    SignalDocument doc;
    Open(doc, Recording(3, 1000, 40'000));
    SignalDocument other;
    Open(other, Recording(3, 500, 2000, "other.sig"));
    const std::string out = dir.File("a.edf");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(0, 999), out, {1, 2}).Ok());
    const std::string before = ReadText(out);
    const std::string at1000 = " channels at 1000 microseconds per sample";
    struct Refusal {
        const SignalDocument* source;
        std::vector<int> picked;
        std::string says;
    };
    for (const Refusal& r :
         {Refusal{&doc, {1, 2, 3}, "it has 2" + at1000 + "; the cutout has 3" + at1000},
          Refusal{&other,
                  {1, 2},
                  "it has 2" + at1000 +
                      "; the cutout has 2 channels at 500 microseconds per sample"}}) {
        const SaveOutcome refused =
            Save(*r.source, Cutout::FromTags(0, 99), out, r.picked, SaveMode::Append);
        EXPECT_EQ(refused.title, "Append Error");
        EXPECT_EQ(refused.message, "Cannot append: " + out + ": " + r.says + ".");
        EXPECT_EQ(ReadText(out), before);
    }
    {
        const test::FileSizeLimit limit(64 * 1024);
        for (const char* name : {"a.edf", "a.csv"}) {
            const std::string target = dir.File(name);
            if (std::string(name) == "a.csv") dir.WriteText(name, "time_s,Channel 1 [uV]\r\n");
            const std::string old = ReadText(target);
            EXPECT_FALSE(Save(doc, Cutout::FromTags(0, 39'999), target, {1}).Ok());
            const std::vector<int> picked =
                std::string(name) == "a.csv" ? std::vector<int>{1} : std::vector<int>{1, 2};
            EXPECT_FALSE(
                Save(doc, Cutout::FromTags(0, 39'999), target, picked, SaveMode::Append).Ok());
            EXPECT_EQ(ReadText(target), old) << name;
        }
    }
    EXPECT_EQ(ReadText(out).substr(236, 8), Pad("1", 8));
}

}  // namespace
}  // namespace koru
