// The Configure dialog's channel rows, lists and values, without files.

#include <gtest/gtest.h>

#include "config/ConfigureForm.h"

namespace koru {
namespace {

namespace ctl = configure_ctl;

TEST(ConfigureForm, ShowsTheRecordsWithNoneForIndexesOutsideTheTables) {
    ChannelModel m;
    m.working[2] = ChannelRecord{13, 0, 6, 20, 1};
    m.working[3] = ChannelRecord{20, -3, 16, 77, 2};  // 2 is not 1: box unticked
    ConfigureForm form(m.working, m.leadNames, m.colors);
    const std::vector<std::string> row2 = {"3", "Atrial-Bi", "0", "Brown", "20"};
    const std::vector<std::string> row3 = {"4", "<none>", "-3", "<none>", "77"};
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(form.Text(ctl::kAmpChan + c * 10 + 2), row2[static_cast<std::size_t>(c)]);
        EXPECT_EQ(form.Text(ctl::kAmpChan + c * 10 + 3), row3[static_cast<std::size_t>(c)]);
    }
    EXPECT_TRUE(form.Checked(ctl::kHasMarker + 2));
    EXPECT_FALSE(form.Checked(ctl::kHasMarker + 3));
    // An out-of-range value stays until its own button replaces it.
    form.Click(ctl::kSize + 3);
    EXPECT_EQ(m.working[3], (ChannelRecord{20, -3, 16, 5, 2}));

    // The lists start at "<none>" and "Red" whatever the channels hold.
    EXPECT_EQ(form.Items(ctl::kLeadList).size(), 20u);
    EXPECT_EQ(form.Items(ctl::kColorList).at(13), "Lt. Mag.");
    form.Click(ctl::kLeadName + 2);
    form.Click(ctl::kColor + 2);
    EXPECT_EQ(m.working[2], (ChannelRecord{0, 0, 4, 20, 1}));
    EXPECT_EQ(form.Text(ctl::kLeadName + 2), "<none>");
    EXPECT_EQ(form.Text(ctl::kColor + 2), "Red");
}

TEST(ConfigureForm, EachButtonAppliesItsOwnFieldAndAmpChanAllButTheMarker) {
    ChannelModel m;
    ConfigureForm form(m.working, m.leadNames, m.colors);
    form.Select(ctl::kLeadList, 12);
    form.Select(ctl::kColorList, 15);
    form.Spin(ctl::kPositionSpin, +2);
    form.Spin(ctl::kSizeSpin, -3);
    const ChannelConfig before = m.working;
    const struct {
        int first;
        ChannelRecord want;
    } cases[] = {{ctl::kLeadName, {12, 2, 10, 5, 0}},
                 {ctl::kPosition, {2, 3, 10, 5, 0}},
                 {ctl::kColor, {2, 2, 15, 5, 0}},
                 {ctl::kSize, {2, 2, 10, 2, 0}},
                 {ctl::kHasMarker, {2, 2, 10, 5, 1}}};
    for (const auto& c : cases) {
        m.working = before;
        form.Click(c.first + 1);
        EXPECT_EQ(m.working[1], c.want) << c.first;
        EXPECT_EQ(m.working[0], before[0]);
        EXPECT_EQ(m.working[2], before[2]);
    }
    m.working = before;
    m.working[4].HasMarker = 1;
    form.Show();
    form.Click(ctl::kAmpChan + 4);
    EXPECT_EQ(m.working[4], (ChannelRecord{12, 3, 15, 2, 1}));
    EXPECT_TRUE(form.Checked(ctl::kHasMarker + 4));
    EXPECT_EQ(form.Text(ctl::kLeadName + 4) + form.Text(ctl::kPosition + 4) +
                  form.Text(ctl::kColor + 4) + form.Text(ctl::kSize + 4),
              "aVF3White2");
    form.Click(ctl::kHasMarker + 4);
    EXPECT_EQ(m.working[4].HasMarker, 0);
}

TEST(ConfigureForm, ValuesStayInRangeAndListNamesShowFourteenCharacters) {
    ChannelModel m;
    m.leadNames.Set(19, "ABCDEFGHIJKLMNO");
    m.colors.Set(15, "Snow White Pure", 250, 250, 250);
    ConfigureForm form(m.working, m.leadNames, m.colors);
    for (int i = 0; i < 30; ++i) form.Spin(ctl::kPositionSpin, +1);
    for (int i = 0; i < 30; ++i) form.Spin(ctl::kSizeSpin, +1);
    EXPECT_EQ(form.Text(ctl::kPositionValue) + "/" + form.Text(ctl::kSizeValue), "8/20");
    form.Spin(ctl::kPositionSpin, INT32_MIN);
    form.Spin(ctl::kSizeSpin, -30);
    EXPECT_EQ(form.Text(ctl::kPositionValue) + "/" + form.Text(ctl::kSizeValue), "0/1");

    form.Select(ctl::kLeadList, 19);
    form.Select(ctl::kColorList, 15);
    form.Select(ctl::kLeadList, 20);  // no such entry: ignored
    form.Click(ctl::kAmpChan + 0);
    EXPECT_EQ(m.working[0], (ChannelRecord{19, 0, 15, 1, 0}));  // position 0 hides the trace
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "ABCDEFGHIJKLMN");
    EXPECT_EQ(form.Text(ctl::kColor + 0), "Snow White Pur");
    form.Show();
    EXPECT_EQ(form.Text(ctl::kLeadName + 0), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(form.Text(ctl::kColor + 0), "Snow White Pure");
}

}  // namespace
}  // namespace koru
