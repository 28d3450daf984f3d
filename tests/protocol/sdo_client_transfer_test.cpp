// SDO client engine against an independent fake server on virtual time:
// every transfer kind and size, progress, lost segments, refused block
// transfer and faults injected into the frames in flight.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "protocol/sdo_abort.h"
#include "protocol/sdo_client.h"
#include "sdo_client_fake_server.h"

namespace {

using namespace std::chrono_literals;
using morvell::sdo::describeAbort;
using sdoclienttest::Bytes;
using sdoclienttest::ClientConfig;
using sdoclienttest::Completion;
using sdoclienttest::Exchange;
using sdoclienttest::pattern;

constexpr std::size_t kSizes[] = {0, 1, 4, 5, 7, 8, 889, 890, 160000};

enum class Kind {
    NormalUpload,
    NormalUploadWithoutSize,
    BlockUpload,
    BlockUploadNoSwitch,
    BlockUploadWithoutCrcOrSize,
    BlockUploadSmallBlocks,
    SegmentedDownload,
    BlockDownload,
    BlockDownloadSmallServerBlocks,
    BlockDownloadWithoutCrc,
};

struct KindRow {
    Kind kind;
    const char* name;
    bool upload;
};

constexpr KindRow kKinds[] = {
    {Kind::NormalUpload, "normal upload", true},
    {Kind::NormalUploadWithoutSize, "normal upload, no size indicated", true},
    {Kind::BlockUpload, "block upload, switch threshold 21", true},
    {Kind::BlockUploadNoSwitch, "block upload, no protocol switch", true},
    {Kind::BlockUploadWithoutCrcOrSize, "block upload, no CRC, no size", true},
    {Kind::BlockUploadSmallBlocks, "block upload, blocks of 3", true},
    {Kind::SegmentedDownload, "expedited / segmented download", false},
    {Kind::BlockDownload, "block download", false},
    {Kind::BlockDownloadSmallServerBlocks, "block download, server blocks of 2", false},
    {Kind::BlockDownloadWithoutCrc, "block download, no CRC on the server", false},
};

void configure(Exchange& x, Kind kind) {
    ClientConfig c;
    c.block_upload = false;
    c.block_download_min_bytes = 0;
    switch (kind) {
        case Kind::NormalUpload:
            break;
        case Kind::NormalUploadWithoutSize:
            x.server.indicate_size = false;
            break;
        case Kind::BlockUpload:
            c.block_upload = true;
            break;
        case Kind::BlockUploadNoSwitch:
            c.block_upload = true;
            c.protocol_switch_threshold = 0;
            break;
        case Kind::BlockUploadWithoutCrcOrSize:
            c.block_upload = true;
            c.protocol_switch_threshold = 0;
            x.server.crc = false;
            x.server.indicate_size = false;
            break;
        case Kind::BlockUploadSmallBlocks:
            c.block_upload = true;
            c.protocol_switch_threshold = 0;
            c.block_size = 3;
            break;
        case Kind::SegmentedDownload:
            break;
        case Kind::BlockDownload:
            c.block_download_min_bytes = 1;
            break;
        case Kind::BlockDownloadSmallServerBlocks:
            c.block_download_min_bytes = 1;
            x.server.download_block_size = 2;
            break;
        case Kind::BlockDownloadWithoutCrc:
            c.block_download_min_bytes = 1;
            x.server.crc = false;
            break;
    }
    x.client.setConfig(c);
}

// Percent reports rise by at least 1 and end at 100; none without a size.
void expectProgress(const std::vector<float>& progress, bool size_known, std::size_t size) {
    if (!size_known || size == 0) {
        EXPECT_TRUE(progress.empty()) << progress.size() << " reports";
        return;
    }
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100.0f);
    EXPECT_LE(progress.size(), 101u);
    for (std::size_t i = 1; i < progress.size(); ++i) {
        if (progress[i] < 100.0f) {
            EXPECT_GE(progress[i] - progress[i - 1], 1.0f) << i;
        }
        EXPECT_GT(progress[i], progress[i - 1]) << i;
    }
}

