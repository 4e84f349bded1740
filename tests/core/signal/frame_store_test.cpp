// The packed in-memory store: two bytes per delivered channel, frames found
// across chunk edges, and chunks taken only while the memory guard allows.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "signal/FrameStore.h"

namespace koru {
namespace {

// Every channel set, so that a store keeping too many or too few shows it.
Frame Sample(std::size_t f) {
    Frame fr{};
    for (std::size_t c = 0; c < fr.size(); ++c)
        fr[c] = static_cast<int16_t>((f * 31 + c * 1009) % 60000 - 30000);
    return fr;
}

Frame Delivered(std::size_t f, int channels) {
    Frame fr = Sample(f);
    for (std::size_t c = static_cast<std::size_t>(channels); c < fr.size(); ++c) fr[c] = 0;
    return fr;
}

// Appends `total` frames in blocks of random size.
std::size_t Fill(FrameStore& store, std::size_t total, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::vector<Frame> block;
    std::size_t stored = 0;
    while (stored < total) {
        const std::size_t n =
            std::min(total - stored, std::uniform_int_distribution<std::size_t>(1, 90'000)(rng));
        block.clear();
        for (std::size_t i = 0; i < n; ++i) block.push_back(Sample(stored + i));
        const std::size_t got = store.Append(block);
        stored += got;
        if (got < n) break;
    }
    return stored;
}

TEST(FrameStoreTest, KeepsTwoBytesPerDeliveredChannelAndFindsEveryFrame) {
    for (int channels : {1, 3, 8}) {
        SCOPED_TRACE(channels);
        FrameStore store;
        const std::size_t chunk = FrameStore::ChunkFramesFor(channels);
        const std::size_t total = 3 * chunk + 17;
        store.Reset(channels, total);
        ASSERT_EQ(Fill(store, total), total);
        EXPECT_EQ(store.Size(), total);
        EXPECT_LE(store.BytesAllocated(), total * 2 * static_cast<std::size_t>(channels) + 256);

        for (std::size_t f : {std::size_t{0}, chunk - 1, chunk, 2 * chunk + 5, total - 1})
            EXPECT_EQ(*store.Find(static_cast<int64_t>(f)), Delivered(f, channels)) << f;
        EXPECT_FALSE(store.Find(static_cast<int64_t>(total)));
        EXPECT_FALSE(store.Find(-1));

        // A run ends at its chunk's end and carries the packed samples.
        const std::span<const int16_t> run = store.Packed(static_cast<int64_t>(chunk - 2), 10);
        ASSERT_EQ(run.size(), 2u * static_cast<std::size_t>(channels));
        EXPECT_EQ(run[static_cast<std::size_t>(channels)], Sample(chunk - 1)[0]);
        EXPECT_EQ(store.Run(0, 4).size(), channels == 8 ? 4u : 0u);
    }
}

TEST(FrameStoreTest, TakesMoreFramesThanItWasToldToExpect) {
    FrameStore store;
    store.Reset(3, 10);
    const std::size_t total = FrameStore::ChunkFramesFor(3) + 1000;
    ASSERT_EQ(Fill(store, total), total);
    for (std::size_t f : {std::size_t{9}, std::size_t{10}, total - 1})
        EXPECT_EQ(*store.Find(static_cast<int64_t>(f)), Delivered(f, 3)) << f;
}

TEST(FrameStoreTest, TheGuardEndsTheStoreWhereOnlyTheReserveWouldBeLeft) {
    constexpr uint64_t kReserve = uint64_t{64} << 20;
    const std::size_t chunk = FrameStore::ChunkFramesFor(1);
    const uint64_t chunkBytes = chunk * 2;
    int looks = 0;
    // Room for two and a half chunks above the reserve.
    MemoryGuard guard(
        [&] {
            ++looks;
            return kReserve + chunkBytes * 5 / 2;
        },
        kReserve);
    guard.Begin();
    FrameStore store;
    store.SetMemoryGuard(&guard);
    store.Reset(1, 10 * chunk);
    EXPECT_EQ(Fill(store, 10 * chunk), 2 * chunk);
    EXPECT_EQ(looks, 1);  // two chunks are far below the next look
    EXPECT_EQ(*store.Find(static_cast<int64_t>(2 * chunk - 1)), Delivered(2 * chunk - 1, 1));

    // Memory that other programs take during the load is noticed at the
    // next look.
    uint64_t available = kReserve + (uint64_t{200} << 20);
    MemoryGuard shrinking(
        [&] {
            const uint64_t now = available;
            available = kReserve;
            return now;
        },
        kReserve);
    shrinking.Begin();
    FrameStore second;
    second.SetMemoryGuard(&shrinking);
    second.Reset(8, 0);
    const std::size_t stored = Fill(second, 100 * FrameStore::ChunkFramesFor(8));
    EXPECT_EQ(stored * 16, MemoryGuard::kRecheckBytes);
}

}  // namespace
}  // namespace koru
