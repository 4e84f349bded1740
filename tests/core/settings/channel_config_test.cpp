#include <gtest/gtest.h>

#include "config/ChannelConfig.h"

namespace koru {
namespace {

TEST(ChannelConfig, StartValuesMatchTheCompiledInTables) {
    const ChannelModel m;
    EXPECT_EQ(m.current[0], (ChannelRecord{1, 1, 9, 5, 0}));
    EXPECT_EQ(m.current[4], (ChannelRecord{15, 5, 13, 5, 0}));
    EXPECT_EQ(m.current[7], (ChannelRecord{14, 8, 14, 5, 0}));
    EXPECT_EQ(m.working, m.current);
    EXPECT_EQ(m.LeadNameOf(m.current[4]), "Ventr-Bi");
    EXPECT_EQ(m.leadNames.Name(9), "V6x");
    EXPECT_EQ(m.leadNames.Name(19), "Map3");
    EXPECT_EQ(m.colors.Entry(6).Name, "Brown");
    EXPECT_EQ(m.colors.Ref(6), Rgb(128, 64, 0));
    EXPECT_EQ(m.colors.Entry(13).Name, "Lt. Mag.");
    EXPECT_EQ(m.colors.Ref(15), 0xFFFFFFu);
    EXPECT_EQ(m.colors.Ref(1), 0x800000u);  // blue sits in the high byte
}

TEST(ChannelConfig, OutOfRangeIndicesNeverReachTheTables) {
    ChannelModel m;
    for (int32_t bad : {-1, 20, 99, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(m.leadNames.Name(bad), "<none>") << bad;
    }
    for (int32_t bad : {-1, 16, 99, INT32_MIN}) {
        EXPECT_FALSE(ValidColor(bad)) << bad;
        EXPECT_EQ(m.colors.Entry(bad).Name, "<none>") << bad;
    }
    m.leadNames.Set(20, "ignored");
    m.colors.Set(-1, "ignored", 1, 2, 3);
    EXPECT_EQ(m.leadNames.Name(19), "Map3");
    EXPECT_EQ(m.colors.Entry(0).Name, "Black");

    // A record keeps an out-of-range value but is not drawn with it.
    ChannelRecord r{99, 3, 99, 5, 0};
    EXPECT_FALSE(IsDrawable(r));
    EXPECT_EQ(m.LeadNameOf(r), "<none>");
    r.DisplayColor = 15;
    EXPECT_TRUE(IsDrawable(r));
    r.DisplayPosition = 0;  // hidden, everything else stays
    EXPECT_FALSE(IsDrawable(r));
    EXPECT_FALSE(ValidPosition(9));
    EXPECT_TRUE(ValidSize(20));
    EXPECT_FALSE(ValidSize(0));
}

TEST(ChannelConfig, NamesAreCutToTheirFifteenCharacterSlot) {
    ChannelModel m;
    m.leadNames.Set(3, "ABCDEFGHIJKLMNOPQRS");
    m.colors.Set(2, "0123456789abcdefXYZ", 1, 2, 3);
    EXPECT_EQ(m.leadNames.Name(3), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(m.colors.Entry(2).Name, "0123456789abcde");
    EXPECT_EQ(m.colors.Ref(2), 0x030201u);
}

TEST(ChannelConfig, CopiesBetweenCurrentAndWorkingAreWhole) {
    ChannelModel m;
    m.working[2] = ChannelRecord{7, 0, 99, -4, 1};
    m.CopyWorkingToCurrent();
    EXPECT_EQ(m.current[2], (ChannelRecord{7, 0, 99, -4, 1}));
    m.current[7].HasMarker = 1;
    m.CopyCurrentToWorking();
    EXPECT_EQ(m.working, m.current);
}

TEST(ChannelConfig, RecordTextStopsAtTheFirstMismatch) {
    ChannelRecord r{1, 2, 3, 4, 5};
    EXPECT_EQ(FormatChannelRecord(ChannelRecord{-1, 0, 15, 20, 1}), "-1,0,15,20,1");
    EXPECT_EQ(ParseChannelRecord(" 7, 8,9,10,0,extra", r), 5);
    EXPECT_EQ(r, (ChannelRecord{7, 8, 9, 10, 0}));

    r = ChannelRecord{1, 2, 3, 4, 5};
    EXPECT_EQ(ParseChannelRecord("7,3,x,5,1", r), 2);
    EXPECT_EQ(r, (ChannelRecord{7, 3, 3, 4, 5}));

    r = ChannelRecord{1, 2, 3, 4, 5};
    EXPECT_EQ(ParseChannelRecord("6 ,9", r), 1);  // a comma must follow its number at once
    EXPECT_EQ(r, (ChannelRecord{6, 2, 3, 4, 5}));
    EXPECT_EQ(ParseChannelRecord("", r), 0);
    EXPECT_EQ(ParseChannelRecord("99999999999,-99999999999", r), 2);
    EXPECT_EQ(r.LeadName, INT32_MAX);
    EXPECT_EQ(r.DisplayPosition, INT32_MIN);
}

}  // namespace
}  // namespace koru
