// Test fixture for the SDO server engine: node 5 on an in-memory object
// dictionary, a virtual clock, requests and responses as hex text, and a
// minimal scripted client for long transfers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/can_frame.h"
#include "protocol/crc16.h"
#include "protocol/sdo_server.h"

namespace sdotest {

using Bytes = std::vector<std::uint8_t>;

// 1, 2, 3, ... (mod 256): a value whose every position is checkable.
inline Bytes pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i + 1);
    return b;
}

// "4000200100000000" -> bytes.
inline Bytes fromHex(const std::string& hex) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

class SdoServerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kRequestId = 0x605;
    static constexpr std::uint32_t kResponseId = 0x585;

    SdoServerTest() { config.node = 5; }

    // Built on first use, so a test may change config before.
    morvell::sdo::Server& server() {
        if (!server_) server_.emplace(config, objects);
        return *server_;
    }

    static CanFrame frame(std::uint32_t id, const Bytes& data) {
        CanFrame f{};
        f.id = id;
        f.length = static_cast<std::uint8_t>(std::min<std::size_t>(data.size(), 8));
        std::copy_n(data.begin(), f.length, f.data);
        return f;
    }
    static CanFrame frame(std::uint32_t id, const std::string& hex) {
        return frame(id, fromHex(hex));
    }

    // Sends one request; returns the responses as "585#…" text.
    std::vector<std::string> requestOn(std::uint32_t id, const std::string& hex) {
        server().onFrame(frame(id, hex), now);
        return responses();
    }
    std::vector<std::string> request(const std::string& hex) { return requestOn(kRequestId, hex); }

    std::vector<std::string> responses() {
        std::vector<std::string> text;
        for (const CanFrame& f : server().takeFrames()) text.push_back(morvell::toString(f));
        return text;
    }

    // Sends one request; returns the data of each response, checking that
    // every response is 8 bytes on the response identifier.
    std::vector<Bytes> exchange(const Bytes& request) {
        server().onFrame(frame(kRequestId, request), now);
        std::vector<Bytes> data;
        for (const CanFrame& f : server().takeFrames()) {
            EXPECT_EQ(f.id, kResponseId);
            EXPECT_EQ(f.length, 8u);
            data.emplace_back(f.data, f.data + 8);
        }
        return data;
    }

    void advance(std::chrono::milliseconds step) { now += step; }

    // ---- Scripted client: stops at the first unexpected response. ----

    static Bytes initiate(std::uint8_t command, std::uint16_t index, std::uint8_t subindex,
                          std::uint32_t word = 0) {
        return {command,
                static_cast<std::uint8_t>(index),
                static_cast<std::uint8_t>(index >> 8),
                subindex,
                static_cast<std::uint8_t>(word),
                static_cast<std::uint8_t>(word >> 8),
                static_cast<std::uint8_t>(word >> 16),
                static_cast<std::uint8_t>(word >> 24)};
    }

    static std::uint32_t word(const Bytes& r) {
        return r[4] | r[5] << 8 | r[6] << 16 | static_cast<std::uint32_t>(r[7]) << 24;
    }

    Bytes uploadSegmented(std::uint16_t index, std::uint8_t subindex) {
        auto r = exchange(initiate(0x40, index, subindex));
        if (r.size() != 1 || r[0][0] != 0x41) {
            ADD_FAILURE() << "no segmented initiate upload response";
            return {};
        }
        const std::uint32_t size = word(r[0]);
        Bytes value;
        for (std::uint8_t toggle = 0;; toggle ^= 0x10) {
            r = exchange({static_cast<std::uint8_t>(0x60 | toggle), 0, 0, 0, 0, 0, 0, 0});
            if (r.size() != 1 || (r[0][0] & 0xF0) != toggle) {
                ADD_FAILURE() << "bad upload segment response at " << value.size();
                return value;
            }
            const unsigned count = 7 - ((r[0][0] >> 1) & 7);
            value.insert(value.end(), r[0].begin() + 1, r[0].begin() + 1 + count);
            if (r[0][0] & 1) break;
        }
        EXPECT_EQ(value.size(), size);
        return value;
    }

    void downloadSegmented(std::uint16_t index, std::uint8_t subindex, const Bytes& value) {
        auto r =
            exchange(initiate(0x21, index, subindex, static_cast<std::uint32_t>(value.size())));
        ASSERT_EQ(r.size(), 1u);
        ASSERT_EQ(r[0][0], 0x60);
        std::size_t at = 0;
        std::uint8_t toggle = 0;
        do {
            const std::size_t count = std::min<std::size_t>(7, value.size() - at);
            const bool last = at + count == value.size();
            Bytes segment(8, 0);
            segment[0] = static_cast<std::uint8_t>(toggle | (7 - count) << 1 | (last ? 1 : 0));
            std::copy_n(value.begin() + static_cast<std::ptrdiff_t>(at), count,
                        segment.begin() + 1);
            r = exchange(segment);
            ASSERT_EQ(r.size(), 1u) << "at " << at;
            ASSERT_EQ(r[0][0], 0x20 | toggle) << "at " << at;
            at += count;
            toggle ^= 0x10;
        } while (at < value.size());
    }

    // Block upload with the given block size; every drop_every-th segment
    // (counted over the whole transfer) is treated as lost; 0 loses none.
    Bytes uploadBlock(std::uint16_t index, std::uint8_t subindex, std::uint8_t block_size,
                      std::size_t drop_every = 0) {
        Bytes request = initiate(0xA4, index, subindex);
        request[4] = block_size;
        auto r = exchange(request);
        if (r.size() != 1 || r[0][0] != 0xC6) {
            ADD_FAILURE() << "no block initiate upload response";
            return {};
        }
        const std::uint32_t size = word(r[0]);
        Bytes value;
        std::size_t received_segments = 0;
        r = exchange({0xA3, 0, 0, 0, 0, 0, 0, 0});
        for (;;) {
            std::uint8_t in_order = 0;
            bool last = false;
            for (const Bytes& segment : r) {
                if (drop_every != 0 && ++received_segments % drop_every == 0) continue;
                if ((segment[0] & 0x7F) != in_order + 1 || last) continue;
                in_order = segment[0] & 0x7F;
                last = (segment[0] & 0x80) != 0;
                value.insert(value.end(), segment.begin() + 1, segment.end());
            }
            r = exchange({0xA2, in_order, block_size, 0, 0, 0, 0, 0});
            if (last) break;
            if (r.empty()) {
                ADD_FAILURE() << "no block after ack";
                return {};
            }
        }
        if (r.size() != 1 || (r[0][0] & 0xE3) != 0xC1) {
            ADD_FAILURE() << "no block upload end";
            return {};
        }
        value.resize(value.size() - ((r[0][0] >> 2) & 7));
        EXPECT_EQ(value.size(), size);
        EXPECT_EQ(r[0][1] | r[0][2] << 8, morvell::sdo::crc16(value));
        EXPECT_TRUE(exchange({0xA1, 0, 0, 0, 0, 0, 0, 0}).empty());
        return value;
    }

    // Block download with CRC; every drop_every-th segment sent (counted
    // over the whole transfer, never a block's last) is lost; 0 loses none.
    void downloadBlock(std::uint16_t index, std::uint8_t subindex, const Bytes& value,
                       std::size_t drop_every = 0) {
        auto r =
            exchange(initiate(0xC6, index, subindex, static_cast<std::uint32_t>(value.size())));
        ASSERT_EQ(r.size(), 1u);
        ASSERT_EQ(r[0][0], 0xA4);
        std::uint8_t block_size = r[0][4];
        const std::size_t segments = std::max<std::size_t>(1, (value.size() + 6) / 7);
        std::size_t acked = 0;
        std::size_t sent = 0;
        while (acked < segments) {
            const std::size_t count = std::min<std::size_t>(block_size, segments - acked);
            r.clear();
            for (std::size_t seq = 1; seq <= count; ++seq) {
                const std::size_t at = (acked + seq - 1) * 7;
                Bytes segment(8, 0);
                const bool last = acked + seq == segments;
                segment[0] = static_cast<std::uint8_t>(seq | (last ? 0x80 : 0));
                std::copy_n(value.begin() + static_cast<std::ptrdiff_t>(at),
                            std::min<std::size_t>(7, value.size() - at), segment.begin() + 1);
                // A lost last segment of a block leaves only the time-out.
                if (drop_every != 0 && seq != count && ++sent % drop_every == 0) continue;
                auto out = exchange(segment);
                r.insert(r.end(), out.begin(), out.end());
            }
            ASSERT_EQ(r.size(), 1u) << "no ack after segment " << acked;
            ASSERT_EQ(r[0][0], 0xA2);
            ASSERT_LE(r[0][1], count);
            acked += r[0][1];
            block_size = r[0][2];
        }
        const auto unused = static_cast<std::uint8_t>(segments * 7 - value.size());
        const std::uint16_t crc = morvell::sdo::crc16(value);
        r = exchange({static_cast<std::uint8_t>(0xC1 | unused << 2), static_cast<std::uint8_t>(crc),
                      static_cast<std::uint8_t>(crc >> 8), 0, 0, 0, 0, 0});
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0][0], 0xA1);
    }

    morvell::sdo::ServerConfig config;
    MemoryObjects objects;
    morvell::sdo::TimePoint now{};  // virtual clock

private:
    std::optional<morvell::sdo::Server> server_;
};

}  // namespace sdotest
