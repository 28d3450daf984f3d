// The messaging ring (newest first, overwrite, lost flag) and the bounded
// queue of one client.
#include <gtest/gtest.h>

#include <memory>
#include <new>

#include "sharing/core/client_queue.h"
#include "sharing/core/messaging_ring.h"

namespace {

using sharing::MessagingEntry;
using sharing::MessagingRing;

std::unique_ptr<MessagingEntry[]> storage() {
    return std::make_unique<MessagingEntry[]>(MessagingRing::kCapacity);
}

void record(MessagingRing& ring, uint32_t id, uint8_t length = 1) {
    const uint8_t data[8] = {uint8_t(id), 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(ring.Record(id, length, 2, false, false, data));
}

TEST(MessagingRingTest, TakesTheUnreadNewestFirstAndOnlyOnce) {
    MessagingRing ring(storage());
    auto out = std::make_unique<MessagingEntry[]>(MessagingRing::kCapacity);
    for (uint32_t id = 1; id <= 3; ++id) record(ring, id);
    auto take = ring.TakeNewest(out.get());
    ASSERT_EQ(take.copied, 3u);
    EXPECT_FALSE(take.lost);
    EXPECT_EQ(out[0].id, 3u);
    EXPECT_EQ(out[2].id, 1u);
    EXPECT_EQ(out[0].direction, 2);

    EXPECT_EQ(ring.TakeNewest(out.get()).copied, 0u);
    record(ring, 4);
    take = ring.TakeNewest(out.get());
    ASSERT_EQ(take.copied, 1u);
    EXPECT_EQ(out[0].id, 4u);
}

TEST(MessagingRingTest, OverwrittenEntriesSetLostAndTheNewestStay) {
    MessagingRing ring(storage());
    auto out = std::make_unique<MessagingEntry[]>(MessagingRing::kCapacity);
    const uint32_t total = MessagingRing::kCapacity + 5;
    for (uint32_t id = 1; id <= total; ++id) record(ring, id);
    const auto take = ring.TakeNewest(out.get());
    EXPECT_TRUE(take.lost);
    ASSERT_EQ(take.copied, MessagingRing::kCapacity);
    EXPECT_EQ(out[0].id, total);
    EXPECT_EQ(out[MessagingRing::kCapacity - 1].id, 6u);
    record(ring, 1);
    EXPECT_FALSE(ring.TakeNewest(out.get()).lost);
}

TEST(MessagingRingTest, KeepsAtMostEightDataBytesAndZeroesTheRest) {
    MessagingRing ring(storage());
    auto out = std::make_unique<MessagingEntry[]>(MessagingRing::kCapacity);
    record(ring, 0x100, 8);
    record(ring, 0x101, 2);  // same slot bytes must not show through
    const uint8_t eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_TRUE(ring.Record(0x102, 15, 0, true, true, eight));
    ASSERT_EQ(ring.TakeNewest(out.get()).copied, 3u);
    EXPECT_EQ(out[0].length, 8);
    EXPECT_EQ(out[0].flags, sharing::kEntryExtended | sharing::kEntryRemote);
    EXPECT_EQ(out[1].length, 2);
    EXPECT_EQ(out[1].data[1], 2);
    for (int i = 2; i < 8; ++i) EXPECT_EQ(out[1].data[i], 0);
}

TEST(MessagingRingTest, WithoutStorageDropsEverything) {
    MessagingRing ring(nullptr);
    EXPECT_FALSE(ring.usable());
    const uint8_t data[8] = {};
    EXPECT_FALSE(ring.Record(1, 1, 0, false, false, data));
    MessagingEntry out[1];
    EXPECT_EQ(ring.TakeNewest(out).copied, 0u);
}

TEST(ClientQueueTest, BatchesBeyondTheLimitAreDroppedAndCounted) {
    sharing::ClientQueue queue(100);
    EXPECT_TRUE(queue.PushBatch(sharing::Bytes(60), 3));
    EXPECT_FALSE(queue.PushBatch(sharing::Bytes(60), 4));  // 120 > 100
    EXPECT_TRUE(queue.PushBatch(sharing::Bytes(40), 2));   // exactly 100
    queue.PushNotification(sharing::Bytes(16));            // always fits
    EXPECT_EQ(queue.queuedBytes(), 116u);
    EXPECT_EQ(queue.droppedFrames(), 4u);
    EXPECT_EQ(queue.droppedBatches(), 1u);
    EXPECT_EQ(queue.queuedFrames(), 5u);

    std::vector<std::size_t> sizes;
    while (auto message = queue.Pop()) sizes.push_back(message->size());
    EXPECT_EQ(sizes, (std::vector<std::size_t>{60, 40, 16}));
    EXPECT_TRUE(queue.PushBatch(sharing::Bytes(100), 7));  // room again

    queue.Close();
    EXPECT_FALSE(queue.PushBatch(sharing::Bytes(1), 1));
    queue.PushNotification(sharing::Bytes(16));
    ASSERT_TRUE(queue.Pop());
    EXPECT_FALSE(queue.Pop());
}

}  // namespace
