// The Configure dialog's channel rows, lists and values, without files.

#include <gtest/gtest.h>

#include "config/ConfigureForm.h"

namespace koru {
namespace {

namespace ctl = configure_ctl;

struct FormFixture {
    ChannelModel channels;
    ConfigureForm form{channels.working, channels.leadNames, channels.colors};

    ChannelRecord& rec(int n) { return channels.working[static_cast<std::size_t>(n)]; }
    void SpinTimes(int control, int delta, int times) {
        for (int i = 0; i < times; ++i) form.Spin(control, delta);
    }
};

TEST(ConfigureForm, SetUpShowsTheRecordsWithListsAndValuesAtTheirStart) {
    ChannelModel channels;
    channels.working[2] = ChannelRecord{13, 0, 6, 20, 1};
    channels.working[3].HasMarker = 2;  // only 1 ticks the box
    ConfigureForm form(channels.working, channels.leadNames, channels.colors);

    EXPECT_EQ(form.Text(ctl::kAmpChan + 7), "8");
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "I");
    EXPECT_EQ(form.Text(ctl::kLeadName + 2), "Atrial-Bi");
    EXPECT_EQ(form.Text(ctl::kPosition + 2), "0");
    EXPECT_EQ(form.Text(ctl::kColor + 2), "Brown");
    EXPECT_EQ(form.Text(ctl::kSize + 2), "20");
    EXPECT_EQ(form.Text(ctl::kColor + 6), "Yellow");
    EXPECT_TRUE(form.Checked(ctl::kHasMarker + 2));
    EXPECT_FALSE(form.Checked(ctl::kHasMarker + 3));

    // The lists do not follow any channel.
    ASSERT_EQ(form.Items(ctl::kLeadList).size(), 20u);
    ASSERT_EQ(form.Items(ctl::kColorList).size(), 16u);
    EXPECT_EQ(form.Items(ctl::kLeadList)[9], "V6x");
    EXPECT_EQ(form.Items(ctl::kColorList)[13], "Lt. Mag.");
    EXPECT_EQ(form.Selection(ctl::kLeadList), 0);
    EXPECT_EQ(form.Selection(ctl::kColorList), 4);
    EXPECT_EQ(form.Text(ctl::kPositionValue), "1");
    EXPECT_EQ(form.Text(ctl::kSizeValue), "5");

    // So a lead-name button right away gives "<none>", a colour button red.
    form.Click(ctl::kLeadName + 5);
    form.Click(ctl::kColor + 5);
    EXPECT_EQ(channels.working[5].LeadName, 0);
    EXPECT_EQ(form.Text(ctl::kLeadName + 5), "<none>");
    EXPECT_EQ(channels.working[5].DisplayColor, 4);
    EXPECT_EQ(form.Text(ctl::kColor + 5), "Red");
}

TEST(ConfigureForm, IndexesOutsideTheTablesShowNoneAndAreKeptUntilReplaced) {
    ChannelModel channels;
    channels.working[0] = ChannelRecord{20, 9, 16, 0, 0};
    channels.working[1] = ChannelRecord{-1, -3, -1, 77, 0};
    ConfigureForm form(channels.working, channels.leadNames, channels.colors);
    for (int n : {0, 1}) {
        EXPECT_EQ(form.Text(ctl::kLeadName + n), "<none>");
        EXPECT_EQ(form.Text(ctl::kColor + n), "<none>");
    }
    EXPECT_EQ(form.Text(ctl::kPosition + 1), "-3");
    EXPECT_EQ(form.Text(ctl::kSize + 1), "77");
    form.Click(ctl::kSize + 0);  // another field of the same channel
    EXPECT_EQ(channels.working[0], (ChannelRecord{20, 9, 16, 5, 0}));
    form.Select(ctl::kLeadList, 3);
    form.Click(ctl::kLeadName + 0);
    EXPECT_EQ(channels.working[0].LeadName, 3);
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "III");
}

