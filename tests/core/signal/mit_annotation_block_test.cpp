// MIT annotation files read block by block: any split of the bytes gives
// what the whole file gives, and a limit stops the reading and says so.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/WfdbHeader.h"

namespace koru {
namespace {

// A word as the file stores it: code in the top six bits, little-endian.
std::string Word(unsigned code, unsigned value) {
    const unsigned w = code << 10 | value;
    return {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
}

// Beats at 5, 12 (after a note of 3 aux bytes and its pad), 70012 (after a
// skip of 70000), 70013 (after a NUM word that moves nothing), then the end.
std::string Sample() {
    std::string s = Word(1, 5);
    s += Word(63, 3) + "abc" + '\0';
    s += Word(1, 7);
    s += Word(59, 0) + Word(0, 1) + Word(0, 70000 - 65536);  // high word, then low
    s += Word(1, 0);
    s += Word(60, 2);
    s += Word(5, 1);
    s += Word(0, 0);
    s += Word(1, 9);  // past the end word: never read
    return s;
}

std::vector<int64_t> InBlocks(const std::string& bytes, std::size_t block, std::size_t limit,
                              MitAnnotationState& state) {
    std::vector<int64_t> out;
    std::string held;
    for (std::size_t at = 0; at < bytes.size() && !state.ended; at += block) {
        held += bytes.substr(at, block);
        const std::size_t used = ParseMitAnnotationBlock(held, state, out, limit);
        held.erase(0, used);
    }
    return out;
}

TEST(MitAnnotationBlocks, AnySplitGivesWhatTheWholeFileGives) {
    const std::vector<int64_t> expected = {5, 12, 70012, 70013};
    EXPECT_EQ(ParseMitAnnotations(Sample()), expected);
    for (const std::size_t block : {1u, 2u, 3u, 7u, 4096u}) {
        SCOPED_TRACE(block);
        MitAnnotationState state;
        EXPECT_EQ(InBlocks(Sample(), block, SIZE_MAX, state), expected);
        EXPECT_TRUE(state.ended);
        EXPECT_FALSE(state.full);
    }
}

TEST(MitAnnotationBlocks, ALimitStopsTheReadingAndIsReported) {
    for (const std::size_t block : {1u, 4096u}) {
        MitAnnotationState state;
        EXPECT_EQ(InBlocks(Sample(), block, 2, state), (std::vector<int64_t>{5, 12}));
        EXPECT_TRUE(state.full);
    }
    // Exactly at the limit is not over it.
    MitAnnotationState state;
    EXPECT_EQ(InBlocks(Sample(), 5, 4, state).size(), 4u);
    EXPECT_FALSE(state.full);
}

}  // namespace
}  // namespace koru
