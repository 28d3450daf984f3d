// The filter rule and the batches a forwarding pass builds from it.
#include "sharing/core/frame_filter.h"

#include <gtest/gtest.h>

#include "raw_client.h"
#include "sharing/core/forwarding_batch.h"
#include "sharing/core/socket_path.h"

namespace {

using sharing::FilterTable;
using sharing::MessagingEntry;
using sharingtest::Texts;

MessagingEntry entry(uint32_t id, std::vector<uint8_t> data, uint8_t flags = 0) {
    MessagingEntry e;
    e.id = id;
    e.length = static_cast<uint8_t>(data.size());
    std::copy(data.begin(), data.end(), e.data);
    e.flags = flags;
    return e;
}

uint32_t keyOf(const MessagingEntry& e) {
    return sharing::FilterKey(sharing::FrameOfEntry(e));
}

TEST(FrameFilterTest, KeyOfStandardAndExtendedFrames) {
    struct Row {
        MessagingEntry frame;
        uint32_t key;
    } rows[] = {
        {entry(0x181, {0x11, 0x22, 0x33}), 0x01811122},
        {entry(0x7FF, {0xAB}), 0x07FFAB00},
        {entry(0x000, {}), 0x00000000},
        {entry(0x181, {0x11, 0x22}, sharing::kEntryRemote), 0x01811122},
        {entry(0x181, {0x11}, sharing::kEntryExtended), 0x80000181},
        {entry(0x1FFFFFFF, {}, sharing::kEntryExtended), 0x9FFFFFFF},
    };
    for (const Row& row : rows) EXPECT_EQ(keyOf(row.frame), row.key) << std::hex << row.key;
}

TEST(FrameFilterTest, SlotsPassAsTheRuleSays) {
    FilterTable only181;  // slot 1 = 0x181 with any data, slot 0 closed
    ASSERT_TRUE(only181.Set({0x0000FFFF, 0x0181FFFF, 1}));
    ASSERT_TRUE(only181.Set({0xFFFFFFFF, 0, 0}));
    FilterTable fresh;
    FilterTable extendedOnly;
    ASSERT_TRUE(extendedOnly.Set({0x7FFFFFFF, 0xFFFFFFFF, 0}));
    FilterTable noneAtAll;
    ASSERT_TRUE(noneAtAll.Set({0xFFFFFFFF, 0, 0}));

    struct Row {
        const char* name;
        const FilterTable& table;
        MessagingEntry frame;
        int firstSlot;  // -1: no slot passes
    } rows[] = {
        {"0x181, any data", only181, entry(0x181, {0x11, 0x22}), 1},
        {"0x181, no data", only181, entry(0x181, {}), 1},
        {"0x181, other data", only181, entry(0x181, {0xFF, 0xFF, 1}), 1},
        {"0x182", only181, entry(0x182, {0x11, 0x22}), -1},
        {"0x081 shares bits of 0x181", only181, entry(0x081, {}), -1},
        {"extended 0x181", only181, entry(0x181, {}, sharing::kEntryExtended), -1},
        {"new table passes standard", fresh, entry(0x7FF, {1, 2}), 0},
        {"new table passes extended", fresh, entry(0x1FFFFFFF, {}, sharing::kEntryExtended), 0},
        {"extended only: extended", extendedOnly, entry(0x123, {}, sharing::kEntryExtended), 0},
        {"extended only: standard", extendedOnly, entry(0x123, {}), -1},
        {"slot 0 closed, 1-31 default", noneAtAll, entry(0x000, {}), -1},
        {"slot 0 closed, all ones", noneAtAll, entry(0x7FF, {0xFF, 0xFF}), -1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.table.FirstPassing(keyOf(row.frame)), row.firstSlot) << row.name;
    }
    EXPECT_FALSE(fresh.Set({0, 0, 32}));
    EXPECT_EQ(fresh.slot(31).mask, 0xFFFFFFFFu);
    EXPECT_EQ(fresh.slot(31).value, 0u);
}

TEST(FrameFilterTest, BatchKeepsTakenOrderAndEachFrameOnce) {
    // Taken newest first: 0x183 is the newest.
    const MessagingEntry taken[] = {entry(0x183, {3}), entry(0x281, {2}),
                                    entry(0x181, {1}, sharing::kEntryRemote)};
    FilterTable twoSlotsPass181;  // slot 0 passes all, slot 1 passes 0x181 too
    ASSERT_TRUE(twoSlotsPass181.Set({0x0000FFFF, 0x0181FFFF, 1}));
    FilterTable only181;
    ASSERT_TRUE(only181.Set({0xFFFFFFFF, 0, 0}));
    ASSERT_TRUE(only181.Set({0x0000FFFF, 0x0181FFFF, 1}));
    FilterTable none;
    ASSERT_TRUE(none.Set({0xFFFFFFFF, 0, 0}));

    const auto all = sharing::BuildBatch(taken, 3, twoSlotsPass181, 1234);
    EXPECT_EQ(all.frames, 3u);
    EXPECT_EQ(Texts(sharing::FramesOfBlock(all.message.data() + sharing::kHeaderBytes,
                                           all.message.size() - sharing::kHeaderBytes)),
              (std::vector<std::string>{"183#03", "281#02", "181#R1"}));

    const auto one = sharing::BuildBatch(taken, 3, only181, 1234);
    EXPECT_EQ(one.frames, 1u);
    sharing::WireReader reader;
    reader.Feed(one.message.data(), one.message.size());
    const auto message = reader.Next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->handle, 1234u);
    EXPECT_EQ(message->parameter, sharing::kBlockFrames);
    EXPECT_EQ(message->block.size(), sharing::kFrameBytes);

    const auto nothing = sharing::BuildBatch(taken, 3, none, 1234);
    EXPECT_EQ(nothing.frames, 0u);
    EXPECT_TRUE(nothing.message.empty());
}

TEST(FrameFilterTest, SocketPathIsInTheRuntimeFolder) {
    EXPECT_EQ(sharing::SharingSocketPathIn("/run/user/1000"),
              std::optional<std::string>("/run/user/1000/quorvane-sharing.sock"));
    EXPECT_EQ(sharing::SharingSocketPathIn("/tmp/x/"),
              std::optional<std::string>("/tmp/x/quorvane-sharing.sock"));
    EXPECT_FALSE(sharing::SharingSocketPathIn(nullptr));
    EXPECT_FALSE(sharing::SharingSocketPathIn(""));
    EXPECT_FALSE(sharing::SharingSocketPathIn("relative/dir"));
    EXPECT_FALSE(sharing::SharingSocketPathIn(("/" + std::string(120, 'd')).c_str()));
}

}  // namespace
