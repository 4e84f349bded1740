#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "app/Session.h"
#include "export/SaveCutout.h"
#include "signal/OpenFlow.h"
#include "support/FileSizeLimit.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ReadText;

// Wide enough that shifting left by four wraps past 16 bits.
int16_t Wide(int64_t f, int c) {
    return static_cast<int16_t>(((f * 37 + c * 1000) % 8001) - 4000);
}

// The bytes a cutout must give, built from the recording's own values.
struct Expected {
    std::string kind;  // "sig", "bin", "dat", "nib", "txt"
    uint16_t channels;
    uint32_t interval;
    std::vector<int> picked;  // 1-based, ascending
    bool eightColumns = false;

    static void Word(std::string& out, uint16_t w, bool bigEndian) {
        const char lo = static_cast<char>(w & 0xFF), hi = static_cast<char>(w >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    std::string Header() const {
        if (kind == "sig") {
            const std::vector<uint8_t> h =
                test::SigHeaderBytes(static_cast<uint16_t>(picked.size()), interval);
            return std::string(h.begin(), h.end());
        }
        if (kind != "txt") return "";
        char buf[64];
        std::snprintf(buf, sizeof buf, "Number of Channels: %zu  Interval:%u\r\n", picked.size(),
                      interval);
        std::string out = buf;
        out += "Scale:";
        for (int i = 0; i < 16; ++i) {
            std::snprintf(buf, sizeof buf, " %g ", 0.5 * (i + 1));
            out += buf;
        }
        return out + "\r\ntest\r\n";
    }
    std::string Frames(int64_t from, int64_t to, const test::SampleFn& sample) const {
        std::string out;
        char buf[16];
        for (int64_t f = from; f <= to; ++f) {
            for (std::size_t i = 0; i < picked.size(); ++i) {
                const int c = picked[i] - 1;
                const int16_t v = c < channels ? sample(f, c) : 0;
                if (kind == "txt") {
                    std::snprintf(buf, sizeof buf, eightColumns && i == 7 ? "%5d" : "%5d ",
                                  static_cast<int>(v));
                    out += buf;
                } else {
                    const auto w = static_cast<uint16_t>(kind == "dat" ? v * 16 : v);
                    Word(out, w, kind == "nib");
                }
            }
            if (kind == "txt") out += "\r\n";
        }
        return out;
    }
};

ChannelSelection Pick(const std::vector<int>& channels) {
    ChannelSelection s;
    s.selected.fill(false);
    for (const int c : channels) s.selected[static_cast<std::size_t>(c - 1)] = true;
    return s;
}

struct SaveFixture : ::testing::Test {
    test::TempDir dir;
    test::ScriptedUi ui;

    std::string Recording(uint16_t channels, int64_t frames, const test::SampleFn& sample = Wide,
                          const std::string& name = "rec.sig") {
        return dir.Write(name, test::SigOf(channels, 250, frames, sample));
    }
    void OpenInto(SignalDocument& doc, const std::string& path, bool fileBacked) {
        doc.SetFileBacked(fileBacked);
        ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        LoadRecording(doc, ui);
    }
    SaveOutcome Save(const SignalDocument& doc, Cutout cut, const std::string& out,
                     const std::vector<int>& picked, SaveMode mode = SaveMode::Replace) {
        return SaveCutout(doc, cut, SaveRequest{out, mode, Pick(picked)}, ui);
    }
};

// Channels past the eighth, read from the file, are never written.
TEST_F(SaveFixture, EveryKindIsWrittenByteForByteInBothStorageModes) {
    const std::vector<std::vector<int>> selections = {{1, 2, 3, 4, 5, 6, 7, 8}, {2, 5}, {3}};
    const std::vector<std::pair<int32_t, int32_t>> tags = {{10, 20}, {20, 10}, {-5, 7}, {480, 700}};
    for (const auto& [channels, fileBacked] :
         {std::pair<uint16_t, bool>{3, false}, {3, true}, {10, false}, {10, true}}) {
        SignalDocument doc;
        OpenInto(doc, Recording(channels, 500), fileBacked);
        for (const char* kind : {"sig", "bin", "dat", "nib", "txt"}) {
            for (const auto& picked : selections) {
                for (const auto& [a, b] : tags) {
                    SCOPED_TRACE(std::string(kind) + (fileBacked ? " file " : " memory ") +
                                 std::to_string(channels) + " " + std::to_string(picked.size()) +
                                 " " + std::to_string(a));
                    const std::string out = dir.File(std::string("cut.") + kind);
                    ASSERT_TRUE(Save(doc, Cutout::FromTags(a, b), out, picked).Ok());
                    Expected want{kind, channels, 250, picked};
                    // Held in memory with all eight ticked, a text line has no
                    // blank before its end; read from the file it keeps it.
                    want.eightColumns = !fileBacked && picked.size() == 8;
                    const int32_t from = std::max(std::min(a, b), 0);
                    const int32_t to = std::min(std::max(a, b), 499);
                    EXPECT_EQ(ReadText(out), want.Header() + want.Frames(from, to, Wide));
                }
            }
        }
    }
    // Tags 10 apart give 11 frames.
    SignalDocument doc;
    OpenInto(doc, Recording(3, 500), false);
    ASSERT_TRUE(Save(doc, Cutout::FromTags(30, 40), dir.File("c.bin"), {1}).Ok());
    EXPECT_EQ(ReadText(dir.File("c.bin")).size(), 11u * 2);
}

TEST_F(SaveFixture, MarkersInsideTheCutoutGoBesideASignalFileOnly) {
    SignalDocument doc;
    OpenInto(doc, Recording(2, 1000), false);
    doc.Markers().items = {100, 101, 150, 99, 300, 301};
    std::filesystem::create_directory(dir.File("run.v1"));
    const std::string out = dir.File("run.v1/cut.part.sig");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(300, 100), out, {1, 2}).Ok());
    // The file name's extension replaced, whatever dots the folder has.
    EXPECT_EQ(ReadText(dir.File("run.v1/cut.part.mrk")), "1\r\n50\r\n200\r\n");