TEST(SdoClientTransfer, EveryKindAndSizeArrivesIntact) {
    for (const KindRow& kind : kKinds) {
        for (std::size_t size : kSizes) {
            SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(size) + " bytes");
            Exchange x;
            configure(x, kind.kind);
            const Bytes data = pattern(size);
            Completion done;
            if (kind.upload) {
                x.server.value = data;
                Bytes destination(size, 0xEE);  // exactly the size: nothing may spill
                done = x.upload(destination);
                EXPECT_EQ(destination, data);
            } else {
                done = x.download(data);
                EXPECT_EQ(x.server.written, data);
            }
            EXPECT_EQ(done.code, 0) << done.text;
            EXPECT_EQ(done.text, "");
            EXPECT_EQ(done.length, size);
            EXPECT_EQ(x.completions, 1);
            EXPECT_FALSE(x.server.last_abort);
            const bool size_known = kind.kind != Kind::NormalUploadWithoutSize &&
                                    kind.kind != Kind::BlockUploadWithoutCrcOrSize;
            // Expedited uploads without size still carry their length (4 bytes).
            const bool expedited_without_size =
                kind.kind == Kind::NormalUploadWithoutSize && size >= 1 && size <= 4;
            if (!expedited_without_size) expectProgress(x.progress, size_known, size);
        }
    }
}

TEST(SdoClientTransfer, BlockTransferIsUsedWhereConfigured) {
    struct Row {
        std::uint32_t min_bytes;
        std::size_t size;
        std::uint8_t first_command;
    };
    const Row rows[] = {
        {64, 63, 0x21}, {64, 64, 0xC6}, {0, 160000, 0x21}, {1, 1, 0xC6}, {64, 4, 0x23}};
    for (const Row& row : rows) {
        Exchange x;
        ClientConfig c;
        c.block_download_min_bytes = row.min_bytes;
        x.client.setConfig(c);
        EXPECT_EQ(x.download(pattern(row.size)).code, 0);
        ASSERT_FALSE(x.client_frames.empty());
        EXPECT_EQ(x.client_frames[0].data[0], row.first_command) << row.size;
    }
}

TEST(SdoClientTransfer, BlockDownloadHonoursTheServersBlockSize) {
    Exchange x;
    ClientConfig c;
    c.block_download_min_bytes = 1;
    x.client.setConfig(c);
    x.server.download_block_size = 3;
    EXPECT_EQ(x.download(pattern(100)).code, 0);
    for (std::size_t i = 1; i < x.client_frames.size() - 1; ++i)
        EXPECT_LE(x.client_frames[i].data[0] & 0x7F, 3) << i;
    EXPECT_EQ(x.server.block_acks_sent, 5);  // 15 segments in blocks of 3
}

// ---- Lost segments -------------------------------------------------------------

struct LossRow {
    std::size_t size;
    int lost;  // index of the lost block segment, counted over the transfer
};

// Blocks of 10 segments; 889 bytes are 127 segments.
constexpr LossRow kLosses[] = {{889, 0}, {889, 5}, {890, 100}, {160000, 1000}, {160000, 3}};
// Uploads recover also when a block's last segment is lost (the client
// acknowledges after the silence).
constexpr LossRow kUploadLosses[] = {{889, 9}, {889, 126}, {890, 127}, {160000, 22857}};

// Whether a download segment ends its block (the fake server, unlike a real
// one, has no timer to acknowledge a block whose end was lost).
bool endsABlock(const CanFrame& f, unsigned block_size) {
    return (f.data[0] & 0x7F) == block_size || (f.data[0] & 0x80) != 0;
}

