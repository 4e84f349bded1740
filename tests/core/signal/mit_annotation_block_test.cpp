// WFDB annotation files read block by block: any split of the bytes gives
// what the whole file gives, and a limit stops the reading and says so.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "signal/WfdbAnnotations.h"

namespace koru {
namespace {

// A word as the file stores it: code in the top six bits, little-endian.
std::string Word(unsigned code, unsigned value) {
    const unsigned w = code << 10 | value;
    return {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
}

// A table note at time 0 ("## time resolution: 500", 24 bytes), then beats
// at 5 (N), 12 after a text of 3 bytes and its pad, 70012 after a skip of
// 70000, and 70013 (V) after a NUM word that moves nothing; then the end.
std::string Sample() {
    std::string s = Word(22, 0) + Word(63, 24) + "## time resolution: 500";
    s += '\0';
    s += Word(1, 5);
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

struct Read {
    std::vector<int64_t> times;
    std::vector<int> codes;
    WfdbAnnotationFile file;
};

Read InBlocks(const std::string& bytes, std::size_t block, std::size_t limit) {
    Read r;
    WfdbAnnotationState state;
    std::string held;
    for (std::size_t at = 0; at < bytes.size() && !state.ended; at += block) {
        held += bytes.substr(at, block);
        const std::size_t used = ParseWfdbAnnotationBlock(held, state, r.file, limit);
        held.erase(0, used);
    }
    FinishWfdbAnnotations(state, r.file);
    for (const WfdbAnnotation& a : r.file.items) {
        r.times.push_back(a.time);
        r.codes.push_back(a.code);
    }
    return r;
}

TEST(WfdbAnnotationBlocks, AnySplitGivesWhatTheWholeFileGives) {
    const std::vector<int64_t> times = {5, 12, 70012, 70013};
    const std::vector<int> codes = {1, 1, 1, 5};
    const WfdbAnnotationFile whole = ParseWfdbAnnotations(Sample());
    ASSERT_EQ(whole.items.size(), 4u);
    EXPECT_EQ(whole.items[3].number, 2);
    for (const std::size_t block : {1u, 2u, 3u, 7u, 4096u}) {
        SCOPED_TRACE(block);
        const Read r = InBlocks(Sample(), block, SIZE_MAX);
        EXPECT_EQ(r.times, times);
        EXPECT_EQ(r.codes, codes);
        EXPECT_EQ(r.file.resolution, 500);  // the table's text, whole across the splits
        EXPECT_TRUE(r.file.complete);
        EXPECT_FALSE(r.file.full);
        EXPECT_EQ(r.file.items[3].number, 2);
    }
}

TEST(WfdbAnnotationBlocks, ALimitStopsTheReadingAndIsReported) {
    // The limit counts the table's note too.
    for (const std::size_t block : {1u, 4096u}) {
        SCOPED_TRACE(block);
        const Read r = InBlocks(Sample(), block, 3);
        EXPECT_EQ(r.times, (std::vector<int64_t>{5, 12}));
        EXPECT_TRUE(r.file.full);
        EXPECT_FALSE(r.file.complete);
    }
    // Exactly at the limit is not over it.
    const Read r = InBlocks(Sample(), 5, 5);
    EXPECT_EQ(r.times.size(), 4u);
    EXPECT_FALSE(r.file.full);
    EXPECT_TRUE(r.file.complete);
}

// Every annotation keeps its text: an AUX word belongs to the annotation
// before it, so "abc" is the beat's at 5; the table's text stays behind.
TEST(WfdbAnnotationBlocks, EachAnnotationKeepsItsOwnText) {
    for (const std::size_t block : {1u, 3u, 4096u}) {
        SCOPED_TRACE(block);
        const Read r = InBlocks(Sample(), block, SIZE_MAX);
        ASSERT_EQ(r.file.items.size(), 4u);
        std::vector<std::string> texts;
        for (const WfdbAnnotation& a : r.file.items) texts.push_back(r.file.Text(a));
        EXPECT_EQ(texts, (std::vector<std::string>{"abc", "", "", ""}));
        EXPECT_FALSE(r.file.textsCut);
    }
}

}  // namespace
}  // namespace koru
