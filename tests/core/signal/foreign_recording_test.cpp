// Recordings in the field's standard layouts. Expected values come from the
// files' own layouts, decoded here, never through the readers under test.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "app/Session.h"
#include "signal/ForeignOpen.h"
#include "signal/OpenFlow.h"
#include "support/EdfFile.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

using test::EdfSignal;
using test::ScriptedUi;
using test::TempDir;

const std::string kReal = KORU_REAL_DATA_DIR;

struct Opened {
    ScriptedUi ui;
    SignalDocument doc;
    OpenOutcome outcome = OpenOutcome::Invalid;
    void Open(const std::string& path) {
        outcome = OpenSignalFile(doc, path, ui);
        if (outcome == OpenOutcome::Opened) LoadRecording(doc, ui);
    }
    int16_t At(int64_t frame, std::size_t channel) const {
        const std::optional<Frame> f = doc.FindFrame(frame);
        return f ? (*f)[channel] : INT16_MIN;
    }
};

// Format 212: two 12-bit samples in three bytes, over the file's sample stream.
std::vector<int32_t> Decode212(const std::string& bytes) {
    std::vector<int32_t> out;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
        const auto b0 = static_cast<uint8_t>(bytes[i]), b1 = static_cast<uint8_t>(bytes[i + 1]),
                   b2 = static_cast<uint8_t>(bytes[i + 2]);
        for (int s : {b0 | (b1 & 0x0F) << 8, b2 | (b1 & 0xF0) << 4})
            out.push_back(s >= 2048 ? s - 4096 : s);
    }
    return out;
}

std::vector<int32_t> Decode16(const std::string& bytes) {
    std::vector<int32_t> out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                           static_cast<uint8_t>(bytes[i + 1]) << 8));
    return out;
}

// The times of the annotations whose code is not in `skip`.
std::vector<int64_t> AnnotationTimes(const std::string& atr, std::vector<unsigned> skip) {
    std::vector<int64_t> out;
    int64_t t = 0;
    for (std::size_t i = 0; i + 1 < atr.size();) {
        const unsigned w = static_cast<uint8_t>(atr[i]) | static_cast<uint8_t>(atr[i + 1]) << 8;
        i += 2;
        const unsigned a = w >> 10, n = w & 0x3FF;
        if (w == 0) break;
        if (a == 59) {
            auto word = [&](std::size_t k) {
                return static_cast<unsigned>(static_cast<uint8_t>(atr[k]) |
                                             static_cast<uint8_t>(atr[k + 1]) << 8);
            };
            t += static_cast<int32_t>(word(i) << 16 | word(i + 2));
            i += 4;
        } else if (a == 63) {
            i += n + (n & 1);
        } else if (a >= 1 && a <= 49) {
            t += n;
            if (std::find(skip.begin(), skip.end(), a) == skip.end()) out.push_back(t);
        }
    }
    return out;
}

TEST(ForeignRecordingTest, MitBih100MatchesItsFormat212SamplesAndAnnotations) {
    Opened o;
    o.Open(kReal + "/mitdb/100.hea");
    ASSERT_EQ(o.outcome, OpenOutcome::Opened);
    const SignalHeader& h = o.doc.Header();
    EXPECT_EQ(h.ChannelCount, 2);
    EXPECT_EQ(h.Interval, 2778u);
    EXPECT_EQ(o.doc.FrameCount(), 650000);
    EXPECT_FLOAT_EQ(h.Scale[0], 1.0f / 200);
    EXPECT_EQ(h.DescriptionText(), "100: MLII, V5");

    const std::vector<int32_t> raw = Decode212(test::ReadText(kReal + "/mitdb/100.dat"));
    ASSERT_EQ(raw.size(), 1'300'000u);
    int mismatches = 0;
    for (int64_t i = 0; i < 650000; ++i)
        for (std::size_t c = 0; c < 2; ++c)
            mismatches += o.At(i, c) != raw[static_cast<std::size_t>(2 * i) + c] - 1024;
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(o.At(0, 0), 995 - 1024);
    EXPECT_EQ(o.At(0, 2), 0);

    // 100.atr holds beats (N, A, V) and one rhythm change (code 28, "+"),
    // which is no marker.
    std::vector<int64_t> times = AnnotationTimes(test::ReadText(kReal + "/mitdb/100.atr"), {28});
    ASSERT_EQ(times.size(), 2273u);
    std::sort(times.begin(), times.end());
    const MarkerList& m = o.doc.Markers();
    ASSERT_EQ(m.Count(), 2048);
    EXPECT_TRUE(m.loaded);
    for (std::size_t i = 0; i < 2048; ++i) ASSERT_EQ(m.items[i], times[i]) << i;
    EXPECT_EQ(m.items[0], 77);  // the first beat; the rhythm change at 18 is left out
    ASSERT_EQ(o.ui.messages.size(), 1u);
    EXPECT_EQ(o.ui.messages[0].text,
              "Only the first 2048 of 2273 annotations are shown as markers.");
    EXPECT_FALSE(m.Changed());  // nothing to save on close
}

