#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "signal/AnnotationList.h"
#include "signal/ForeignSource.h"
#include "support/PeerExpected.h"

namespace koru {
namespace {

AnnotationList Sample() {
    AnnotationList list;
    // Given out of order; two at frame 300 in the order they should stay.
    list.Assign({{300, "A", "", -1},
                 {100, "N", "", -1},
                 {300, "+", "(AFL", -1},
                 {500, "N", "", 1},
                 {900, "A", "", -1}});
    return list;
}

std::vector<int64_t> Frames(const AnnotationList& list) {
    std::vector<int64_t> out;
    for (const Annotation& a : list.Items()) out.push_back(a.frame);
    return out;
}

TEST(AnnotationListTest, AssignSortsByFrameKeepingOrderAtOneFrame) {
    const AnnotationList list = Sample();
    EXPECT_EQ(Frames(list), (std::vector<int64_t>{100, 300, 300, 500, 900}));
    EXPECT_EQ(list[1].label, "A");
    EXPECT_EQ(list[2].label, "+");
    EXPECT_EQ(list[2].text, "(AFL");
    EXPECT_EQ(list.Labels(), (std::vector<std::string>{"+", "A", "N"}));
    EXPECT_EQ(list.CountLabel("A"), 2u);
}

TEST(AnnotationListTest, NextAndPreviousAreStrictAndFilterByLabel) {
    const AnnotationList list = Sample();
    struct Case {
        int64_t from;
        const char* label;
        std::optional<std::size_t> next, previous;
    };
    const Case cases[] = {
        {0, "", 0, std::nullopt},
        {100, "", 1, std::nullopt},
        {300, "", 3, 0},
        {301, "", 3, 2},
        {900, "", std::nullopt, 3},
        {5000, "", std::nullopt, 4},
        {100, "A", 1, std::nullopt},
        {300, "A", 4, std::nullopt},
        {900, "A", std::nullopt, 1},
        {0, "V", std::nullopt, std::nullopt},
        {400, "N", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " " + c.label);
        EXPECT_EQ(list.Next(c.from, c.label), c.next);
        EXPECT_EQ(list.Previous(c.from, c.label), c.previous);
    }
}

TEST(AnnotationListTest, AddMergesInOrderAndRemoveLabelTakesOnlyThatLabel) {
    AnnotationList list = Sample();
    list.Add({300, "N", "", -1});  // after the two already at 300
    EXPECT_EQ(list[3].label, "N");
    list.AddAll({{950, "N", "", -1}, {50, "N", "", -1}, {300, "N", "x", -1}});
    EXPECT_EQ(Frames(list), (std::vector<int64_t>{50, 100, 300, 300, 300, 300, 500, 900, 950}));
    EXPECT_EQ(list[5].text, "x");  // added later, so after the others at 300
    EXPECT_EQ(list.RemoveLabel("N"), 6u);
    EXPECT_EQ(Frames(list), (std::vector<int64_t>{300, 300, 900}));
}

TEST(AnnotationListTest, RangeIsHalfOpen) {
    const AnnotationList list = Sample();
    EXPECT_EQ(list.Range(100, 500), (std::pair<std::size_t, std::size_t>{0, 3}));
    EXPECT_EQ(list.Range(101, 501), (std::pair<std::size_t, std::size_t>{1, 4}));
    EXPECT_EQ(list.Range(1000, 2000), (std::pair<std::size_t, std::size_t>{5, 5}));
    EXPECT_EQ(list.Range(500, 100), (std::pair<std::size_t, std::size_t>{3, 3}));
}

// An EDF+ file's annotations carry their text as the label, against the
// independent reader's list (onset, duration, description).
TEST(AnnotationListTest, EdfPlusTextsBecomeLabels) {
    const nlohmann::json want =
        test::ReadExpected("edf/test_edf_overlapping_annotations.edf.json")["annotations"];
    std::string error;
    const auto source =
        OpenForeignSource(test::kPeer + "/edf/test_edf_overlapping_annotations.edf", error);
    ASSERT_TRUE(source) << error;
    source->Choose({0});
    AnnotationList list;
    list.Assign(source->LabelledAnnotations());
    ASSERT_EQ(list.Count(), want["count"].get<std::size_t>());
    const double rate = source->Signals()[0].rate;
    const nlohmann::json& first = want["first32"];
    for (std::size_t k = 0; k < first.size(); ++k) {
        EXPECT_EQ(list[k].frame, std::llround(first[k][0].get<double>() * rate)) << k;
        EXPECT_EQ(list[k].label, first[k][2].get<std::string>()) << k;
    }
}

}  // namespace
}  // namespace koru
