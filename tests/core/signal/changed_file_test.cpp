// A recording whose file another program changes while it is shown: saved
// over by rename, appended to, cut short in place. Held whole in memory, read
// on demand in memory mode, read from the file in file mode: what is shown
// must stay the recording that was opened (a cut-short file may only lose
// its end), and nothing may crash. Commands that need every frame get every
// frame from a recording read on demand.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "analysis/Beats.h"
#include "export/Amplitude.h"
#include "export/SaveCutout.h"
#include "signal/OpenFlow.h"
#include "support/ChangedFile.h"
#include "support/EdfFile.h"
#include "support/ScriptedUi.h"
#include "support/SigBuilder.h"
#include "support/TempDir.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::AllFrames;
using test::Change;
using test::ChangeFile;
using test::TempDir;

const std::string kReal = KORU_REAL_DATA_DIR;

enum class Storage { Whole, OnDemand, FileMode };
const char* Name(Storage s) {
    return s == Storage::Whole ? "whole" : s == Storage::OnDemand ? "on demand" : "file mode";
}
const char* Name(Change c) {
    switch (c) {
        case Change::RenamedOver:
            return "renamed over";
        case Change::Appended:
            return "appended to";
        case Change::CutShort:
            return "cut short";
        case Change::Emptied:
            return "emptied";
    }
    return "";
}

// A recording written into `dir`: the path to open and the data file that
// changes (the same but for a WFDB record, whose samples lie beside its header).
struct Written {
    std::string open;
    std::string data;
};

std::vector<int32_t> Ramp(int n, int step, int lo, int hi) {
    std::vector<int32_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) v[static_cast<std::size_t>(i)] = lo + (i * step) % (hi - lo);
    return v;
}

Written WriteEdf(const TempDir& dir, bool bdf) {
    const int records = 40, rate = 250;
    const int32_t lo = bdf ? -8'000'000 : -32768, hi = bdf ? 8'000'000 : 32767;
    std::vector<test::EdfSignal> sigs;
    for (int s = 0; s < 3; ++s)
        sigs.push_back({"S" + std::to_string(s), -5, 5, lo, hi,
                        Ramp(records * rate, 97 + 31 * s, lo, hi), rate});
    const std::string bytes = test::EdfBytes(sigs, records, bdf, false);
    const std::string path = dir.Write(bdf ? "r.bdf" : "r.edf", {bytes.begin(), bytes.end()});
    return {path, path};
}