    ASSERT_TRUE(Save(doc, Cutout::FromTags(100, 300), dir.File("raw.dat"), {1}).Ok());
    EXPECT_FALSE(std::filesystem::exists(dir.File("raw.mrk")));

    // No markers and none to be found: no marker file.
    doc.Markers().items.clear();
    ASSERT_TRUE(Save(doc, Cutout::FromTags(1, 9), dir.File("new.sig"), {1}).Ok());
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.mrk")));
    // No markers, but the replaced recording's file is there: it belongs to
    // other content and is emptied, not shown with the cutout.
    dir.WriteText("old.mrk", "7\r\n");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(1, 9), dir.File("old.sig"), {1}).Ok());
    EXPECT_EQ(ReadText(dir.File("old.mrk")), "");
}

TEST(OutputKind, ComesFromTheFileNameOnly) {
    EXPECT_EQ(OutputKindFor("/d/a.Sig"), OutputKind::Sig);
    EXPECT_EQ(OutputKindFor("/d/run.sig.bak"), OutputKind::Sig);
    EXPECT_EQ(OutputKindFor("/d/a.bin"), OutputKind::Bin);
    EXPECT_EQ(OutputKindFor("/d/a.DAT"), OutputKind::Dat);
    EXPECT_EQ(OutputKindFor("/d/a.nib"), OutputKind::Nib);
    EXPECT_EQ(OutputKindFor("/d/a.sig.dat"), OutputKind::Sig);  // the first substring tried wins
    EXPECT_EQ(OutputKindFor("/data/RUN.DAT/x.txt"), OutputKind::Text);
    EXPECT_EQ(OutputKindFor("/d/a.csv"), OutputKind::Csv);
    EXPECT_EQ(OutputKindFor("/d/a.sig.EDF"), OutputKind::Edf);  // the ending wins over ".sig"
    EXPECT_EQ(OutputKindFor("/d/a.bdf"), OutputKind::Bdf);
    EXPECT_EQ(OutputKindFor("/d/a.csv.txt"), OutputKind::Text);
    EXPECT_EQ(OutputKindFor("/d/x.edf/a"), OutputKind::Text);
    EXPECT_EQ(OutputKindFor("/d/noextension"), OutputKind::Text);
}

TEST_F(SaveFixture, AppendWritesFramesOnlyAfterWhatIsThere) {
    SignalDocument doc;
    OpenInto(doc, Recording(2, 5000), false);
    const Expected frames{"sig", 2, 250, {1, 2}};

    const std::string target = Recording(2, 1000, test::Value, "target.sig");
    const std::string before = ReadText(target);
    dir.WriteText("target.mrk", "3\r\n");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(0, 99), target, {1, 2}, SaveMode::Append).Ok());
    const std::string after = ReadText(target);
    ASSERT_EQ(after.size(), 326u + 1100 * 4);
    EXPECT_EQ(after.substr(0, before.size()), before);
    EXPECT_EQ(after.substr(before.size()), frames.Frames(0, 99, Wide));
    EXPECT_EQ(ReadText(dir.File("target.mrk")), "3\r\n");

    // A text target gets frame lines only; a raw one any shape; twice is twice.
    const std::string text = dir.WriteText("t.txt", "Number of Channels: 1  Interval:250\r\n");
    const Expected line{"txt", 2, 250, {2}};
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(Save(doc, Cutout::FromTags(7, 9), text, {2}, SaveMode::Append).Ok());
    EXPECT_EQ(ReadText(text), "Number of Channels: 1  Interval:250\r\n" + line.Frames(7, 9, Wide) +
                                  line.Frames(7, 9, Wide));
    const std::string raw = dir.WriteText("r.bin", "xyz");
    ASSERT_TRUE(Save(doc, Cutout::FromTags(7, 9), raw, {1, 2, 3}, SaveMode::Append).Ok());
    const Expected three{"bin", 2, 250, {1, 2, 3}};
    EXPECT_EQ(ReadText(raw), "xyz" + three.Frames(7, 9, Wide));
}

