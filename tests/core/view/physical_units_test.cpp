// Physical units (the UNITS setting) on MIT-BIH record 100: 360 Hz, 200
// values a millivolt (0.005 mV each), baseline 1024. Expected texts are
// worked by hand from those figures and from the record's own bytes.

#include <gtest/gtest.h>

#include <cstdio>

#include "app/CutoutCommands.h"
#include "app/ReadSettings.h"
#include "app/TimeBaseCommand.h"
#include "export/Amplitude.h"
#include "platform/Profile.h"
#include "support/TempDir.h"
#include "text/UnitText.h"
#include "view/Units.h"
#include "view/ViewFixture.h"

namespace koru {
namespace {

using test::ViewFixture;

const std::string kReal = KORU_REAL_DATA_DIR;

// Record 100 opened in a 1024 x 768 view: slots 69 pixels apart, each
// trace 34 pixels for 500 values (2.5 mV).
struct Mit100 : ViewFixture {
    explicit Mit100(bool units) : ViewFixture(1024, 768) {
        session.settings().units = units ? 1 : 0;
        session.StartUp({});
        session.OpenRecording(kReal + "/mitdb/100.hea", false);
    }
    void Tag(int x) {
        view->OnRightDown(x, 100, false);
        view->OnRightUp(x, 100);
    }
};

// MLII and V5 of frames first..last (both included), from the 212 bytes:
// two 12-bit values in three bytes, the middle byte's nibbles topping them.
std::array<std::pair<int, int>, 2> RawRange(int64_t first, int64_t last) {
    const std::string dat = test::ReadText(kReal + "/mitdb/100.dat");
    std::array<std::pair<int, int>, 2> range{{{4096, -4096}, {4096, -4096}}};
    for (int64_t f = first; f <= last; ++f) {
        const auto* b = reinterpret_cast<const uint8_t*>(dat.data() + 3 * f);
        int v[2] = {b[0] | (b[1] & 0x0F) << 8, b[2] | (b[1] & 0xF0) << 4};
        for (int c = 0; c < 2; ++c) {
            if (v[c] >= 2048) v[c] -= 4096;
            range[c] = {std::min(range[c].first, v[c]), std::max(range[c].second, v[c])};
        }
    }
    return range;
}

TEST(UnitTextTest, DurationsRatesAndValues) {
    EXPECT_EQ(DurationText(827'777.8), "827.8 ms");
    EXPECT_EQ(DurationText(999'949), "999.9 ms");
    EXPECT_EQ(DurationText(999'950), "1.000 s");  // not "1000.0 ms"
    EXPECT_EQ(DurationText(-2'000'000), "2.000 s");
    EXPECT_EQ(RateText(827'777.8), "72.5/min");
    EXPECT_EQ(RateText(1'000'000), "60.0/min");
    EXPECT_EQ(RateText(0), "");
    struct Case {
        double step;
        int decimals;
    };
    for (const Case& c :
         {Case{0.005, 3}, Case{0.5, 1}, Case{0.1, 1}, Case{2, 0}, Case{0.030518, 2}, Case{1e-9, 6}})
        EXPECT_EQ(DecimalsFor(c.step), c.decimals) << c.step;
    EXPECT_EQ(ValueText(1.25, 3, "mV"), "1.250 mV");
    EXPECT_EQ(ValueText(-0.0001, 3, "mV"), "0.000 mV");  // no "-0.000"
    EXPECT_EQ(ValueText(-12.5, 1, ""), "-12.5");
}

TEST(PhysicalUnitsTest, Mit100TextsWithUnitsOn) {
    Mit100 fx(true);
    ASSERT_TRUE(fx.session.document().IsOpen());
    SignalView& view = *fx.view;

    // One RR interval of 298 samples: 298 / 360 s = 827.78 ms, 60 / that = 72.48 a minute.
    EXPECT_EQ(view.LabelOf(MeasurementLine{1000, 60, 1298, 60}), "298 = 827.8 ms = 72.5/min");
    // Straight up 68 pixels over slot 1 (baseline 69): 68 * 500 / 34 = 1000
    // values, 5 mV; over slot 2 (138) V5 at the same scale.
    EXPECT_EQ(view.LabelOf(MeasurementLine{400, 35, 400, 103}), "0 = 5.000 mV");
    EXPECT_EQ(view.LabelOf(MeasurementLine{400, 172, 404, 138}), "4 = 2.500 mV");

    // The readout at column 0: frame 0, whose values the header states
    // (995 and 1011 less the baseline 1024: -29 and -13 values).
    EXPECT_EQ(view.ReadoutAt(0), "00:00.000  MLII -0.145 mV  V5 -0.065 mV");
    view.OnMouseMove(0, 50);
    EXPECT_EQ(fx.ui.fields[Field::Readout], "00:00.000  MLII -0.145 mV  V5 -0.065 mV");
    EXPECT_EQ(view.ReadoutAt(-1), "");

    // Tags at columns 90 and 270 of 40 samples a division: frames 360 and 1080.
    fx.Tag(270);
    EXPECT_EQ(fx.ui.fields[Field::Cut], "00:03.000");
    fx.Tag(90);
    EXPECT_EQ(fx.ui.fields[Field::Cut], "00:01.000 to 00:03.000 = 2.000 s");

    MeasureAmplitudeCommand(fx.session, view.CurrentCutout());
    ASSERT_EQ(fx.ui.amplitudeLinesShown.size(), 1u);
    const auto range = RawRange(360, 1080);
    for (int c = 0; c < 2; ++c) {
        const int p =
            range[static_cast<std::size_t>(c)].second - range[static_cast<std::size_t>(c)].first;
        char want[64];
        std::snprintf(want, sizeof want, "Channel %d:  %d = %.3f mV", c + 1, p, p * 0.005);
        EXPECT_EQ(fx.ui.amplitudeLinesShown[0][static_cast<std::size_t>(c)], want);
        EXPECT_GT(p, 100) << "a second of ECG has beats in it";
    }
    EXPECT_EQ(fx.ui.amplitudeLinesShown[0][2], "Channel 3:  0");
    EXPECT_EQ(fx.ui.amplitudeExplanation, kAmplitudeUnitExplanation);
}

TEST(PhysicalUnitsTest, Mit100TextsUnchangedWithoutUnits) {
    Mit100 fx(false);
    ASSERT_TRUE(fx.session.document().IsOpen());
    EXPECT_EQ(fx.view->LabelOf(MeasurementLine{1000, 60, 1298, 60}), "298");
    EXPECT_EQ(fx.view->LabelOf(MeasurementLine{400, 35, 400, 103}), "0");
    fx.view->OnMouseMove(0, 50);
    EXPECT_EQ(fx.ui.fields.count(Field::Readout), 0u);
    fx.Tag(270);
    fx.Tag(90);
    EXPECT_EQ(fx.ui.fields[Field::Cut], "00:01.000 to 00:03.000");
    MeasureAmplitudeCommand(fx.session, fx.view->CurrentCutout());
    EXPECT_EQ(fx.ui.amplitudesShown.size(), 1u);
    EXPECT_TRUE(fx.ui.amplitudeLinesShown.empty());
}

TEST(PhysicalUnitsTest, CalibrationBarIsOneMillivoltAtTheLeftOfEachTrace) {
    Mit100 fx(true);
    fx.TracesOnly();
    fx.view->SetScroll(5, 0);  // away from the start: the bars stay at the left
    const RasterCanvas& pic = fx.Full();
    // 1 mV = 200 values = 200 * 34 / 500 = 13.6, drawn 14 pixels high.
    for (std::size_t ch = 0; ch < 2; ++ch) {
        const ColorRef colour = fx.session.channels().ShownColor(ch);
        const int base = 69 * static_cast<int>(ch + 1);
        EXPECT_EQ(pic.GetPixel(2, base - 14), colour) << ch;
        EXPECT_EQ(pic.GetPixel(5, base - 14), colour) << ch;
        EXPECT_EQ(pic.GetPixel(7, base - 7), colour) << ch;
        EXPECT_NE(pic.GetPixel(5, base - 15), colour) << ch;
    }
    struct Case {
        ChannelScale scale;
        int64_t size, divisor;
        int maxPixels;
        std::optional<double> amount;
        int pixels;
    };
    for (const Case& c :
         std::vector<Case>{{{0.005, "mV"}, 34, 500, 60, 1.0, 14},
                           {{0.005, "mV"}, 20, 160, 60, 1.0, 25},  // 200 values * 20 / 160
                           {{0.005, "mV"}, 20, 160, 20, 0.5, 13},  // 25 px over 20: 0.5 mV, 12.5 px
                           {{0.1, "uV"}, 20, 160, 60, 20.0, 25},  // 1000 uV = 1250 px; 50 uV = 62.5
                           {{1, "degC"}, 20, 1, 60, 1.0, 20},     // 1 of its own unit
                           {{1, ""}, 20, 160, 60, std::nullopt, 0},       // under two pixels
                           {{0, "mV"}, 20, 160, 60, std::nullopt, 0}}) {  // no scale
        const std::optional<Calibration> got =
            CalibrationFor(c.scale, c.size, c.divisor, c.maxPixels);
        ASSERT_EQ(got.has_value(), c.amount.has_value()) << c.scale.unit;
        if (!got) continue;
        EXPECT_DOUBLE_EQ(got->amount, *c.amount) << c.scale.unit;
        EXPECT_EQ(got->pixels, c.pixels) << c.scale.unit;
        EXPECT_EQ(got->standard, *c.amount == (c.scale.unit == "uV" ? 1000.0 : 1.0));
    }
    // A labelled bar leaves its label's room: 50 uV (62.5 px) fits 70, not 70 less 26.
    const std::optional<Calibration> labelled = CalibrationFor({0.1, "uV"}, 20, 160, 70, 26);
    ASSERT_TRUE(labelled);
    EXPECT_DOUBLE_EQ(labelled->amount, 20.0);
    EXPECT_TRUE(CalibrationFor({0.005, "mV"}, 20, 160, 26, 26)->standard);  // 25 px, no label
    EXPECT_EQ(CalibrationLabel(Calibration{100, 13, false}, ChannelScale{0.1, "uV"}), "100 uV");
    EXPECT_EQ(CalibrationLabel(Calibration{0.1, 3, false}, ChannelScale{0.005, "mV"}), "0.1 mV");
}

TEST(PaperGridTest, LinesAndScaleFromTheDpi) {
    // 96 dpi: 3.7795 pixels a millimetre; line k on the pixel holding k mm.
    const std::vector<std::pair<int64_t, GridLine>> at96 = {
        {0, GridLine::Major}, {1, GridLine::None},   {3, GridLine::Minor},  {4, GridLine::None},
        {7, GridLine::Minor}, {11, GridLine::Minor}, {15, GridLine::Minor}, {18, GridLine::Major},
        {19, GridLine::None}, {37, GridLine::Major}, {-4, GridLine::Minor}};
    for (const auto& [pos, kind] : at96) EXPECT_EQ(GridLineAt(pos, 96 / 25.4), kind) << pos;
    // 254 dpi: exactly ten pixels a millimetre.
    for (const auto& [pos, kind] : std::vector<std::pair<int64_t, GridLine>>{
             {10, GridLine::Minor}, {9, GridLine::None}, {50, GridLine::Major}})
        EXPECT_EQ(GridLineAt(pos, 10), kind) << pos;

    // 25 mm/s at 96 dpi is 94.49 px/s: a 10-pixel division is 0.10583 s,
    // 38.1 frames at 360 Hz; 10 mm/mV is 37.8 px.
    const PaperScale paper = PaperScaleFor(96, FrameClock::FromRate(360));
    EXPECT_NEAR(paper.samplesPerDivision, 38.1, 0.01);
    EXPECT_NEAR(paper.pixelsPerMillivolt, 37.795, 0.001);
    Mit100 fx(true);
    EXPECT_EQ(fx.view->PaperGridNotice(),
              "ECG paper at 96 dpi: 25 mm/s is 38.1 samples/div (shown 40), 10 mm/mV is 37.8 "
              "px/mV (shown 13.6)");
    // Drawn on the picture: major lines at columns 0 and 18, none at 1.
    fx.TracesOnly();
    fx.session.settings().paperGrid = 1;
    const RasterCanvas& pic = fx.Full();
    EXPECT_NE(pic.GetPixel(18, 300), fx.Background());
    EXPECT_EQ(pic.GetPixel(18, 300), pic.GetPixel(0, 301));
    EXPECT_EQ(pic.GetPixel(1, 301), fx.Background());
}

TEST(SizeStepsTest, CtrlWheelSizesTheChannelUnderThePointer) {
    EXPECT_EQ(ZoomPermille(0), 1000);
    EXPECT_EQ(ZoomPermille(1), 1091);  // 2^(1/8)
    EXPECT_EQ(ZoomPermille(8), 2000);
    EXPECT_EQ(ZoomPermille(-8), 500);
    Mit100 fx(true);
    SignalView& view = *fx.view;
    EXPECT_TRUE(view.OnZoom(8, 140));  // nearest slot 2 (138): V5
    EXPECT_EQ(view.ZoomStep(0), 0);
    EXPECT_EQ(view.ZoomStep(1), 8);
    const ShownTraceScale v5 = view.ShownScale(1);
    EXPECT_EQ(int64_t{1000} * v5.size / v5.divisor, 2 * 1000 * 34 / 500);  // twice as tall
    // The vertical label follows: 68 px over slot 2 is now half of 5 mV.
    EXPECT_EQ(view.LabelOf(MeasurementLine{400, 104, 400, 172}), "0 = 2.500 mV");
    EXPECT_TRUE(view.OnKeyDown(kKeySubtract));  // pointer last seen nowhere: slot 1
    EXPECT_EQ(view.ZoomStep(0), -1);
    EXPECT_TRUE(view.OnZoom(1000, 140));
    EXPECT_EQ(view.ZoomStep(1), kMaxZoomStep);
    EXPECT_FALSE(view.OnZoom(1, 140));
    fx.session.OpenRecording(kReal + "/mitdb/100.hea", false);  // a new recording: no steps
    EXPECT_EQ(view.ZoomStep(1), 0);
}

TEST(SizeStepsTest, CtrlShiftWheelStepsTheTimeBaseToTwoWiderOnes) {
    Mit100 fx(true);
    TimeBase& tb = fx.session.timeBase();
    std::vector<int32_t> seen;
    while (StepTimeBase(fx.session, *fx.view, -1)) seen.push_back(tb.Spd());
    EXPECT_EQ(seen, (std::vector<int32_t>{80, 160, 320, 640, 1280, 2560}));
    EXPECT_EQ(fx.ui.fields[Field::SampPerDiv], "2560");
    EXPECT_EQ(tb.Index(), -TimeBase::kWideEntries);
    EXPECT_TRUE(StepTimeBase(fx.session, *fx.view, 100));
    EXPECT_EQ(tb.Spd(), 10);
    // The dialog still offers the seven.
    EXPECT_EQ(TimeBase::kEntries, 7);
    EXPECT_EQ(tb.Entry(0), 640);
}

TEST(UnitsSettingTest, OnForANewSettingsFileOnlyExistingOnesReadOff) {
    struct Case {
        const char* name;
        std::optional<std::string> file;  // none: the first start creates it
        uint8_t units;
    };
    for (const Case& c : std::vector<Case>{
             {"first start", std::nullopt, 1},
             {"file without the key", std::string("[SYSTEM]\r\nVERSION=95.400\r\n"), 0},
             {"old file being upgraded", std::string("[SYSTEM]\r\nDOTS=1\r\n"), 0},
             {"UNITS=0", std::string("[SYSTEM]\r\nVERSION=95.400\r\nUNITS=0\r\n"), 0},
             {"UNITS=1", std::string("[SYSTEM]\r\nVERSION=95.400\r\nUNITS=1\r\n"), 1}}) {
        test::TempDir dir;
        const std::string ini = dir.File("koruview.INI");
        if (c.file) dir.WriteText("koruview.INI", *c.file);
        Settings settings;
        ChannelModel channels;
        ReadSettings(ini, dir.path(), settings, channels);
        EXPECT_EQ(settings.units, c.units) << c.name;
        // Only the created file gains the key.
        EXPECT_EQ(ProfileReadString(ini, "SYSTEM", "UNITS", "absent", 79),
                  !c.file ? "1"
                          : (c.file->find("UNITS") != std::string::npos
                                 ? std::string(1, static_cast<char>('0' + c.units))
                                 : "absent"))
            << c.name;
    }
}

}  // namespace
}  // namespace koru
