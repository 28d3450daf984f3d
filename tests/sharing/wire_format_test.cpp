// The messages of frame sharing, byte for byte: the examples of
// messaging_wire.h are the first rows.
#include <gtest/gtest.h>

#include "raw_client.h"
#include "sharing/core/messaging_wire.h"

namespace {

using sharing::Bytes;
using sharingtest::FromHex;
using sharingtest::Texts;
using sharingtest::ToHex;

CanFrame frame(uint32_t id, uint8_t flags, std::vector<uint8_t> data, uint8_t length = 0xFF) {
    CanFrame f{};
    f.id = id;
    f.flags = flags;
    f.length = length == 0xFF ? static_cast<uint8_t>(data.size()) : length;
    std::copy(data.begin(), data.end(), f.data);
    return f;
}

struct MessageRow {
    const char* hex;  // as the header comment writes it
    Bytes encoded;
    uint32_t message, handle, parameter;
    std::size_t blockBytes;
};

TEST(WireFormatTest, HeaderExamplesEncodeAndDecode) {
    const CanFrame one = frame(0x181, 0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88});
    const CanFrame batch[] = {frame(0x12045678, CANFRAME_FLAG_EXTENDED, {0xAA, 0xBB}),
                              frame(0x080, CANFRAME_FLAG_REMOTE, {})};
    const MessageRow rows[] = {
        {"01000000|39300000|01000000|00000000",
         sharing::Notification(sharing::kMessageStartup, 12345, sharing::kFromClient), 1, 12345, 1,
         0},
        {"02000000|d2040000|00000000|00000000",
         sharing::Notification(sharing::kMessageHandle, 1234, sharing::kFromQuorvane), 2, 1234, 0,
         0},
        {"03000000|39300000|01000000|00000000",
         sharing::Notification(sharing::kMessageShutdown, 12345, sharing::kFromClient), 3, 12345, 1,
         0},
        {"03000000|d2040000|00000000|00000000",
         sharing::Notification(sharing::kMessageShutdown, 1234, sharing::kFromQuorvane), 3, 1234, 0,
         0},
        {"4a000000|39300000|01000000|0c000000 ffff0000 ffff8101 01000000",
         sharing::FilterMessage(12345, {0x0000FFFF, 0x0181FFFF, 1}), 0x4A, 12345, 1, 12},
        {"4a000000|d2040000|00000000|0e000000 81010000 08 00 1122334455667788",
         sharing::FramesMessage(1234, &one, 1), 0x4A, 1234, 0, 14},
        {"4a000000|d2040000|00000000|1c000000 78560412 02 01 aabb000000000000"
         "                                    80000000 00 02 0000000000000000",
         sharing::FramesMessage(1234, batch, 2), 0x4A, 1234, 0, 28},
    };
    for (const MessageRow& row : rows) {
        SCOPED_TRACE(row.hex);
        EXPECT_EQ(ToHex(row.encoded), ToHex(FromHex(row.hex)));
        sharing::WireReader reader;
        const Bytes bytes = FromHex(row.hex);
        reader.Feed(bytes.data(), bytes.size());
        const auto message = reader.Next();
        ASSERT_TRUE(message);
        EXPECT_EQ(message->message, row.message);
        EXPECT_EQ(message->handle, row.handle);
        EXPECT_EQ(message->parameter, row.parameter);
        EXPECT_EQ(message->block.size(), row.blockBytes);
        EXPECT_FALSE(reader.Next());
    }
    const Bytes batchBytes =
        FromHex("78560412 02 01 aabb000000000000 80000000 00 02 0000000000000000");
    EXPECT_EQ(Texts(sharing::FramesOfBlock(batchBytes.data(), batchBytes.size())),
              (std::vector<std::string>{"12045678#AABB", "080#R0"}));
}