TEST_F(SaveFixture, AppendRefusesATargetOfAnotherShape) {
    SignalDocument doc;
    OpenInto(doc, Recording(2, 500), false);
    const std::string sig = Recording(3, 10, test::Value, "three.sig");
    const std::string text = dir.WriteText("t.txt", "Number of Channels: 2  Interval:1000\r\n");
    const std::string sigBefore = ReadText(sig);
    SaveOutcome r = Save(doc, Cutout::FromTags(1, 5), sig, {1, 2}, SaveMode::Append);
    EXPECT_EQ(r.title, "Append Error");
    EXPECT_EQ(r.message, "Cannot append: " + sig +
                             " has 3 channels at 250 microseconds per sample; the cutout has 2 "
                             "channels at 250.");
    r = Save(doc, Cutout::FromTags(1, 5), text, {1, 2}, SaveMode::Append);
    EXPECT_EQ(r.message, "Cannot append: " + text +
                             " has 2 channels at 1000 microseconds per sample; the cutout has 2 "
                             "channels at 250.");
    EXPECT_EQ(ReadText(sig), sigBefore);
    EXPECT_EQ(ReadText(text), "Number of Channels: 2  Interval:1000\r\n");
}

TEST_F(SaveFixture, NoChannelTickedWritesNothing) {
    SignalDocument doc;
    OpenInto(doc, Recording(2, 500), false);
    const std::string existing = dir.WriteText("e.bin", "old");
    for (const SaveMode mode : {SaveMode::Replace, SaveMode::Append}) {
        const SaveOutcome r = Save(doc, Cutout::FromTags(1, 5), existing, {}, mode);
        EXPECT_EQ(r.title, mode == SaveMode::Append ? "Append Error" : "Save Error");
        EXPECT_EQ(r.message, "No channel selected: nothing was written.");
    }
    EXPECT_FALSE(Save(doc, Cutout::FromTags(1, 5), dir.File("new.sig"), {}).Ok());
    EXPECT_EQ(ReadText(existing), "old");
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.sig")));
    // Under two frames nothing is written and nothing said.
    EXPECT_TRUE(Save(doc, Cutout::FromTags(-4, -9), dir.File("none.sig"), {1}).Ok());
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.sig")));
}

TEST_F(SaveFixture, AFullDiskLeavesTheTargetAsItWas) {
    SignalDocument doc;
    OpenInto(doc, Recording(8, 40'000), false);
    const std::string target = Recording(8, 100, test::Value, "t.sig");
    const std::string before = ReadText(target);
    const std::vector<int> all = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::string reason = ": File too large. The file was not changed.";
    {
        const test::FileSizeLimit limit(64 * 1024);
        const SaveOutcome saved = Save(doc, Cutout::FromTags(0, 39'999), target, all);
        EXPECT_EQ(saved.title, "Save Error");
        EXPECT_EQ(saved.message, "Cannot write " + target + reason);
        const SaveOutcome appended =
            Save(doc, Cutout::FromTags(0, 39'999), target, all, SaveMode::Append);
        EXPECT_EQ(appended.title, "Append Error");
        EXPECT_EQ(appended.message, "Cannot write " + target + reason);
    }
    EXPECT_EQ(ReadText(target), before);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 2u);  // no temporary file left behind
}

TEST_F(SaveFixture, SavingOverTheDisplayedRecordingKeepsWhatTheViewShows) {
    for (const bool fileBacked : {false, true}) {
        const std::string rec = Recording(2, 2000);
        SignalDocument doc;
        OpenInto(doc, rec, fileBacked);
        ASSERT_TRUE(Save(doc, Cutout::FromTags(1000, 1100), rec, {1, 2}).Ok());
        EXPECT_EQ(std::filesystem::file_size(rec), 326u + 101 * 4);
        FrameCursor cursor(doc, 0);
        for (int64_t f = 0; f < 2000; ++f) {
            const Frame* frame = cursor.Next();
            ASSERT_NE(frame, nullptr) << f;
            ASSERT_EQ((*frame)[1], Wide(f, 1)) << f;
        }
    }
}

TEST_F(SaveFixture, TheDisplayedRecordingIsKnownInAnySpelling) {
    SignalDocument doc;
    const std::string rec = Recording(2, 100);
    OpenInto(doc, rec, true);
    std::filesystem::create_symlink(rec, dir.File("link.sig"));
    std::filesystem::create_directory(dir.File("sub"));
    for (const std::string& path : {rec, UpperCased(rec), dir.File("link.sig"),
                                    dir.File("sub/../rec.sig"), dir.path() + "//./rec.sig"})
        EXPECT_TRUE(IsDisplayedRecording(doc, path)) << path;
    EXPECT_FALSE(IsDisplayedRecording(doc, Recording(2, 100, test::Value, "other.sig")));
}

}  // namespace
}  // namespace koru
