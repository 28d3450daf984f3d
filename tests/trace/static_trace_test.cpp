#include "trace/static_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace {

TraceRecord Frame(uint32_t id, uint8_t firstByte = 0, uint8_t direction = 0) {
    TraceRecord record;
    record.identifier = id;
    record.length = 1;
    record.data[0] = firstByte;
    record.direction = direction;
    return record;
}

// Merges frames given oldest first, as they arrived.
void MergeInArrivalOrder(StaticTrace& table, std::vector<TraceRecord> frames) {
    std::reverse(frames.begin(), frames.end());
    table.MergeNewestFirst(frames.data(), frames.size());
}

using IdCount = std::pair<uint32_t, uint32_t>;

std::vector<IdCount> Sorted(const StaticTrace& table) {
    std::vector<IdCount> entries;
    for (std::size_t i = 0; i < table.size(); ++i) {
        entries.emplace_back(table.sortedAt(i).identifier, table.sortedAt(i).count);
    }
    return entries;
}

TEST(StaticTraceTest, OneEntryPerIdentifierSortedAscendingWithCounts) {
    struct Case {
        const char* name;
        std::vector<uint32_t> arrivals;
        std::vector<IdCount> sorted;
    };
    const Case cases[] = {
        {"repeat counts", {0x701, 0x181, 0x701}, {{0x181, 1}, {0x701, 2}}},
        {"insert in the middle",
         {0x100, 0x300, 0x200, 0x300, 0x300},
         {{0x100, 1}, {0x200, 1}, {0x300, 3}}},
        {"extended compare by value",
         {0x1FFFFFFF, 0x7FF, 0x800},
         {{0x7FF, 1}, {0x800, 1}, {0x1FFFFFFF, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StaticTrace table;
        std::vector<TraceRecord> frames;
        for (uint32_t id : c.arrivals) frames.push_back(Frame(id));
        MergeInArrivalOrder(table, frames);
        EXPECT_EQ(Sorted(table), c.sorted);
    }
}

TEST(StaticTraceTest, KnownIdentifierTakesTheNewestFrameContents) {
    StaticTrace table;
    TraceRecord later = Frame(0x181, 0xBB, 1);
    later.length = 2;
    later.data[1] = 0xCC;
    later.flags = kTraceFlagRemote;
    MergeInArrivalOrder(table, {Frame(0x181, 0xAA, 0), later});
    ASSERT_EQ(table.size(), 1u);
    const TraceRecord& entry = table.sortedAt(0);
    EXPECT_EQ(entry.count, 2u);
    EXPECT_EQ(entry.length, 2);
    EXPECT_EQ(entry.data[0], 0xBB);
    EXPECT_EQ(entry.data[1], 0xCC);
    EXPECT_EQ(entry.direction, 1);
    EXPECT_EQ(entry.flags, kTraceFlagRemote);
}

TEST(StaticTraceTest, IdentifiersBeyondTheLimitAreIgnoredKnownOnesStillCount) {
    StaticTrace table;
    std::vector<TraceRecord> frames;
    // Arrival order from the top down, so every entry goes to the front.
    for (uint32_t i = 0; i < StaticTrace::kMaxEntries; ++i) frames.push_back(Frame(5000 - i));
    MergeInArrivalOrder(table, frames);
    ASSERT_EQ(table.size(), StaticTrace::kMaxEntries);

    MergeInArrivalOrder(table, {Frame(1), Frame(5000)});
    EXPECT_EQ(table.size(), StaticTrace::kMaxEntries);
    EXPECT_EQ(table.sortedAt(0).identifier, 5000u - StaticTrace::kMaxEntries + 1);
    EXPECT_EQ(table.sortedAt(StaticTrace::kMaxEntries - 1).identifier, 5000u);
    EXPECT_EQ(table.sortedAt(StaticTrace::kMaxEntries - 1).count, 2u);
    for (std::size_t i = 1; i < table.size(); ++i) {
        ASSERT_LT(table.sortedAt(i - 1).identifier, table.sortedAt(i).identifier);
    }
}

}  // namespace