TEST(ConfigureForm, EachButtonAppliesItsOwnFieldAndAmpChanAllButTheMarker) {
    FormFixture fx;
    fx.form.Select(ctl::kLeadList, 12);
    fx.form.Select(ctl::kColorList, 15);
    fx.SpinTimes(ctl::kPositionSpin, +1, 2);
    fx.SpinTimes(ctl::kSizeSpin, -1, 3);
    const ChannelConfig before = fx.channels.working;

    struct Case {
        int first;
        ChannelRecord want;
        const char* caption;
    };
    const Case cases[] = {
        {ctl::kLeadName, {12, 2, 10, 5, 0}, "aVF"},
        {ctl::kPosition, {2, 3, 10, 5, 0}, "3"},
        {ctl::kColor, {2, 2, 15, 5, 0}, "White"},
        {ctl::kSize, {2, 2, 10, 2, 0}, "2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.first);
        fx.channels.working = before;
        fx.form.Show();
        fx.form.Click(c.first + 1);
        EXPECT_EQ(fx.rec(1), c.want);
        EXPECT_EQ(fx.form.Text(c.first + 1), c.caption);
        for (int n : {0, 2, 7}) EXPECT_EQ(fx.rec(n), before[static_cast<std::size_t>(n)]);
    }

    fx.channels.working = before;
    fx.rec(4).HasMarker = 1;
    fx.form.Show();
    fx.form.Click(ctl::kAmpChan + 4);
    EXPECT_EQ(fx.rec(4), (ChannelRecord{12, 3, 15, 2, 1}));
    EXPECT_TRUE(fx.form.Checked(ctl::kHasMarker + 4));
    EXPECT_EQ(fx.form.Text(ctl::kLeadName + 4), "aVF");
    EXPECT_EQ(fx.form.Text(ctl::kPosition + 4), "3");
    EXPECT_EQ(fx.form.Text(ctl::kColor + 4), "White");
    EXPECT_EQ(fx.form.Text(ctl::kSize + 4), "2");
}

TEST(ConfigureForm, ValuesStayInTheirRangesHoweverOftenTheArrowsAreClicked) {
    FormFixture fx;
    fx.SpinTimes(ctl::kPositionSpin, +1, 30);
    EXPECT_EQ(fx.form.Text(ctl::kPositionValue), "8");
    fx.form.Spin(ctl::kPositionSpin, -1);
    EXPECT_EQ(fx.form.Text(ctl::kPositionValue), "7");
    fx.SpinTimes(ctl::kPositionSpin, -1, 30);
    EXPECT_EQ(fx.form.Text(ctl::kPositionValue), "0");
    fx.form.Spin(ctl::kPositionSpin, +1);
    EXPECT_EQ(fx.form.Text(ctl::kPositionValue), "1");
    fx.SpinTimes(ctl::kSizeSpin, +1, 40);
    EXPECT_EQ(fx.form.Text(ctl::kSizeValue), "20");
    fx.SpinTimes(ctl::kSizeSpin, -1, 40);
    EXPECT_EQ(fx.form.Text(ctl::kSizeValue), "1");
    fx.form.Spin(ctl::kSizeSpin, INT32_MAX);
    fx.form.Spin(ctl::kPositionSpin, INT32_MIN);
    EXPECT_EQ(fx.form.Text(ctl::kSizeValue), "20");
    EXPECT_EQ(fx.form.Text(ctl::kPositionValue), "0");

    // Position 0 is a value a channel can take: it hides the trace.
    fx.form.Click(ctl::kPosition + 3);
    EXPECT_EQ(fx.rec(3).DisplayPosition, 0);
    EXPECT_EQ(fx.form.Text(ctl::kPosition + 3), "0");
}

TEST(ConfigureForm, NamesFromAListShowFourteenCharactersAndWholeWhenShownAgain) {
    ChannelModel channels;
    channels.leadNames.Set(19, "ABCDEFGHIJKLMNO");
    channels.colors.Set(15, "Snow White Pure", 250, 250, 250);
    ConfigureForm form(channels.working, channels.leadNames, channels.colors);
    form.Select(ctl::kLeadList, 19);
    form.Select(ctl::kColorList, 15);
    form.Click(ctl::kAmpChan + 0);
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "ABCDEFGHIJKLMN");
    EXPECT_EQ(form.Text(ctl::kColor + 0), "Snow White Pur");
    EXPECT_EQ(channels.working[0].LeadName, 19);
    EXPECT_EQ(channels.working[0].DisplayColor, 15);
    form.Show();
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(form.Text(ctl::kColor + 0), "Snow White Pure");

    // Choices outside the lists are not taken.
    form.Select(ctl::kLeadList, 20);
    form.Select(ctl::kColorList, -1);
    EXPECT_EQ(form.Selection(ctl::kLeadList), 19);
    EXPECT_EQ(form.Selection(ctl::kColorList), 15);
}

TEST(ConfigureForm, MarkerBoxSetsOnlyItsOwnChannelsFlag) {
    FormFixture fx;
    fx.rec(6).HasMarker = 7;  // not 1: shown unticked
    fx.form.Show();
    fx.form.Click(ctl::kHasMarker + 6);
    EXPECT_TRUE(fx.form.Checked(ctl::kHasMarker + 6));
    EXPECT_EQ(fx.rec(6).HasMarker, 1);
    fx.form.Click(ctl::kHasMarker + 6);
    EXPECT_FALSE(fx.form.Checked(ctl::kHasMarker + 6));
    EXPECT_EQ(fx.rec(6).HasMarker, 0);
    EXPECT_EQ(fx.rec(5).HasMarker, 0);
    EXPECT_EQ(fx.rec(7).HasMarker, 0);
    // Numbers that are no channel control change nothing.
    const ChannelConfig before = fx.channels.working;
    for (int c : {100, 109, 119, 149, 1138, 1147, ctl::kLoadConf}) fx.form.Click(c);
    EXPECT_EQ(fx.channels.working, before);
}

}  // namespace
}  // namespace koru
