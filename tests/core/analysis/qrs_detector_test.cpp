// The beat detector against the reference beats of real records, on beats it
// cannot know in advance (generated at several rates), and pushed in blocks of
// any size. Reference beats are decoded from the .atr bytes here and matched
// with a small scorer of the test's own.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analysis/Beats.h"
#include "app/Session.h"
#include "signal/OpenFlow.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"

namespace koru {
namespace {

const std::string kReal = KORU_REAL_DATA_DIR;

// Beat codes as the standard beat-by-beat comparison counts them: normal,
// bundle branch, premature, escape, paced, fusion, unclassified ... (the
// flutter wave, 31, is no beat there).
bool IsBeat(unsigned code) {
    return (code >= 1 && code <= 13) || code == 25 || code == 30 || code == 34 || code == 35 ||
           code == 38 || code == 41;
}

// Frames of the beats in an MIT annotation file: 16-bit little-endian words,
// code in the top six bits, time step in the low ten; 59 carries a 32-bit
// step in the next two words (high word first), 63 a text of n bytes.
std::vector<int64_t> ReferenceBeats(const std::string& atr) {
    std::vector<int64_t> out;
    int64_t t = 0;
    const auto word = [&](std::size_t k) {
        return static_cast<unsigned>(static_cast<uint8_t>(atr[k]) | static_cast<uint8_t>(atr[k + 1])
                                                                        << 8);
    };
    for (std::size_t i = 0; i + 1 < atr.size();) {
        const unsigned w = word(i), a = w >> 10, n = w & 0x3FF;
        i += 2;
        if (w == 0) break;
        if (a == 59) {
            t += static_cast<int32_t>(word(i) << 16 | word(i + 2));
            i += 4;
        } else if (a == 63) {
            i += n + (n & 1);
        } else if (a < 59) {
            t += n;
            if (IsBeat(a)) out.push_back(t);
        }
    }
    return out;
}

struct Score {
    int64_t tp = 0, fn = 0, fp = 0;
    Score& operator+=(const Score& o) {
        tp += o.tp, fn += o.fn, fp += o.fp;
        return *this;
    }
    double Se() const { return 100.0 * static_cast<double>(tp) / static_cast<double>(tp + fn); }
    double Pp() const { return 100.0 * static_cast<double>(tp) / static_cast<double>(tp + fp); }
};

// Each reference beat from `from` on takes the nearest untaken detection
// within `window` frames; what is left over counts against.
Score Match(const std::vector<int64_t>& ref, const std::vector<int64_t>& got, int64_t from,
            int64_t window) {
    Score s;
    std::vector<bool> taken(got.size());
    std::size_t j = 0;
    for (const int64_t r : ref) {
        if (r < from) continue;
        while (j < got.size() && got[j] < r - window) ++j;
        std::size_t best = got.size();
        for (std::size_t k = j; k < got.size() && got[k] <= r + window; ++k)
            if (!taken[k] && (best == got.size() || std::abs(got[k] - r) < std::abs(got[best] - r)))
                best = k;
        if (best == got.size()) {
            ++s.fn;
        } else {
            taken[best] = true;
            ++s.tp;
        }
    }
    for (std::size_t k = 0; k < got.size(); ++k)
        s.fp += !taken[k] && got[k] >= from && got[k] <= ref.back() + window;
    return s;
}

struct Record {
    test::ScriptedUi ui;
    SignalDocument doc;
    explicit Record(const std::string& hea) {
        if (OpenSignalFile(doc, hea, ui) == OpenOutcome::Opened) LoadRecording(doc, ui);
    }
    std::vector<float> Channel(std::size_t c) const {
        std::vector<float> out;
        FrameSpans spans(doc, 0);
        for (auto run = spans.Next(4096); !run.empty(); run = spans.Next(4096))
            for (const Frame& f : run) out.push_back(f[c] * doc.Header().Scale[c]);
        return out;
    }
};

TEST(QrsDetectorTest, RealRecordsScoreAtLeast995PercentBothWays) {
    Score gross;
    for (const char* rec : {"mitdb/100", "mitdb/208"}) {
        SCOPED_TRACE(rec);
        Record r(kReal + "/" + rec + ".hea");
        ASSERT_GT(r.doc.FrameCount(), 0);
        const double rate = FrameRate(r.doc.Header());
        const std::vector<int64_t> ref = ReferenceBeats(test::ReadText(kReal + "/" + rec + ".atr"));
        ASSERT_GT(ref.size(), 1500u);
        // Scored from five minutes on, within 150 ms, as the field scores detectors.
        const Score s =
            Match(ref, DetectBeats(r.doc, 0), std::llround(300 * rate), std::llround(0.15 * rate));
        EXPECT_GT(s.tp, 1000);
        gross += s;
    }
    EXPECT_GE(gross.Se(), 99.5) << gross.tp << " found, " << gross.fn << " missed";
    EXPECT_GE(gross.Pp(), 99.5) << gross.tp << " found, " << gross.fp << " false";
}

TEST(QrsDetectorTest, BlocksOfAnySizeGiveTheBeatsOfOneBlock) {
    Record r(kReal + "/mitdb/100.hea");
    const std::vector<float> x = r.Channel(0);
    ASSERT_EQ(x.size(), 650000u);
    const double rate = FrameRate(r.doc.Header());
    std::vector<int64_t> whole;
    QrsDetector one(rate);
    one.Push(x, whole);
    one.Finish(whole);
    ASSERT_GT(whole.size(), 2000u);
    for (const std::size_t size : {1u, 7u, 4096u}) {
        SCOPED_TRACE(size);
        std::vector<int64_t> beats;
        QrsDetector d(rate);
        for (std::size_t i = 0; i < x.size(); i += size)
            d.Push(std::span<const float>(x).subspan(i, std::min(size, x.size() - i)), beats);
        d.Finish(beats);
        EXPECT_EQ(beats, whole);
    }
}

// Generated ECG: narrow QRS pulses with a broad T wave, RR varying between
// 0.6 and 1.1 s, baseline wander and a little noise; every beat found within
// 50 ms, none added, from the first on, at any rate from 100 Hz up.
TEST(QrsDetectorTest, GeneratedBeatsAreFoundAtEveryRate) {
    for (const double rate : {100.0, 128.0, 250.0, 360.0, 500.0, 1000.0, 2000.0}) {
        SCOPED_TRACE(rate);
        const auto n = static_cast<std::size_t>(120 * rate);
        std::vector<float> x(n);
        std::vector<int64_t> truth;
        uint32_t noise = 12345;
        for (double t = 0.5; t < 119; t += 0.6 + 0.5 * std::abs(std::sin(t)))
            truth.push_back(std::llround(t * rate));
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / rate;
            double v = 0.3 * std::sin(2 * std::numbers::pi * 0.25 * t);
            noise = noise * 1664525u + 1013904223u;
            v += 0.02 * (static_cast<double>(noise >> 8) / (1 << 24) - 0.5);
            for (const int64_t b : truth) {
                const double d = t - static_cast<double>(b) / rate;
                if (d < -0.2 || d > 0.6) continue;
                v += 1.2 * std::exp(-d * d / (2 * 0.012 * 0.012)) +
                     0.3 * std::exp(-(d - 0.3) * (d - 0.3) / (2 * 0.05 * 0.05));
            }
            x[i] = static_cast<float>(v);
        }
        std::vector<int64_t> got;
        QrsDetector d(rate);
        d.Push(x, got);
        d.Finish(got);
        const Score s = Match(truth, got, 0, std::llround(0.05 * rate));
        EXPECT_EQ(s.fn, 0);
        EXPECT_EQ(s.fp, 0);
        EXPECT_GT(s.tp, 100);
        // Shorter than the learning time: the same first two beats, at the end.
        const auto shortEnd = static_cast<std::size_t>(1.9 * rate);
        std::vector<int64_t> head;
        QrsDetector brief(rate);
        brief.Push(std::span<const float>(x).first(shortEnd), head);
        brief.Finish(head);
        EXPECT_EQ(head, std::vector<int64_t>(got.begin(), got.begin() + 2));
    }
}

TEST(QrsDetectorTest, RrSeriesGivesSecondsAndRate) {
    const std::vector<int64_t> beats{100, 350, 600, 1100};
    const std::vector<RrPoint> rr = RrSeries(beats, 250);
    ASSERT_EQ(rr.size(), 3u);
    EXPECT_EQ(rr[0].frame, 350);
    EXPECT_DOUBLE_EQ(rr[0].time, 1.4);
    EXPECT_DOUBLE_EQ(rr[0].rr, 1.0);
    EXPECT_DOUBLE_EQ(rr[0].rate, 60.0);
    EXPECT_DOUBLE_EQ(rr[2].rr, 2.0);
    EXPECT_DOUBLE_EQ(rr[2].rate, 30.0);
    EXPECT_TRUE(RrSeries(std::vector<int64_t>{5}, 250).empty());
}

}  // namespace
}  // namespace koru
