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

// Physical value of a digital sample by the header's line through its corners.
double PhysicalOf(const test::EdfRead& s, double digital) {
    return s.physMin + (digital - s.digMin) * (s.physMax - s.physMin) / (s.digMax - s.digMin);
}

TEST(ForeignRecordingTest, EegEdfDeliversTheFirstEightOfItsDataSignalsWithinHalfAStep) {
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
    // Its physical ranges are off centre (-93.352 to 78.81055 over the full
    // 16 bits puts physical zero near digital 2767): measured from zero they
    // need 17 bits, so one bit of shift, and a value is within 1.5 steps.
    // A range whose zero lies within half a step of its centre needs none
    // and stays within half a step.
    int misses = 0, shifted = 0;
    for (std::size_t c = 0; c < 8; ++c) {
        const test::EdfRead& f = file[c];
        const double step = (f.physMax - f.physMin) / (f.digMax - f.digMin);
        const double zero = f.digMin - f.physMin / step;
        const bool shift = f.digMax - zero > 32767.5 || f.digMin - zero < -32768.5;
        shifted += shift;
        const double scale = shift ? 2 * step : step;
        EXPECT_NEAR(o.doc.Header().Scale[c], scale, scale * 1e-6) << c;
        for (std::size_t i = 0; i < 31000; ++i)
            misses += std::abs(o.At(static_cast<int64_t>(i), c) * scale -
                               PhysicalOf(f, f.samples[i])) > step * (shift ? 1.5001 : 0.5001);
    }
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(shifted, 8);
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
    // (d + 32768) / 2 to the nearest, halves up; 32767 + 32768 is past int16.
    const std::vector<int16_t> wide = {0, 1, 1, 16384, 32767, 16385};
    for (int64_t i = 0; i < 6; ++i) {
        EXPECT_EQ(o.At(i, 0), centred[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(o.At(i, 1), offset[static_cast<std::size_t>(i)]) << i;
        EXPECT_EQ(o.At(i, 2), wide[static_cast<std::size_t>(i)]) << i;
    }
    // Annotations at 1.5 s and 0.5 s, in time order, at 3 frames a second.
    EXPECT_EQ(o.doc.Markers().items, (std::vector<int32_t>{2, 5}));  // 1.5 and 4.5 frames rounded
}

TEST(ForeignRecordingTest, BdfShiftsTwentyFourBitsIntoSixteenAndOffersEachRate) {
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
    const std::string path = dir.WriteText("w.bdf", test::EdfBytes(sigs, 2, true, false));
    Opened o;
    o.Open(path);  // the dialog's first ticks: the first signal's rate
    ASSERT_EQ(o.outcome, OpenOutcome::Opened)
        << (o.ui.messages.empty() ? "" : o.ui.messages.back().text);
    ASSERT_EQ(o.ui.signalsShown.size(), 1u);
    ASSERT_EQ(o.ui.signalsShown[0].size(), 2u);
    EXPECT_EQ(o.ui.signalsShown[0][0].rate, 3.0);
    EXPECT_EQ(o.ui.signalsShown[0][1].rate, 6.0);
    EXPECT_EQ(o.doc.Header().ChannelCount, 1);
    EXPECT_FLOAT_EQ(o.doc.Header().Scale[0], 256.0f);  // 8 bits of shift at 1 per count
    // d / 256 to the nearest: -257 is -1.004, 255 is 0.996; the top clamps.
    const std::vector<int16_t> expect = {-32768, -1, -1, 1, 1, 32767};
    for (int64_t i = 0; i < 6; ++i) EXPECT_EQ(o.At(i, 0), expect[static_cast<std::size_t>(i)]) << i;
    EXPECT_TRUE(o.ui.messages.empty());

    Opened fast;  // the other rate alone: its frames, interval and values
    fast.ui.signalAnswers.push_back(std::vector<int>{1});
    fast.Open(path);
    ASSERT_EQ(fast.outcome, OpenOutcome::Opened);
    EXPECT_EQ(fast.doc.FrameCount(), 12);
    EXPECT_EQ(fast.doc.Header().Interval, 166667u);
    for (int64_t i = 0; i < 12; ++i) EXPECT_EQ(fast.At(i, 0), i) << i;

    Opened mixed;  // both rates at once cannot be channels of one recording
    mixed.ui.signalAnswers.push_back(std::vector<int>{0, 1});
    mixed.Open(path);
    EXPECT_EQ(mixed.outcome, OpenOutcome::Cancelled);
    EXPECT_FALSE(mixed.doc.IsOpen());
    ASSERT_EQ(mixed.ui.messages.size(), 1u);
    EXPECT_EQ(mixed.ui.messages[0].text,
              "Signals 1 and 2 are sampled at different rates (3 Hz and 6 Hz); choose signals of "
              "one rate.");
}

// Whether `value` is the delivered value of `digital` on signal `s` shifted
// by `shift`: within half a step of the physical value at shift 0, within
// 2^shift - 0.5 steps past it, at the int16 extreme past the range.
bool WithinTheBound(const EdfSignal& s, int shift, int32_t digital, int16_t value) {
    const double step = (s.physMax - s.physMin) / (s.digMax - s.digMin);
    const double physical = s.physMin + (digital - s.digMin) * step;
    const double exact = std::ldexp(physical / step, -shift);  // in delivered values
    if (exact >= 32767.5) return value == 32767;
    if (exact <= -32768.5) return value == -32768;
    const double bound = shift == 0 ? 0.5 : std::ldexp(1.0, shift) - 0.5;  // in steps
    return std::abs(std::ldexp(value - exact, shift)) <= bound + 1e-9;
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
    // Worked by hand: 0..65535 or -21845..43690 from zero needs one bit.
    std::vector<int> shifts = {0, 0, 1, 1, 0, 1};
    for (int i = 6; i < 10; ++i) {
        sigs.push_back(
            {"Extra" + std::to_string(i), -5, 5, -32768, 32767, samples(i + 1), kPerRecord});
        shifts.push_back(0);
    }
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
        int misses = 0;
        for (std::size_t c = 0; c < pick.size(); ++c) {
            const auto k = static_cast<std::size_t>(pick[c]);
            for (int i = 0; i < kFrames; ++i)
                misses += !WithinTheBound(sigs[k], shifts[k],
                                          sigs[k].samples[static_cast<std::size_t>(i)], o.At(i, c));
        }
        EXPECT_EQ(misses, 0) << pick.size() << " channels";
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

TEST(ForeignRecordingTest, MitBih100ShowsItsLengthAndRateFromTheExactRate) {
    // 650000 frames at 360 Hz are 1805.5555556 s; a whole interval of
    // 2778 us would give 1805.7 s. The length field cuts to milliseconds.
    ScriptedUi ui;
    Session session(ui);
    session.OpenRecording(kReal + "/mitdb/100.hea", false);
    ASSERT_TRUE(session.document().IsOpen());
    EXPECT_EQ(session.document().Header().Interval, 2778u);  // what a ".sig" can hold
    EXPECT_EQ(ui.fields[Field::Length], "Len:30:05.555");
    EXPECT_EQ(ui.fields[Field::Frequency], " 360.0 Hz");
    EXPECT_EQ(session.document().Clock().Micros(360 * 60), 60'000'000);  // a minute, exactly
}

// Worked by hand: digital values and what each must deliver.
struct RuleCase {
    const char* name;
    double lo, hi, zero;
    int shift;
    std::vector<std::pair<double, int16_t>> values;
};

TEST(ForeignValueRuleTest, HandWorkedLayoutsDeliverTheNearestValue) {
    const RuleCase cases[] = {
        // The symmetric 16-bit layout: zero at -0.5; subtracting 0 keeps
        // 32767 in, so no shift, and each value is half a step off.
        {"symmetric", -32768, 32767, -0.5, 0, {{-32768, -32768}, {0, 0}, {32767, 32767}}},
        // Zero at +0.5: 1 is nearer but puts -32768 out; 0 keeps it in.
        {"half up", -32768, 32767, 0.5, 0, {{-32768, -32768}, {5, 5}, {32767, 32767}}},
        {"fraction", -2048, 2047, 0.4, 0, {{10, 10}, {-10, -10}, {1e300, 32767}}},
        // BDF's 24 bits: eight bits of shift, d / 256 to the nearest.
        {"bdf",
         -8388608,
         8388607,
         -0.5,
         8,
         {{-8388608, -32768}, {-129, -1}, {-128, 0}, {127, 0}, {128, 1}, {8388607, 32767}}},
        // 0..65535 from zero 0 cannot fit without a shift; halves round up.
        {"unsigned", 0, 65535, 0, 1, {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {65535, 32767}}},
        // A whole zero one past the top: 32768 does not fit; -16383.5 rounds up.
        {"zero -1", -32768, 32767, -1, 1, {{-32768, -16383}, {32767, 16384}}},
    };
    for (const RuleCase& c : cases) {
        const ValueRule r = MakeValueRule(c.lo, c.hi, c.zero, 0.25);
        EXPECT_EQ(r.shift, c.shift) << c.name;
        EXPECT_EQ(r.unitsPerValue, std::ldexp(0.25, c.shift)) << c.name;
        for (const auto& [digital, value] : c.values)
            EXPECT_EQ(r.Value(digital), value) << c.name << " " << digital;
    }
    EXPECT_EQ(MakeValueRule(-32768, 32767, 0, 1).Value(std::nan("")), 0);
}

TEST(ForeignValueRuleTest, EveryValueOfTheSymmetricLayoutIsWithinHalfAStep) {
    const ValueRule r = MakeValueRule(-32768, 32767, -0.5, 1);
    int misses = 0;
    for (int32_t d = -32768; d <= 32767; ++d) misses += std::abs(r.Value(d) - (d + 0.5)) > 0.5;
    EXPECT_EQ(misses, 0);
}

TEST(ForeignValueRuleTest, IntegerDecodeEqualsTheFloatingPointRule) {
    for (double zero : {0.0, 0.4, -0.5, 0.5, 16383.5, -16383.5, 7.25, -1e6 - 0.5}) {
        for (auto range : {std::pair{-32768.0, 32767.0}, std::pair{-8388608.0, 8388607.0}}) {
            const ValueRule r = MakeValueRule(range.first, range.second, zero, 1);
            ASSERT_TRUE(r.IntegerRule()) << zero;
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