TEST(SdoClientTransfer, BlockUploadRecoversFromALostSegment) {
    std::vector<LossRow> rows(std::begin(kLosses), std::end(kLosses));
    rows.insert(rows.end(), std::begin(kUploadLosses), std::end(kUploadLosses));
    for (const LossRow& row : rows) {
        SCOPED_TRACE(std::to_string(row.size) + " bytes, segment " + std::to_string(row.lost));
        Exchange x;
        ClientConfig c;
        c.block_size = 10;
        x.client.setConfig(c);
        x.server.value = pattern(row.size);
        int index = -1;  // 0: the initiate response
        bool dropped = false;
        x.to_client_filter = [&](CanFrame&) {
            if (dropped || ++index < row.lost + 1) return true;
            dropped = true;
            return false;
        };
        Bytes destination(row.size);
        const Completion done = x.upload(destination);
        EXPECT_TRUE(dropped);
        EXPECT_EQ(done.code, 0) << done.text;
        EXPECT_EQ(destination, x.server.value);
        // One ack named fewer segments than the block held.
        int short_acks = 0;
        for (std::size_t i = 0; i + 1 < x.server.upload_acks.size(); ++i)
            short_acks += x.server.upload_acks[i] < 10;
        EXPECT_EQ(short_acks, 1);
    }
}

TEST(SdoClientTransfer, BlockDownloadResendsFromTheServersAck) {
    for (const LossRow& row : kLosses) {
        SCOPED_TRACE(std::to_string(row.size) + " bytes, segment " + std::to_string(row.lost));
        Exchange x;
        ClientConfig c;
        c.block_download_min_bytes = 1;
        x.client.setConfig(c);
        x.server.download_block_size = 10;
        int index = -1;  // 0: the initiate request
        bool dropped = false;
        x.to_server_filter = [&](CanFrame& f) {
            if (dropped || ++index < row.lost + 1 || endsABlock(f, 10)) return true;
            dropped = true;
            return false;
        };
        const Bytes data = pattern(row.size);
        const Completion done = x.download(data);
        EXPECT_TRUE(dropped);
        EXPECT_EQ(done.code, 0) << done.text;
        EXPECT_EQ(x.server.written, data);
        const std::size_t without_loss = 2 + (row.size + 6) / 7;  // initiate, segments, end
        EXPECT_GT(x.client_frames.size(), without_loss);          // some segments were sent twice
    }
}

// ---- Refused block transfer ----------------------------------------------------

TEST(SdoClientTransfer, RefusedBlockTransferFallsBackBothWays) {
    for (std::size_t size : kSizes) {
        SCOPED_TRACE(size);
        Exchange x;
        ClientConfig c;
        c.block_download_min_bytes = 1;
        c.protocol_switch_threshold = 0;
        x.client.setConfig(c);
        x.server.block_transfer = false;
        x.server.value = pattern(size);
        Bytes destination(size);
        for (int round = 0; round < 2; ++round) {
            Completion done = x.upload(destination);
            EXPECT_EQ(done.code, 0) << done.text;
            EXPECT_EQ(destination, x.server.value);
            EXPECT_EQ(x.client_frames[0].data[0], round == 0 ? 0xA4 : 0x40);
            done = x.download(x.server.value);
            EXPECT_EQ(done.code, 0) << done.text;
            EXPECT_EQ(x.server.written, x.server.value);
            const bool expedited = size >= 1 && size <= 4;
            const unsigned normal = expedited ? 0x23 | (4 - size) << 2 : 0x21;
            if (size > 0) {
                EXPECT_EQ(x.client_frames[0].data[0], round == 0 ? 0xC6 : normal);
            }
        }
    }
}

// ---- Faults in flight, each followed by a good transfer -------------------------

struct InFlightFault {
    const char* name;
    bool upload;
    Kind kind;
    std::function<bool(CanFrame&, int)> to_client;  // frame, index of the response
    std::function<bool(CanFrame&, int)> to_server;  // frame, index of the request
    std::int32_t code;
    std::uint32_t abort;            // expected in the text (code 5)
    std::uint32_t to_server_abort;  // expected at the server; 0: none
};

