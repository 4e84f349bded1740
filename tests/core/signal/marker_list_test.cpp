#include <gtest/gtest.h>

#include "signal/MarkerList.h"

namespace koru {
namespace {

TEST(MarkerListTest, InsertGoesBeforeEqualValuesAndKeepsOrder) {
    MarkerList m;
    m.items = {100, 500, 900};
    ASSERT_TRUE(m.InsertSorted(500));
    EXPECT_EQ(m.items, (std::vector<int32_t>{100, 500, 500, 900}));
    ASSERT_TRUE(m.InsertSorted(-3));
    ASSERT_TRUE(m.InsertSorted(1000));
    EXPECT_EQ(m.items, (std::vector<int32_t>{-3, 100, 500, 500, 900, 1000}));
}

TEST(MarkerListTest, FirstInsertTurnsMarkersOnAndAFullListRefuses) {
    MarkerList m;
    EXPECT_FALSE(m.loaded);
    m.InsertSorted(7);
    EXPECT_TRUE(m.loaded);
    for (int i = 1; i < 2048; ++i) ASSERT_TRUE(m.InsertSorted(i));
    EXPECT_TRUE(m.Full());
    EXPECT_FALSE(m.InsertSorted(5));
    EXPECT_EQ(m.Count(), 2048);
}

TEST(MarkerListTest, RemoveBetweenIsStrictAndTakesEitherOrder) {
    MarkerList m;
    m.items = {100, 500, 900};
    EXPECT_EQ(m.RemoveBetween(900, 100), 1u);
    EXPECT_EQ(m.items, (std::vector<int32_t>{100, 900}));
    EXPECT_EQ(m.RemoveBetween(100, 900), 0u);
    // A list read from a file keeps its order for what stays.
    m.items = {30, 5, 20, 1, 40};
    EXPECT_EQ(m.RemoveBetween(2, 30), 2u);
    EXPECT_EQ(m.items, (std::vector<int32_t>{30, 1, 40}));
}

}  // namespace
}  // namespace koru
