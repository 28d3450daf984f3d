// The SDO client engine against the library's SDO server engine on an
// in-memory object dictionary, on virtual time: both sides must agree on
// every transfer kind, size and block size, and resend what is lost. Refusals
// and server faults across both engines run end to end in tests/integration.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/sdo_client.h"
#include "protocol/sdo_server.h"

namespace {

using namespace std::chrono_literals;
using morvell::sdo::Client;
using morvell::sdo::ClientConfig;
using morvell::sdo::Completion;
using morvell::sdo::Server;
using morvell::sdo::ServerConfig;
using morvell::sdo::TimePoint;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kNode = 9;
constexpr std::uint16_t kIndex = 0x2100;
constexpr std::uint8_t kSub = 2;
constexpr std::size_t kSizes[] = {0, 1, 4, 5, 7, 8, 889, 890, 160000};

Bytes values(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ 0x5A);
    return b;
}

// Percent reports rise by at least 1 and end at 100; none for an empty value.
void expectProgress(const std::vector<float>& progress, std::size_t size) {
    if (size == 0) {
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

class SdoClientServerTest : public ::testing::Test {
protected:
    sdotest::MemoryObjects objects;
    Client client;
    std::optional<Server> server_;
    TimePoint now{};
    std::vector<float> progress;
    int completions = 0;
    int lost_request = -1;   // index (from 0 per run) of a request that is lost
    int lost_response = -1;  // the same for responses

    Server& server(ServerConfig config = {}) {
        if (!server_) {
            config.node = kNode;
            server_.emplace(config, objects);
        }
        return *server_;
    }

    void configure(bool block_upload, std::uint32_t block_download_min,
                   std::uint8_t switch_threshold = 21, std::uint8_t block_size = 127) {
        ClientConfig c;
        c.block_upload = block_upload;
        c.block_download_min_bytes = block_download_min;
        c.protocol_switch_threshold = switch_threshold;
        c.block_size = block_size;
        client.setConfig(c);
    }

    // Moves frames both ways until the client completes; with nothing in
    // flight, time jumps to the earlier deadline.
    Completion run() {
        progress.clear();
        completions = 0;
        std::optional<Completion> done;
        auto collect = [&] {
            if (auto p = client.takeProgress()) progress.push_back(*p);
            if (auto c = client.takeCompletion()) {
                ++completions;
                done = c;
            }
        };
        collect();
        int requests_seen = 0;
        int responses_seen = 0;
        for (int steps = 0; steps < 10000000; ++steps) {
            std::vector<CanFrame> requests = client.takeFrames();
            for (const CanFrame& f : requests) {
                if (requests_seen++ != lost_request) server().onFrame(f, now);
            }
            std::vector<CanFrame> responses = server().takeFrames();
            for (const CanFrame& f : responses) {
                if (responses_seen++ != lost_response) client.onFrame(f, now);
                collect();
            }
            if (!requests.empty() || !responses.empty()) continue;
            if (!client.busy()) break;
            TimePoint next = *client.deadline();
            if (auto d = server().deadline()) next = std::min(next, *d);
            now = next;
            server().onTimer(now);
            client.onTimer(now);
            collect();
        }
        EXPECT_EQ(completions, 1);
        return done.value_or(Completion{-1, "no completion", 0});
    }

    Completion upload(Bytes& destination) {
        client.startUpload(kNode, kIndex, kSub, destination, now);
        return run();
    }
    Completion download(const Bytes& data) {
        client.startDownload(kNode, kIndex, kSub, data, now);
        return run();
    }
};

struct ModeRow {
    const char* name;
    bool block_upload;
    std::uint32_t block_download_min;
    std::uint8_t switch_threshold;
    std::uint8_t client_block_size;
    std::uint8_t server_block_size;
};

constexpr ModeRow kModes[] = {
    {"expedited / segmented", false, 0, 21, 127, 127},
    {"block, protocol switch at 21", true, 1, 21, 127, 127},
    {"block, no protocol switch", true, 1, 0, 127, 127},
    {"block, small blocks both ways", true, 1, 0, 3, 2},
};

TEST_F(SdoClientServerTest, EveryModeAndSizeRoundTrips) {
    for (const ModeRow& mode : kModes) {
        for (std::size_t size : kSizes) {
            SCOPED_TRACE(std::string(mode.name) + ", " + std::to_string(size) + " bytes");
            server_.reset();
            ServerConfig sc;
            sc.block_size = mode.server_block_size;
            server(sc);
            configure(mode.block_upload, mode.block_download_min, mode.switch_threshold,
                      mode.client_block_size);
            objects.add(kIndex, kSub, {});
            const Bytes value = values(size);

            const Completion written = download(value);
            EXPECT_EQ(written.code, 0) << written.text;
            EXPECT_EQ(written.length, size);
            EXPECT_EQ(objects.value(kIndex, kSub), value);
            expectProgress(progress, size);

            Bytes destination(size, 0xEE);
            const Completion read = upload(destination);
            EXPECT_EQ(read.code, 0) << read.text;
            EXPECT_EQ(read.length, size);
            EXPECT_EQ(destination, value);
            expectProgress(progress, size);
            EXPECT_FALSE(server().deadline());
        }
    }
}

TEST_F(SdoClientServerTest, LostBlockSegmentsAreResent) {
    // Blocks of 10 both ways; 890 bytes are 128 segments. Frame 0 is the
    // initiate request / response, frames 1-10 the first block.
    struct Row {
        bool upload;
        int lost;
    };
    const Row rows[] = {{true, 1}, {true, 10}, {true, 11}, {false, 9}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.upload ? "upload" : "download") + ", frame " +
                     std::to_string(row.lost));
        server_.reset();
        ServerConfig sc;
        sc.block_size = 10;
        server(sc);
        configure(true, 1, 0, 10);
        const Bytes value = values(890);
        objects.add(kIndex, kSub, row.upload ? value : Bytes{});
        (row.upload ? lost_response : lost_request) = row.lost;
        Bytes destination(890);
        const Completion c = row.upload ? upload(destination) : download(value);
        lost_request = lost_response = -1;
        EXPECT_EQ(c.code, 0) << c.text;
        EXPECT_EQ(row.upload ? destination : objects.value(kIndex, kSub), value);
        EXPECT_FALSE(server().deadline());
    }
}

}  // namespace