std::vector<InFlightFault> inFlightFaults() {
    auto pass = [](CanFrame&, int) { return true; };
    return {
        {"wrong toggle in the third upload segment", true, Kind::NormalUpload,
         [](CanFrame& f, int i) {
             if (i == 3) f.data[0] ^= 0x10;
             return true;
         },
         pass, 5, 0x05030000, 0x05030000},
        {"wrong toggle in a download segment response", false, Kind::SegmentedDownload,
         [](CanFrame& f, int i) {
             if (i == 2) f.data[0] ^= 0x10;
             return true;
         },
         pass, 5, 0x05030000, 0x05030000},
        {"block upload end with a wrong CRC", true, Kind::BlockUploadNoSwitch,
         [](CanFrame& f, int) {
             if ((f.data[0] & 0xE3) == 0xC1) f.data[1] ^= 1;
             return true;
         },
         pass, 5, 0x05040004, 0x05040004},
        {"block download end with a wrong CRC: the server aborts", false, Kind::BlockDownload, pass,
         [](CanFrame& f, int) {
             if ((f.data[0] & 0xE3) == 0xC1) f.data[2] ^= 1;
             return true;
         },
         5, 0x05040004, 0},
        {"server stops answering mid upload", true, Kind::NormalUpload,
         [](CanFrame&, int i) { return i < 10; }, pass, 11, 0, 0x05040000},
        {"server stops answering mid block download", false, Kind::BlockDownload,
         [](CanFrame&, int i) { return i < 2; }, pass, 11, 0, 0x05040000},
        {"a lost block upload request times out", true, Kind::BlockUpload, pass,
         [](CanFrame&, int i) { return i != 0; }, 11, 0, 0x05040000},
        {"upload segment truncated to 4 bytes", true, Kind::NormalUpload,
         [](CanFrame& f, int i) {
             if (i == 5) f.length = 4;
             return true;
         },
         pass, 5, 0x08000000, 0x08000000},
    };
}

TEST(SdoClientTransfer, FaultsInFlightEndTheTransferAndTheNextOneWorks) {
    for (const InFlightFault& row : inFlightFaults()) {
        SCOPED_TRACE(row.name);
        Exchange x;
        configure(x, row.kind);
        const Bytes data = pattern(890);
        x.server.value = data;
        int responses = 0;
        int requests = 0;
        x.to_client_filter = [&](CanFrame& f) { return row.to_client(f, responses++); };
        x.to_server_filter = [&](CanFrame& f) { return row.to_server(f, requests++); };
        Bytes destination(890);
        const Completion failed = row.upload ? x.upload(destination) : x.download(data);
        EXPECT_EQ(failed.code, row.code);
        EXPECT_EQ(failed.text, row.code == 5 ? describeAbort(row.abort) : "");
        EXPECT_EQ(x.completions, 1);
        EXPECT_EQ(x.server.last_abort.value_or(0), row.to_server_abort);

        x.to_client_filter = nullptr;
        x.to_server_filter = nullptr;
        const Completion next = row.upload ? x.upload(destination) : x.download(data);
        EXPECT_EQ(next.code, 0) << next.text;
        EXPECT_EQ(row.upload ? destination : x.server.written, data);
    }
}

TEST(SdoClientTransfer, UploadLargerThanTheBufferFailsForEveryKind) {
    for (const KindRow& kind : kKinds) {
        if (!kind.upload) continue;
        for (std::size_t size : {5u, 890u, 160000u}) {
            SCOPED_TRACE(std::string(kind.name) + ", " + std::to_string(size) + " bytes");
            Exchange x;
            configure(x, kind.kind);
            x.server.value = pattern(size);
            Bytes destination(size - 1, 0xEE);
            const Completion done = x.upload(destination);
            EXPECT_EQ(done.code, 5);
            EXPECT_NE(done.text.find(describeAbort(0x05040005)), std::string::npos) << done.text;
            EXPECT_LT(done.length, size);
            EXPECT_EQ(x.server.last_abort, 0x05040005u);
            // What was stored is the start of the entry, never beyond the buffer.
            EXPECT_TRUE(std::equal(destination.begin(), destination.begin() + done.length,
                                   x.server.value.begin()));
        }
    }
}

}  // namespace