TEST(WireFormatTest, ReaderTakesMessagesSplitAtAnyByte) {
    const CanFrame one = frame(0x705, 0, {0x05});
    Bytes stream = sharing::Notification(sharing::kMessageStartup, 7, sharing::kFromClient);
    const Bytes data = sharing::FramesMessage(7, &one, 1);
    stream.insert(stream.end(), data.begin(), data.end());
    const Bytes bye = sharing::Notification(sharing::kMessageShutdown, 7, sharing::kFromClient);
    stream.insert(stream.end(), bye.begin(), bye.end());

    for (std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{17}, stream.size()}) {
        SCOPED_TRACE(chunk);
        sharing::WireReader reader;
        std::vector<uint32_t> codes;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            reader.Feed(stream.data() + at, std::min(chunk, stream.size() - at));
            while (auto message = reader.Next()) codes.push_back(message->message);
        }
        EXPECT_EQ(codes, (std::vector<uint32_t>{1, 0x4A, 3}));
    }
}

TEST(WireFormatTest, BlockAboveTheLimitBreaksTheStream) {
    sharing::WireReader reader;
    Bytes bytes;
    sharing::AppendDataHeader(bytes, 1, sharing::kBlockFrames, sharing::kMaxBlockBytes + 1);
    const Bytes after = sharing::Notification(sharing::kMessageStartup, 1, sharing::kFromClient);
    bytes.insert(bytes.end(), after.begin(), after.end());
    reader.Feed(bytes.data(), bytes.size());
    EXPECT_FALSE(reader.Next());
    EXPECT_TRUE(reader.broken());

    sharing::WireReader largest;  // a whole ring of frames is fine
    Bytes full;
    sharing::AppendDataHeader(full, 1, sharing::kBlockFrames, sharing::kMaxBlockBytes);
    full.resize(full.size() + sharing::kMaxBlockBytes);
    largest.Feed(full.data(), full.size());
    const auto message = largest.Next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->block.size(), sharing::kMaxBlockBytes);
}

TEST(WireFormatTest, ClientFramesAreWholeAndAtMostEightBytes) {
    struct Row {
        const char* name;
        std::string hex;
        std::vector<std::string> frames;
    } rows[] = {
        {"two frames and 2 bytes",
         "81010000 02 00 1122334455667788 82010000 01 00 99000000000000ff abcd",
         {"181#1122", "182#99"}},
        {"length 9 skipped", "81010000 09 00 1122334455667788", {}},
        {"length 9 between two",
         "01010000 00 00 0000000000000000 02010000 0f 00 1122334455667788"
         "03010000 08 00 0102030405060708",
         {"101#", "103#0102030405060708"}},
        {"13 bytes", "81010000 02 00 11223344556677", {}},
        {"empty", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes bytes = FromHex(row.hex);
        const auto frames = sharing::FramesOfBlock(bytes.data(), bytes.size());
        EXPECT_EQ(Texts(frames), row.frames);
        for (const CanFrame& f : frames) {
            for (int i = f.length; i < 8; ++i) EXPECT_EQ(f.data[i], 0) << "byte " << i;
        }
    }
}

TEST(WireFormatTest, FilterIsExactlyTwelveBytesWithASlotUpTo31) {
    struct Row {
        std::string hex;
        bool valid;
        uint32_t mask, value, slot;
    } rows[] = {
        {"ffff0000 ffff8101 01000000", true, 0x0000FFFF, 0x0181FFFF, 1},
        {"ffffffff 00000000 1f000000", true, 0xFFFFFFFF, 0, 31},
        {"ffffffff 00000000 20000000", false, 0, 0, 0},
        {"ffffffff 00000000 010000", false, 0, 0, 0},
        {"ffffffff 00000000 01000000 00", false, 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hex);
        const Bytes bytes = FromHex(row.hex);
        const auto filter = sharing::FilterOfBlock(bytes.data(), bytes.size());
        ASSERT_EQ(filter.has_value(), row.valid);
        if (!filter) continue;
        EXPECT_EQ(filter->mask, row.mask);
        EXPECT_EQ(filter->value, row.value);
        EXPECT_EQ(filter->slot, row.slot);
    }
}

}  // namespace
