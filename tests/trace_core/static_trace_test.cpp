#include "trace/core/static_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <tuple>
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
    StaticTrace table;
    std::vector<TraceRecord> frames;
    for (uint32_t id : {0x100u, 0x300u, 0x1FFFFFFFu, 0x200u, 0x300u, 0x800u, 0x7FFu, 0x300u}) {
        frames.push_back(Frame(id));
    }
    MergeInArrivalOrder(table, frames);
    EXPECT_EQ(Sorted(table),
              (std::vector<IdCount>{
                  {0x100, 1}, {0x200, 1}, {0x300, 3}, {0x7FF, 1}, {0x800, 1}, {0x1FFFFFFF, 1}}));
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
    EXPECT_EQ(std::tuple(entry.count, entry.length, entry.data[0], entry.data[1], entry.direction,
                         entry.flags),
              std::tuple(2u, 2, 0xBB, 0xCC, 1, kTraceFlagRemote));
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
