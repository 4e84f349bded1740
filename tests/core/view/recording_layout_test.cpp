#include <gtest/gtest.h>

#include <set>

#include "support/EdfFile.h"
#include "view/RecordingLayout.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::EdfSignal;
using test::ViewFixture;

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

// A flat signal of one-second records at 10 samples a second.
EdfSignal Flat(const std::string& label, double physMin, double physMax, int32_t digMin,
               int32_t digMax) {
    const int32_t mid = static_cast<int32_t>((int64_t{digMin} + digMax) / 2);
    return EdfSignal{label, physMin, physMax, digMin, digMax, std::vector<int32_t>(40, mid), 10};
}

TEST(ScaleToFitTest, TheWholeRangeJustStaysWithinHalfASlot) {
    struct Case {
        int32_t low, high, step;
        TraceScale scale;
    };
    // half a step / the larger of |low| and |high|, at most 20 / 160.
    for (const Case& c : std::vector<Case>{{-2048, 2048, 69, {34, 2048}},
                                           {0, 1000, 69, {34, 1000}},
                                           {-1000, 10, 69, {34, 1000}},
                                           {-32768, 32767, 69, {34, 32768}},  // finer than size 1
                                           {-1024, 1023, 98, {49, 1024}},
                                           {-272, 272, 69, {20, 160}},  // 34 / 272 = 20 / 160
                                           {-10, 10, 69, {20, 160}},
                                           {0, 0, 69, {20, 160}}}) {
        const TraceScale got = ScaleToFit(c.low, c.high, c.step);
        EXPECT_EQ(got, c.scale) << c.low << ".." << c.high;
        const int64_t reach = std::max(std::abs(c.low), std::abs(c.high));
        EXPECT_LE(reach * got.size / got.divisor, c.step / 2) << c.low << ".." << c.high;
    }
}

TEST(RecordingLayoutTest, AForeignRecordingGetsOneSlotPerSignalWithItsLabels) {
    ViewFixture fx(1024, 768);  // slots 69 pixels apart
    const std::string edf =
        test::EdfBytes({Flat("ECG MLII", -5, 5, -2048, 2047), Flat("Resp", 0, 10, 0, 1000),
                        Flat("  Tiny  ", -1, 1, -10, 10)},
                       4, false, false);
    fx.session.StartUp({});
    fx.session.OpenRecording(fx.dir.Write("rec.edf", Bytes(edf)), false);
    ASSERT_TRUE(fx.session.document().IsOpen());
    const ChannelModel& model = fx.session.channels();
    ASSERT_TRUE(model.recording.has_value());
    const ChannelConfig& shown = model.Shown();
    const std::vector<std::string> names = {"ECG MLII", "Resp", "Tiny"};
    // In half a slot of 34 pixels: 2.5 mV of the +-5 mV ECG (1024 values);
    // Resp's 2.5 mV is 250 values and Tiny's whole range 10, both under the
    // largest size.
    const std::vector<std::pair<int32_t, int32_t>> scales = {{34, 1024}, {20, 160}, {20, 160}};
    std::set<ColorRef> colours;
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        if (ch < names.size()) {
            EXPECT_EQ(shown[ch].DisplayPosition, static_cast<int32_t>(ch) + 1) << ch;
            EXPECT_EQ(model.ShownName(ch), names[ch]);
            EXPECT_EQ(shown[ch].DisplaySize, scales[ch].first) << ch;
            EXPECT_EQ(model.ShownDivisor(ch), scales[ch].second) << ch;
            EXPECT_TRUE(IsDrawable(shown[ch]));
            // Readable on black: no colour channel-wise darker than half.
            const ColorRef c = model.ShownColor(ch);
            EXPECT_GE(std::max({RedOf(c), GreenOf(c), BlueOf(c)}), 128) << ch;
            colours.insert(c);
        } else {
            EXPECT_EQ(shown[ch].DisplayPosition, 0) << ch;
            EXPECT_FALSE(IsDrawable(shown[ch]));
        }
    }
    EXPECT_EQ(colours.size(), names.size());

    // The label is what is written at the first slot, in the layout's colour.
    fx.session.settings().names = 1;
    const RasterCanvas& picture = fx.Full();
    int named = 0;
    for (int y = 40; y < 75; ++y)
        for (int x = 10; x < 80; ++x)
            named += picture.GetPixel(x, y) == model.ShownColor(0) ? 1 : 0;
    EXPECT_GT(named, 20);

    // The configured layout is untouched and comes back with a recording of
    // the program's own.
    EXPECT_EQ(fx.session.channels().current[0], DefaultChannelConfig()[0]);
    fx.Open(8, 1000, 100, test::Wander);
    EXPECT_FALSE(model.recording.has_value());
    EXPECT_EQ(&model.Shown(), &model.current);
    EXPECT_EQ(model.ShownName(0), model.leadNames.Name(model.current[0].LeadName));
    EXPECT_EQ(model.ShownColor(0), model.colors.Ref(model.current[0].DisplayColor));
    EXPECT_EQ(model.ShownDivisor(0), 160);
}

