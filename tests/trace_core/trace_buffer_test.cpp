#include "trace/core/trace_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <thread>
#include <tuple>
#include <vector>

namespace {

constexpr std::size_t kCapacity = TTraceBuffer::kCapacity;
const uint8_t kBytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

// Stores frames numbered first .. first + count - 1 (the number is the
// identifier, so the order of records shows in their identifiers).
void StoreNumbered(TTraceBuffer& buffer, uint32_t first, uint32_t count) {
    for (uint32_t id = first; id < first + count; ++id) {
        buffer.Store(id, 8, 0, kTraceReceived, false, id > 0x7FF, kBytes);
    }
}

std::vector<uint32_t> Identifiers(const std::vector<TraceRecord>& records, std::size_t count) {
    std::vector<uint32_t> ids;
    for (std::size_t i = 0; i < count; ++i) ids.push_back(records[i].identifier);
    return ids;
}

struct ReadCase {
    const char* name;
    uint32_t stored;
    int maxCount;
    TraceReadResult first;        // the read after the stores
    std::size_t secondCopied;     // the same read again
    uint32_t newestId, oldestId;  // of the first read, when it copied anything
};

TEST(TraceBufferTest, ReadRecentCopiesNewestFirstAndResetsUnreadAndLost) {
    const ReadCase cases[] = {
        {"full ring is not lost", 13000, 0, {13000, false, 0}, 0, 0, 0},
        {"13001st frame sets lost", 13001, 0, {13001, true, 0}, 0, 0, 0},
        {"more than held copies held", 5, 100, {5, false, 5}, 5, 4, 0},
        {"negative capped at capacity", 20000, -1, {20000, true, kCapacity}, 0, 19999, 7000},
        {"wrap-around", 13005, 13000, {13005, true, kCapacity}, kCapacity, 13004, 5},
    };
    std::vector<TraceRecord> out(kCapacity);
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTraceBuffer buffer;
        StoreNumbered(buffer, 0, c.stored);

        const TraceReadResult first = buffer.ReadRecent(c.maxCount, out.data());
        EXPECT_EQ(first.unread, c.first.unread);
        EXPECT_EQ(first.lost, c.first.lost);
        ASSERT_EQ(first.copied, c.first.copied);
        if (first.copied > 0) {
            EXPECT_EQ(out[0].identifier, c.newestId);
            EXPECT_EQ(out[first.copied - 1].identifier, c.oldestId);
            for (std::size_t i = 1; i < first.copied; ++i) {
                ASSERT_EQ(out[i].identifier + 1, out[i - 1].identifier) << "record " << i;
            }
        }

        const TraceReadResult second = buffer.ReadRecent(c.maxCount, out.data());
        EXPECT_EQ(second.unread, 0u);
        EXPECT_FALSE(second.lost);
        EXPECT_EQ(second.copied, c.secondCopied);
    }
}

TEST(TraceBufferTest, NodeFilterPassesLowIdentifiersAndTheCurrentNode) {
    struct Case {
        uint32_t id;
        bool extended;
        bool stored;
    };
    const Case cases[] = {
        {0x100, false, true},  {0x101, false, false},    {0x185, false, true},
        {0x186, false, false}, {0x12345685, true, true}, {0x12345686, true, false},
    };
    constexpr uint8_t kCurrentNode = 5;
    TraceRecord out[1];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        TTraceBuffer buffer;
        buffer.SetMonitorAll(false);
        buffer.Store(c.id, 1, kCurrentNode, kTraceReceived, false, c.extended, kBytes);
        EXPECT_EQ(buffer.ReadRecent(1, out).copied, c.stored ? 1u : 0u);

        buffer.SetMonitorAll(true);
        buffer.Store(c.id, 1, kCurrentNode, kTraceReceived, false, c.extended, kBytes);
        EXPECT_EQ(buffer.ReadRecent(-1, out).copied, 1u) << "all nodes store everything";
    }
}