TEST(ForeignRecordingTest, PtbRecordOffersItsFifteenSignalsAndDeliversTheChosenEight) {
    Opened o;
    o.ui.signalAnswers.push_back(std::vector<int>{14, 0, 6, 12});  // any order: file order wins
    o.Open(kReal + "/ptbdb/s0010_re.hea");
    ASSERT_EQ(o.outcome, OpenOutcome::Opened);
    ASSERT_EQ(o.ui.signalsShown.size(), 1u);
    const std::vector<SignalChoice>& offered = o.ui.signalsShown[0];
    ASSERT_EQ(offered.size(), 15u);
    EXPECT_EQ(offered[0].number, 1);
    EXPECT_EQ(offered[0].label, "i");
    EXPECT_EQ(offered[14].number, 15);
    EXPECT_EQ(offered[14].label, "vz");
    EXPECT_EQ(o.doc.Header().ChannelCount, 4);
    EXPECT_EQ(o.doc.Header().Interval, 1000u);
    EXPECT_FLOAT_EQ(o.doc.Header().Scale[0], 0.0005f);

    const std::vector<int32_t> dat = Decode16(test::ReadText(kReal + "/ptbdb/s0010_re.dat"));
    const std::vector<int32_t> xyz = Decode16(test::ReadText(kReal + "/ptbdb/s0010_re.xyz"));
    ASSERT_EQ(o.doc.FrameCount(), 38400);
    int mismatches = 0;
    for (std::size_t i = 0; i < 38400; ++i) {
        mismatches += o.At(static_cast<int64_t>(i), 0) != dat[12 * i + 0];  // i
        mismatches += o.At(static_cast<int64_t>(i), 1) != dat[12 * i + 6];  // v1
        mismatches += o.At(static_cast<int64_t>(i), 2) != xyz[3 * i + 0];   // vx
        mismatches += o.At(static_cast<int64_t>(i), 3) != xyz[3 * i + 2];   // vz
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_FALSE(o.doc.Markers().loaded);  // no annotation file beside it
}

TEST(ForeignRecordingTest, CancellingTheSignalsDialogOpensNothing) {
    Opened o;
    o.ui.signalAnswers.push_back(std::nullopt);
    o.Open(kReal + "/ptbdb/s0010_re.hea");
    EXPECT_EQ(o.outcome, OpenOutcome::Cancelled);
    EXPECT_FALSE(o.doc.IsOpen());
    EXPECT_TRUE(o.ui.messages.empty());
}

// The value rule worked out from an EDF signal's header fields.
int16_t ExpectedValue(const test::EdfRead& s, int32_t digital) {
    const double zero = s.digMin - s.physMin * (s.digMax - s.digMin) / (s.physMax - s.physMin);
    const double lo = std::round(s.digMin - zero), hi = std::round(s.digMax - zero);
    int shift = 0;
    while (std::floor(lo / std::pow(2, shift)) < -32768 ||
           std::floor(hi / std::pow(2, shift)) > 32767)
        ++shift;
    return static_cast<int16_t>(std::floor(std::round(digital - zero) / std::pow(2, shift)));
}

TEST(ForeignRecordingTest, EegEdfDeliversTheFirstEightOfItsDataSignalsByTheValueRule) {
    Opened o;
    o.Open(kReal + "/eegmat_edf/Subject00_2.edf");
    ASSERT_EQ(o.outcome, OpenOutcome::Opened);
    ASSERT_EQ(o.ui.signalsShown.size(), 1u);
    EXPECT_EQ(o.ui.signalsShown[0].size(), 21u);  // the annotation signal is no channel
    EXPECT_EQ(o.ui.signalsShown[0][20].label, "ECG ECG");
    EXPECT_EQ(o.doc.Header().Interval, 2000u);
    EXPECT_EQ(o.doc.Header().DescriptionText(),
              "0 F 01-JAN-1990 Subject0 Startdate 01-JAN-2011 0 Doctor "
              "NeuroCom_Professional_3.0.0");
    const std::vector<test::EdfRead> file =
        test::ReadEdf(test::ReadText(kReal + "/eegmat_edf/Subject00_2.edf"));
    ASSERT_EQ(file.size(), 22u);
    ASSERT_EQ(o.doc.FrameCount(), 31000);
    int mismatches = 0;
    for (std::size_t c = 0; c < 8; ++c)
        for (std::size_t i = 0; i < 31000; ++i)
            mismatches +=
                o.At(static_cast<int64_t>(i), c) != ExpectedValue(file[c], file[c].samples[i]);
    EXPECT_EQ(mismatches, 0);
    EXPECT_TRUE(o.doc.Markers().loaded);  // its one "[Total time]" annotation
}

std::vector<int32_t> Ramp(int n, int32_t from, int32_t step) {
    std::vector<int32_t> v;
    for (int i = 0; i < n; ++i) v.push_back(from + i * step);
    return v;
}

TEST(ForeignRecordingTest, WrittenEdfGivesZeroAtPhysicalZeroAndScaleInUnitsPerValue) {
    TempDir dir;
    std::vector<EdfSignal> sigs = {
        // 0.1 mV per count, zero at digital 0.
        {"Centred", -200, 100, -2000, 1000, {-2000, -1, 0, 1, 1000, 7}, 3},
        // A negative physical minimum off centre: zero at digital -500.
        {"Offset", -50, 150, -1000, 1000, {-1000, -500, 0, 1000, 3, -3}, 3},
        // 0 to 65.535 over the full 16 bits: one bit of shift to fit.
        {"Wide", 0, 65.535, -32768, 32767, {-32768, -32767, -32766, 0, 32767, 1}, 3},
        {"EDF Annotations",
         -1,
         1,
         -32768,
         32767,
         {},
         20,
         true,
         {test::Tal("0", "") + test::Tal("1.5", "late"),
          test::Tal("1", "") + test::Tal("0.5", "early")}},
    };
    Opened o;
    o.Open(dir.Write("w.edf", {}));  // an empty file first: refused, not a crash
    EXPECT_EQ(o.outcome, OpenOutcome::Invalid);
    const std::string bytes = test::EdfBytes(sigs, 2, false, true);
    o.Open(dir.WriteText("w.edf", bytes));
    ASSERT_EQ(o.outcome, OpenOutcome::Opened)
        << (o.ui.messages.empty() ? "" : o.ui.messages.back().text);
    const SignalHeader& h = o.doc.Header();
    EXPECT_EQ(h.ChannelCount, 3);
    EXPECT_EQ(h.Interval, 333333u);
    EXPECT_FLOAT_EQ(h.Scale[0], 0.1f);
    EXPECT_FLOAT_EQ(h.Scale[1], 0.1f);
    EXPECT_FLOAT_EQ(h.Scale[2], 0.002f);
    const std::vector<int16_t> centred = {-2000, -1, 0, 1, 1000, 7};
    const std::vector<int16_t> offset = {-500, 0, 500, 1500, 503, 497};
    const std::vector<int16_t> wide = {0, 0, 1, 16384, 32767, 16384};
    for (int64_t i = 0; i < 6; ++i) {
        EXPECT_EQ(o.At(i, 0), centred[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(o.At(i, 1), offset[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(o.At(i, 2), wide[static_cast<std::size_t>(i)]) << i;
    }
    // Annotations at 1.5 s and 0.5 s, in time order, at 3 frames a second.
    EXPECT_EQ(o.doc.Markers().items, (std::vector<int32_t>{2, 5}));  // 1.5 and 4.5 frames rounded
}

TEST(ForeignRecordingTest, BdfShiftsTwentyFourBitsIntoSixteenAndLeavesOtherRatesOut) {
    TempDir dir;
    std::vector<EdfSignal> sigs = {
        {"Full",
         -8388608,
         8388607,
         -8388608,
         8388607,
         {-8388608, -257, -256, 255, 256, 8388607},
         3},
        {"Fast", -10, 10, -1000, 1000, Ramp(12, 0, 1), 6},
    };
    Opened o;
    o.Open(dir.WriteText("w.bdf", test::EdfBytes(sigs, 2, true, false)));
    ASSERT_EQ(o.outcome, OpenOutcome::Opened)
        << (o.ui.messages.empty() ? "" : o.ui.messages.back().text);
    EXPECT_EQ(o.doc.Header().ChannelCount, 1);
    EXPECT_FLOAT_EQ(o.doc.Header().Scale[0], 256.0f);  // 8 bits of shift at 1 per count
    const std::vector<int16_t> expect = {-32768, -2, -1, 0, 1, 32767};
    for (int64_t i = 0; i < 6; ++i) EXPECT_EQ(o.At(i, 0), expect[static_cast<std::size_t>(i)]) << i;
    ASSERT_EQ(o.ui.messages.size(), 1u);
    EXPECT_EQ(o.ui.messages[0].title, "Signals");
    EXPECT_NE(o.ui.messages[0].text.find("\n Fast"), std::string::npos);
}

// The value rule in floating point, clamped, as a file's header states it.
int16_t ClampedValue(const EdfSignal& s, int32_t digital) {
    const double zero = s.digMin - s.physMin * (s.digMax - s.digMin) / (s.physMax - s.physMin);
    const double lo = std::round(s.digMin - zero), hi = std::round(s.digMax - zero);
    int shift = 0;
    while (std::floor(lo / std::pow(2, shift)) < -32768 ||
           std::floor(hi / std::pow(2, shift)) > 32767)
        ++shift;
    const double v = std::floor(std::round(digital - zero) / std::pow(2, shift));
    return static_cast<int16_t>(std::clamp(v, -32768.0, 32767.0));
}

TEST(ForeignRecordingTest, EdfDecodeKeepsTheValueRuleAcrossRecordsTilesAndChannelCounts) {
    // Records longer than the decoder's tile and no multiple of eight, each
    // kind of rule, and samples past the stated range (a corrupt file) that
    // must clamp rather than wrap.
    constexpr int kPerRecord = 1500, kRecords = 3, kFrames = kPerRecord * kRecords;
    auto samples = [](int seed) {
        std::vector<int32_t> v(kFrames);
        for (int i = 0; i < kFrames; ++i)
            v[static_cast<std::size_t>(i)] = (i * 7919 + seed * 104729) % 65536 - 32768;
        v[0] = -32768, v[1] = 32767, v[2] = -1, v[3] = 0, v[4] = 1;
        return v;
    };
    std::vector<EdfSignal> sigs = {
        {"Half", -5, 5, -32768, 32767, samples(1), kPerRecord},             // zero -0.5
        {"Offset", -50, 150, -1000, 1000, samples(2), kPerRecord},          // zero -500
        {"Wide", 0, 65.535, -32768, 32767, samples(3), kPerRecord},         // one bit of shift
        {"HalfWide", 0.5, 65535.5, -32768, 32767, samples(4), kPerRecord},  // zero -32768.5, shift
        {"Narrow", -2048, 2047, -2048, 2047, samples(5), kPerRecord},       // zero 0
        {"Third", -1, 2, -32768, 32767, samples(6), kPerRecord},            // zero -10923, shift
    };
    for (int i = 6; i < 10; ++i)
        sigs.push_back(
            {"Extra" + std::to_string(i), -5, 5, -32768, 32767, samples(i + 1), kPerRecord});
    TempDir dir;
    const std::string path = dir.WriteText("d.edf", test::EdfBytes(sigs, kRecords, false, false));
    for (const std::vector<int>& pick : {std::vector<int>{0, 1, 2, 3, 4, 5, 6, 9},
                                         std::vector<int>{3, 5, 9}, std::vector<int>{2}}) {
        Opened o;
        o.ui.signalAnswers.push_back(pick);
        o.Open(path);
        ASSERT_EQ(o.outcome, OpenOutcome::Opened);
        ASSERT_EQ(o.doc.FrameCount(), kFrames);
        ASSERT_EQ(o.doc.Header().ChannelCount, pick.size());
        int mismatches = 0;
        for (std::size_t c = 0; c < pick.size(); ++c) {
            const EdfSignal& s = sigs[static_cast<std::size_t>(pick[c])];
            for (int i = 0; i < kFrames; ++i)
                mismatches += o.At(i, c) != ClampedValue(s, s.samples[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(mismatches, 0) << pick.size() << " channels";
    }
}

TEST(ForeignRecordingTest, BrokenFilesOfEveryKindGiveTheInvalidFileBoxWithTheReason) {
    TempDir dir;
    const std::string edf = test::ReadText(kReal + "/eegmat_edf/Subject00_2.edf");
    const std::string hea = test::ReadText(kReal + "/mitdb/100.hea");
    const std::string dat = test::ReadText(kReal + "/mitdb/100.dat");
    struct Case {
        std::string name, bytes;
    };
    const std::vector<Case> cases = {
        {"cut.edf", edf.substr(0, edf.size() - 1000)},
        {"head.edf", edf.substr(0, 300)},
        {"junk.bdf", std::string(2000, 'x')},
        {"junk.gdf", "GDF 2.20" + std::string(100, '\0')},
        {"junk.scp", std::string(64, '\x7f')},
        {"nosignals.hea", "rec 3 360 100\n"},
        {"badformat.hea", "rec 1\nrec.dat 311 200\n"},
        {"segments.hea", "rec/2 1 360 100\n"},
        {"nodata.hea", "rec 1 360 100\nmissing.dat 16\n"},
    };
    dir.WriteText("100.dat", dat.substr(0, dat.size() / 2));
    dir.WriteText("cut100.hea", hea);  // names 100.dat, here cut in half
    for (const Case& c : cases) dir.WriteText(c.name, c.bytes);
    std::vector<std::string> names = {"cut100.hea"};
    for (const Case& c : cases) names.push_back(c.name);
    for (const std::string& name : names) {
        Opened o;
        o.Open(dir.File(name));
        EXPECT_EQ(o.outcome, OpenOutcome::Invalid) << name;
        EXPECT_FALSE(o.doc.IsOpen()) << name;
        ASSERT_EQ(o.ui.messages.size(), 1u) << name;
        const std::string& text = o.ui.messages[0].text;
        EXPECT_EQ(o.ui.messages[0].title, "Error");
        const std::string head = InvalidFileText(UpperCased(dir.File(name))) + "\n";
        EXPECT_EQ(text.substr(0, head.size()), head) << name;
        EXPECT_GT(text.size(), head.size()) << name;  // the reason on the third line
    }
}

TEST(ForeignRecordingTest, OpenDialogFilterAndRefusalNameTheNewKinds) {
    for (const char* name : {"a.edf", "A.BDF", "x.gdf", "100.hea", "e.SCP"})
        EXPECT_TRUE(LoadableExtension(name)) << name;
    EXPECT_FALSE(LoadableExtension("a.atr"));
    ScriptedUi ui;
    Session session(ui);
    EXPECT_NE(session.openSetup.filter.find("|Other recordings (*.edf *.bdf *.gdf *.hea *.scp)|"),
              std::string::npos);
    // FILEMODE does not apply: the samples are in memory.
    session.document().SetFileBacked(true);
    ASSERT_EQ(OpenSignalFile(session.document(), kReal + "/mitdb/100.hea", ui),
              OpenOutcome::Opened);
    EXPECT_FALSE(session.document().FileBacked());
    EXPECT_EQ(LoadRecording(session.document(), ui).frames, 650000);
}

TEST(ForeignValueRuleTest, ShiftsOnlyWhatDoesNotFitAndRoundsToTheNearestCount) {
    EXPECT_EQ(MakeValueRule(-32768, 32767, 0, 1).shift, 0);
    EXPECT_EQ(MakeValueRule(-32768, 32767, -1, 1).shift, 1);  // 32768 does not fit
    EXPECT_EQ(MakeValueRule(-8388608, 8388607, 0, 1).shift, 8);
    const ValueRule r = MakeValueRule(-2048, 2047, 0.4, 0.5);
    EXPECT_EQ(r.Value(10), 10);  // 9.6 rounds to 10
    EXPECT_EQ(r.Value(-10), -10);
    EXPECT_EQ(r.Value(1e300), 32767);  // a corrupt sample is clamped, not undefined
    EXPECT_EQ(r.Value(std::nan("")), 0);
}

TEST(ForeignValueRuleTest, IntegerDecodeEqualsTheFloatingPointRule) {
    // Zeros ending in .5 round away from zero in the floating-point rule;
    // the integer path must do the same on both sides of zero.
    for (double zero : {0.0, 0.4, -0.5, 0.5, 16383.5, -16383.5, 7.25, -1e6 - 0.5}) {
        for (auto range : {std::pair{-32768.0, 32767.0}, std::pair{-8388608.0, 8388607.0}}) {
            const ValueRule r = MakeValueRule(range.first, range.second, zero, 1);
            ASSERT_TRUE(r.wholeOffset || r.halfOffset) << zero;
            int mismatches = 0;
            for (int32_t d = -70000; d <= 70000; ++d)
                mismatches += r.Value(d) != r.Value(static_cast<double>(d));
            for (int32_t d : {-8388608, 8388607, INT32_MIN / 4, INT32_MAX / 4})
                mismatches += r.Value(d) != r.Value(static_cast<double>(d));
            EXPECT_EQ(mismatches, 0) << zero << " shift " << r.shift;
        }
    }
}

}  // namespace
}  // namespace koru