TEST(RecordingLayoutTest, ColoursFollowALightBackgroundAndEmptyChoicesDrawNothing) {
    std::vector<ForeignSignal> signals(3);
    for (std::size_t i = 0; i < signals.size(); ++i) {
        signals[i].label = "S" + std::to_string(i);
        signals[i].rule.low = -100;
        signals[i].rule.high = 100;
    }
    const RecordingLayout light =
        MakeRecordingLayout(signals, {2, 0}, 768, DefaultChannelConfig(), Rgb(255, 255, 255));
    EXPECT_EQ(light.names[0], "S2");  // channel 1 is the first signal chosen
    EXPECT_EQ(light.names[1], "S0");
    EXPECT_EQ(light.records[2].DisplayPosition, 0);
    for (std::size_t ch = 0; ch < 2; ++ch) {
        const ColorRef c = light.colors[ch];
        EXPECT_LE(std::max({RedOf(c), GreenOf(c), BlueOf(c)}), 160) << ch;
    }
    const RecordingLayout none =
        MakeRecordingLayout(signals, {7}, 768, DefaultChannelConfig(), Rgb(0, 0, 0));
    EXPECT_EQ(none.records[0].DisplayPosition, 0);  // a choice past the signals
}

// A 12-bit ECG converter of +-10 mV drawn whole leaves the beats a flat line:
// voltage channels are sized for 2.5 mV, other units for their whole range.
TEST(RecordingLayoutTest, VoltageChannelsAreSizedForTheCardiacRange) {
    std::vector<ForeignSignal> signals(4);
    const char* units[] = {"mV", "uV", "mV", "degC"};
    const double perValue[] = {0.005, 5, 0.005, 0.005};  // 2.5 mV = 500 values
    const int32_t high[] = {2047, 2047, 300, 2047};
    for (std::size_t i = 0; i < signals.size(); ++i) {
        signals[i].unit = units[i];
        signals[i].rule.unitsPerValue = perValue[i];
        signals[i].rule.low = -2048;
        signals[i].rule.high = high[i];
    }
    signals[2].rule.low = -300;
    const RecordingLayout layout =
        MakeRecordingLayout(signals, {0, 1, 2, 3}, 768, DefaultChannelConfig(), Rgb(0, 0, 0));
    const int32_t half = SlotStep(768) / 2;
    auto reach = [&](std::size_t ch) {  // values that fill half a slot
        return layout.divisors[ch] * half / layout.records[ch].DisplaySize;
    };
    EXPECT_NEAR(reach(0), 500, 20);
    EXPECT_NEAR(reach(1), 500, 20);
    EXPECT_NEAR(reach(2), 300, 20);  // a range inside 2.5 mV is kept whole
    EXPECT_NEAR(reach(3), 2048, 60);
}

}  // namespace
}  // namespace koru