TEST(TraceBufferTest, StopKeepsHeldRecordsClearEmptiesTheRing) {
    TTraceBuffer buffer;
    std::vector<TraceRecord> out(kCapacity);
    StoreNumbered(buffer, 0, 3);
    buffer.Stop();
    StoreNumbered(buffer, 100, 5);
    TraceReadResult read = buffer.ReadRecent(10, out.data());
    EXPECT_EQ(read.unread, 3u);
    EXPECT_EQ(Identifiers(out, read.copied), (std::vector<uint32_t>{2, 1, 0}));

    buffer.Start();
    StoreNumbered(buffer, 0, 13001);
    buffer.Clear();
    read = buffer.ReadRecent(13000, out.data());
    EXPECT_EQ(read.unread, 0u);
    EXPECT_FALSE(read.lost);
    EXPECT_EQ(read.copied, 0u);
    StoreNumbered(buffer, 50, 2);
    read = buffer.ReadRecent(13000, out.data());
    EXPECT_EQ(Identifiers(out, read.copied), (std::vector<uint32_t>{51, 50}));
}

TEST(TraceBufferTest, StoresTheWholeFrameWithItsFlagsAndDirection) {
    TTraceBuffer buffer;
    const uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    buffer.Store(0x1234567, 3, 0, kTraceTransmitted, true, true, data);
    TraceRecord record;
    ASSERT_EQ(buffer.ReadRecent(1, &record).copied, 1u);
    EXPECT_EQ(std::tuple(record.identifier, record.length, record.flags, record.direction,
                         record.count, record.data[2]),
              std::tuple(0x1234567u, uint8_t{3}, uint8_t{kTraceFlagExtended | kTraceFlagRemote},
                         uint8_t{kTraceTransmitted}, 1u, uint8_t{3}));
}

// A short frame in a slot an 8-byte frame used before holds zeros after its
// length, never the older frame's bytes.
TEST(TraceBufferTest, ShortFrameInAReusedSlotIsZeroPadded) {
    TTraceBuffer buffer;
    StoreNumbered(buffer, 0, kCapacity);  // every slot holds kBytes
    const uint8_t shortData[8] = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02};
    buffer.Store(0x85, 2, 0, kTraceReceived, false, false, shortData);
    TraceRecord record;
    ASSERT_EQ(buffer.ReadRecent(1, &record).copied, 1u);
    const uint8_t expected[8] = {0xAA, 0xBB, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::equal(record.data, record.data + 8, expected));
}

TEST(TraceBufferTest, WithoutStorageEveryFrameIsDroppedAndReadsReturnNothing) {
    TTraceBuffer buffer(nullptr);
    EXPECT_FALSE(buffer.usable());
    StoreNumbered(buffer, 0, 10);
    TraceRecord out[10];
    const TraceReadResult read = buffer.ReadRecent(10, out);
    EXPECT_EQ(read.copied, 0u);
    EXPECT_EQ(read.unread, 0u);
    EXPECT_TRUE(TTraceBuffer().usable());
}

// The library thread stores while the UI thread reads: every read is a run of
// consecutive frames, newest first, and the unread counts add up to every
// frame stored (none dropped while the reader holds the lock briefly).
TEST(TraceBufferTest, ReaderSeesConsecutiveFramesWhileAnotherThreadStores) {
    constexpr uint32_t kFrames = 60000;
    TTraceBuffer buffer;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        StoreNumbered(buffer, 1, kFrames);
        done = true;
    });

    std::vector<TraceRecord> out(kCapacity);
    uint64_t unreadTotal = 0;
    uint32_t lastNewest = 0;
    bool finished = false;
    while (!finished) {
        finished = done.load();
        const TraceReadResult read = buffer.ReadRecent(-1, out.data());
        unreadTotal += read.unread;
        if (read.copied == 0) continue;
        if (!read.lost) {
            EXPECT_EQ(read.copied, read.unread);
        }
        EXPECT_GT(out[0].identifier, lastNewest);
        lastNewest = out[0].identifier;
        for (std::size_t i = 1; i < read.copied; ++i) {
            ASSERT_EQ(out[i].identifier + 1, out[i - 1].identifier);
        }
    }
    writer.join();
    EXPECT_EQ(unreadTotal, kFrames);
    EXPECT_EQ(lastNewest, kFrames);
}

}  // namespace