Written WriteRecording(const TempDir& dir, const std::string& kind) {
    if (kind == "sig8" || kind == "sig3") {
        const auto channels = static_cast<uint16_t>(kind == "sig8" ? 8 : 3);
        const std::string path = dir.Write("r.sig", test::SigFile(channels, 1000, 30'000));
        return {path, path};
    }
    if (kind == "edf" || kind == "bdf") return WriteEdf(dir, kind == "bdf");
    // A real format 212 record, copied so that it can be changed.
    for (const char* f : {"100.hea", "100.dat"})
        std::filesystem::copy_file(kReal + "/mitdb/" + f, dir.File(f));
    return {dir.File("100.hea"), dir.File("100.dat")};
}

void Reopen(SignalDocument& doc, const std::string& path, Storage storage, test::ScriptedUi& ui) {
    doc.SetFileBacked(storage == Storage::FileMode);
    doc.SetWholeLoadLimitForTesting(storage == Storage::Whole ? UINT64_MAX : 0);
    ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
    LoadRecording(doc, ui);
}

TEST(ChangedFileTest, WhatIsShownStaysTheOpenedRecordingAndNothingCrashes) {
    for (const std::string kind : {"sig8", "sig3", "edf", "bdf", "wfdb212"}) {
        for (Storage storage : {Storage::Whole, Storage::OnDemand, Storage::FileMode}) {
            for (Change change :
                 {Change::RenamedOver, Change::Appended, Change::CutShort, Change::Emptied}) {
                SCOPED_TRACE(kind + ", " + Name(storage) + ", " + Name(change));
                const TempDir dir;
                test::ScriptedUi ui;
                const Written w = WriteRecording(dir, kind);
                SignalDocument reference, shown;
                Reopen(reference, w.open, Storage::Whole, ui);
                Reopen(shown, w.open, storage, ui);
                ASSERT_EQ(shown.OnDemand(), storage != Storage::Whole);
                const std::vector<Frame> expected = AllFrames(reference);
                ASSERT_EQ(static_cast<int64_t>(expected.size()), reference.FrameCount());
                if (kind == "sig8") {
                    for (int c = 0; c < 8; ++c) ASSERT_EQ(expected[1234][c], test::Value(1234, c));
                }

                ChangeFile(dir, w.data, change);
                const std::vector<Frame> seen = AllFrames(shown);
                EXPECT_EQ(shown.FrameCount(), reference.FrameCount());
                const bool mayLoseEnd = storage != Storage::Whole &&
                                        (change == Change::CutShort || change == Change::Emptied);
                if (mayLoseEnd) {
                    // The start as it was; past the cut either nothing or
                    // (a WFDB file, which reads a short tail as zero bytes)
                    // one value throughout.
                    ASSERT_LE(seen.size(), expected.size());
                    const auto cut =
                        std::mismatch(seen.begin(), seen.end(), expected.begin()).first;
                    if (change == Change::CutShort) {
                        EXPECT_GT(cut - seen.begin(), 1000);
                    }
                    EXPECT_TRUE(
                        std::all_of(cut, seen.end(), [&](const Frame& f) { return f == *cut; }));
                    if (kind != "wfdb212") {
                        EXPECT_LT(seen.size(), expected.size());
                    }
                } else {
                    EXPECT_TRUE(seen == expected);
                    EXPECT_TRUE(shown.FindFrame(shown.FrameCount() - 1) == expected.back());
                }
            }
        }
    }
}

// A session showing a long recording read on demand: the file cut short
// under it leaves a blank end to scroll to and paint, and the start as it was.
TEST(ChangedFileTest, AViewOfAFileCutShortPaintsWhatIsLeft) {
    test::ViewFixture fx;
    fx.TracesOnly();
    fx.Solo(0, 2);
    fx.session.document().SetWholeLoadLimitForTesting(0);
    fx.Open(1, 1000, 200'000, test::Wander);
    ASSERT_TRUE(fx.session.document().OnDemand());
    const std::vector<uint32_t> before = test::PixelsOf(fx.Full());
    ASSERT_EQ(::truncate(fx.dir.File("rec.sig").c_str(), 326 + 2 * 100'000), 0);
    EXPECT_EQ(test::PixelsOf(fx.Full()), before);
    fx.view->Reposition(fx.view->HorizontalRange());
    fx.Full();
    for (int x = 0; x < 400; ++x) ASSERT_TRUE(fx.RowsOf(x, fx.ColorOf(0)).empty()) << x;
    EXPECT_TRUE(fx.ui.messages.empty());
}

// Save As, Measure Amplitude and Detect Beats of a recording read on demand
// and saved over by rename since: the same as from the recording held whole.
TEST(ChangedFileTest, CommandsThatNeedEveryFrameGetEveryFrameReadOnDemand) {
    for (const std::string kind : {"sig3", "edf", "wfdb212"}) {
        SCOPED_TRACE(kind);
        const TempDir dir;
        test::ScriptedUi ui;
        const Written w = WriteRecording(dir, kind);
        SignalDocument whole, onDemand;
        Reopen(whole, w.open, Storage::Whole, ui);
        Reopen(onDemand, w.open, Storage::OnDemand, ui);
        ChangeFile(dir, w.data, Change::RenamedOver);
        ASSERT_TRUE(onDemand.OnDemand());
        ASSERT_FALSE(whole.OnDemand());

        const Cutout all{0, whole.FrameCount() - 1};
        EXPECT_EQ(MeasureAmplitudes(onDemand, all), MeasureAmplitudes(whole, all));
        const std::vector<int64_t> beats = DetectBeats(whole, 0);
        if (kind == "wfdb212") {
            EXPECT_GT(beats.size(), 2000u);
        }
        EXPECT_EQ(DetectBeats(onDemand, 0), beats);
        std::string saved[2];
        for (int k = 0; k < 2; ++k) {
            SaveRequest request;
            request.path = dir.File("saved" + std::to_string(k) + ".sig");
            ASSERT_TRUE(SaveCutout(k == 0 ? whole : onDemand, all, request, ui).Ok());
            saved[k] = test::ReadText(request.path);
        }
        // All eight channels are ticked: eight columns a frame.
        EXPECT_EQ(saved[0].size(), 326u + static_cast<std::size_t>(all.Frames()) * 2 * 8);
        EXPECT_TRUE(saved[1] == saved[0]);
    }
}

// Memory mode reads a short recording whole, with the box, and a long one
// on demand without it; file mode never loads.
TEST(ChangedFileTest, OnlyAShortRecordingInMemoryModeIsLoadedWhole) {
    const TempDir dir;
    const uint64_t limit = SignalDocument::kWholeLoadBytes;
    struct Case {
        uint16_t channels;
        int64_t frames;
        bool fileMode;
        bool whole;
    } cases[] = {
        {8, static_cast<int64_t>(limit / 16), false, true},
        {8, static_cast<int64_t>(limit / 16) + 1, false, false},
        {1, static_cast<int64_t>(limit / 2), false, true},
        {1, static_cast<int64_t>(limit / 2) + 1, false, false},
        {8, 1000, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.frames));
        const std::string path = dir.File("r.sig");
        {
            const std::vector<uint8_t> header = test::SigHeaderBytes(c.channels, 1000);
            dir.Write("r.sig", header);
            ASSERT_EQ(::truncate(path.c_str(),
                                 static_cast<off_t>(header.size()) + c.frames * 2 * c.channels),
                      0);
        }
        test::ScriptedUi ui;
        SignalDocument doc;
        doc.SetFileBacked(c.fileMode);
        ASSERT_EQ(OpenSignalFile(doc, path, ui), OpenOutcome::Opened);
        EXPECT_EQ(doc.LoadsWhole(), c.whole);
        LoadRecording(doc, ui);
        EXPECT_EQ(ui.progressBegins, c.whole ? 1 : 0);
        EXPECT_EQ(doc.ReadableFrames(), c.frames);
        EXPECT_EQ(doc.Store().BytesAllocated() > 0, c.whole);
    }
}

// WFDB records of every kind are read on demand however long: first
// differences resume from values kept as they were decoded, and segments
// are read from files opened with the record, so a file saved over by
// rename once the record is open does not change what is shown.
TEST(ChangedFileTest, WfdbRecordsOfEveryKindAreReadOnDemandFromTheFilesOpened) {
    const std::string zeros(2000, '\0');
    const struct {
        const char* header;
        const char* replaced;
        std::size_t bytes;
    } cases[] = {{"s1.hea", "s1.dat", 2000}, {"m.hea", "s2.dat", 2000}, {"d.hea", "d.dat", 1000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.header);
        const TempDir dir;
        for (const char* seg : {"s1", "s2"}) {
            std::ofstream(dir.File(std::string(seg) + ".hea"))
                << seg << " 1 250 1000\n"
                << seg << ".dat 16 200 16 0 0 0 0 x\n";
            std::ofstream(dir.File(std::string(seg) + ".dat"), std::ios::binary) << zeros;
        }
        std::ofstream(dir.File("m.hea")) << "m/2 1 250 2000\ns1 1000\ns2 1000\n";
        std::ofstream(dir.File("d.hea")) << "d 1 250 1000\nd.dat 8 200 8 0 0 0 0 x\n";
        std::ofstream(dir.File("d.dat"), std::ios::binary) << zeros.substr(0, 1000);
        test::ScriptedUi ui;
        SignalDocument doc;
        doc.SetWholeLoadLimitForTesting(0);
        ASSERT_EQ(OpenSignalFile(doc, dir.File(c.header), ui), OpenOutcome::Opened);
        EXPECT_FALSE(doc.LoadsWhole());
        LoadRecording(doc, ui);
        const std::string other = dir.WriteText("other.tmp", std::string(c.bytes, '\x5A'));
        ASSERT_EQ(std::rename(other.c_str(), dir.File(c.replaced).c_str()), 0);
        EXPECT_EQ(doc.ReadableFrames(), doc.FrameCount());
        const std::vector<Frame> frames = AllFrames(doc);
        EXPECT_EQ(frames.size(), static_cast<std::size_t>(doc.FrameCount()));
        EXPECT_EQ(std::count(frames.begin(), frames.end(), Frame{}),
                  static_cast<std::ptrdiff_t>(frames.size()));
        EXPECT_GE(doc.FrameCount(), 1000);
    }
}

}  // namespace
}  // namespace koru
