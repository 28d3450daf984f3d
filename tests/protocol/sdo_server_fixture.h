// Test fixture for the SDO server engine: node 5 on an in-memory object
// dictionary, a virtual clock, requests and responses as hex text. Long
// transfers run against the real client end to end in tests/integration.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/can_frame.h"
#include "protocol/sdo_server.h"

namespace sdotest {

using Bytes = std::vector<std::uint8_t>;
using Responses = std::vector<std::string>;  // "585#…" text, in sending order

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

// Steps "request > response response ..." with responses written without
// "585#"; "request >" expects no response.
using Conversation = std::vector<std::string>;

// A whole transfer on object 0x2000/1: its value before and after, and the
// conversation.
struct ConversationRow {
    const char* what;
    Bytes before;
    Bytes after;
    Conversation steps;
};

class SdoServerTest : public ::testing::Test {
protected:
    static constexpr std::uint32_t kRequestId = 0x605;

    SdoServerTest() { config.node = 5; }

    // Built on first use, so a test may change config before.
    morvell::sdo::Server& server() {
        if (!server_) server_.emplace(config, objects);
        return *server_;
    }

    // Sends one request (hex data, at most 8 bytes); returns the responses.
    Responses request(const std::string& hex) {
        const Bytes data = fromHex(hex);
        CanFrame f{};
        f.id = kRequestId;
        f.length = static_cast<std::uint8_t>(data.size());
        std::copy(data.begin(), data.end(), f.data);
        server().onFrame(f, now);
        return responses();
    }

    Responses responses() {
        Responses text;
        for (const CanFrame& f : server().takeFrames()) text.push_back(morvell::toString(f));
        return text;
    }

    void converse(const Conversation& steps, const std::string& what) {
        for (const std::string& step : steps) {
            std::istringstream in(step);
            std::string hex, response;
            in >> hex >> response;  // skips ">"
            Responses expected;
            while (in >> response) expected.push_back("585#" + response);
            EXPECT_EQ(request(hex), expected) << what << ": " << step;
        }
    }

    // Runs each row from a fresh object; a download stores exactly once.
    void expectConversations(std::span<const ConversationRow> rows) {
        for (const ConversationRow& row : rows) {
            objects.add(0x2000, 1, row.before);
            const std::size_t writes = objects.writeCount();
            converse(row.steps, row.what);
            EXPECT_EQ(objects.value(0x2000, 1), row.after) << row.what;
            EXPECT_EQ(objects.writeCount() - writes, row.before == row.after ? 0u : 1u) << row.what;
            EXPECT_FALSE(server().deadline()) << row.what;
        }
    }

    void advance(std::chrono::milliseconds step) { now += step; }

    morvell::sdo::ServerConfig config;
    MemoryObjects objects;
    morvell::sdo::TimePoint now{};  // virtual clock

private:
    std::optional<morvell::sdo::Server> server_;
};

}  // namespace sdotest
