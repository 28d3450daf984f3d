// SDO server engine: exact response bytes per request, driven with a virtual
// clock and no bus. Node 5: requests on 0x605, responses on 0x585.
#include "protocol/sdo_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/can_frame.h"
#include "protocol/frame_duration.h"
#include "sdo_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using sdotest::pattern;
using sdotest::Responses;
using sdotest::SdoServerTest;

// ---- Errors ------------------------------------------------------------------

struct AccessErrorRow {
    const char* what;
    std::string request;
    std::string response;
};

TEST_F(SdoServerTest, ObjectAccessErrorsAbortAtInitiate) {
    objects.add(0x2000, 1, {1}).read_only = true;
    objects.add(0x2000, 3, {1}).max_size = 2;
    const AccessErrorRow rows[] = {
        {"upload missing", "4000200900000000", "585#8000200900000206"},
        {"block upload missing", "A400200910000000", "585#8000200900000206"},
        {"expedited download read-only", "2F00200101000000", "585#8000200102000106"},
        {"segmented download too long", "2100200303000000", "585#8000200312000706"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
    EXPECT_EQ(objects.writeCount(), 0u);
    // Without a size indicated the size is checked when the value is complete.
    EXPECT_EQ(request("2000200300000000"), Responses{"585#6000200300000000"});
}

TEST_F(SdoServerTest, RefusedValueAtCompletionAborts) {
    objects.add(0x2000, 1, {}).write_abort = 0x06090030;
    request("210020010A000000");
    request("0000010203040506");
    EXPECT_EQ(request("1907080900000000"), Responses{"585#8000200130000906"});
}

struct BadRequestRow {
    const char* what;
    std::vector<std::string> before;  // requests that set the state
    std::string request;
    Responses responses;
};

TEST_F(SdoServerTest, BadRequestsAbort) {
    objects.add(0x2000, 1, pattern(30));
    const std::string upload = "4000200100000000";
    const std::string block_upload = "A400200103000000";
    const std::string block_start = "A300000000000000";
    // clang-format off
    const BadRequestRow rows[] = {
        {"unknown specifier", {}, "E000200100000000", {"585#8000200101000405"}},
        {"short request", {}, "400020", {"585#8000200001000405"}},
        {"upload toggle", {upload, "6000000000000000"}, "6000000000000000",
         {"585#8000200100000305"}},
        {"download toggle", {"2100200114000000"}, "1000000000000000", {"585#8000200100000305"}},
        {"fewer bytes than indicated", {"210020010A000000"}, "0100010203040506",
         {"585#8000200110000706"}},
        {"block size 0", {}, "A400200100000000", {"585#8000200102000405"}},
        {"ack beyond sent", {block_upload, block_start}, "A2047F0000000000",
         {"585#8000200103000405"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        for (const auto& r : row.before) request(r);
        EXPECT_EQ(request(row.request), row.responses) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
    EXPECT_EQ(objects.writeCount(), 0u);
}

// ---- Restarts, aborts and time-outs -----------------------------

TEST_F(SdoServerTest, NewInitiateStartsOver) {
    objects.add(0x2000, 1, pattern(20));
    objects.add(0x2000, 2, {7});
    request("4000200100000000");
    request("6000000000000000");
    EXPECT_EQ(request("4000200200000000"), Responses{"585#4F00200207000000"});
    EXPECT_FALSE(server().deadline());
    EXPECT_EQ(request("4000200100000000"), Responses{"585#4100200114000000"});
    EXPECT_EQ(request("6000000000000000"), Responses{"585#0001020304050607"});
}

TEST_F(SdoServerTest, ClientAbortEndsTransferSilently) {
    objects.add(0x2000, 1, pattern(20));
    request("4000200100000000");
    EXPECT_TRUE(request("8000200100000008").empty());
    EXPECT_FALSE(server().deadline());
    EXPECT_EQ(request("6000000000000000"), Responses{"585#8000000001000405"});
}

TEST_F(SdoServerTest, TimeOutAbortsAndReturnsToIdle) {
    objects.add(0x2000, 1, pattern(20));
    const std::vector<std::string> transfers[] = {
        {"4000200100000000", "6000000000000000"},
        {"A400200110000000", "A300000000000000"},
        {"C600200114000000", "0101020304050607"},
    };
    for (const auto& requests : transfers) {
        for (const auto& r : requests) {  // each request restarts the time
            request(r);
            ASSERT_EQ(server().deadline(), now + config.timeout) << r;
            advance(config.timeout - 1ms);
            server().onTimer(now);
            EXPECT_TRUE(server().takeFrames().empty()) << r;
        }
        advance(1ms);
        server().onTimer(now);
        EXPECT_EQ(responses(), Responses{"585#8000200100000405"}) << requests[0];
        EXPECT_FALSE(server().deadline());
        EXPECT_EQ(request("7000000000000000"), Responses{"585#8000000001000405"});
    }
}

TEST_F(SdoServerTest, WaitsStartWhenTheResponsesHaveHadTheirTimeOnTheBus) {
    // A block upload's 127 segments are on the bus for 1.4-1.7 s at 10 kbit/s:
    // the client's acknowledgement cannot come within the time-out of the hand-over.
    config.bitrate_bps = 10000;
    objects.add(0x2000, 1, pattern(127 * 7));
    const auto requestFrames = [this](const std::string& hex) {
        const sdotest::Bytes data = sdotest::fromHex(hex);
        CanFrame f{};
        f.id = kRequestId;
        f.length = static_cast<std::uint8_t>(data.size());
        std::copy(data.begin(), data.end(), f.data);
        server().onFrame(f, now);
        return server().takeFrames();
    };
    const auto busTime = [](const std::vector<CanFrame>& frames) {
        std::chrono::nanoseconds total{};
        for (const CanFrame& f : frames) total += morvell::frameDuration(f, 10000);
        return std::chrono::duration_cast<morvell::sdo::TimePoint::duration>(total);
    };
    std::vector<CanFrame> sent = requestFrames("A40020017F000000");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(server().deadline(), now + busTime(sent) + config.timeout);
    sent = requestFrames("A300000000000000");
    ASSERT_EQ(sent.size(), 127u);
    EXPECT_GT(busTime(sent), 1400ms);
    EXPECT_EQ(server().deadline(), now + busTime(sent) + config.timeout);
    advance(std::chrono::duration_cast<std::chrono::milliseconds>(busTime(sent)) + config.timeout -
            1ms);
    server().onTimer(now);
    EXPECT_TRUE(server().takeFrames().empty()) << "still waiting for the acknowledgement";
    EXPECT_EQ(requestFrames("A27F7F0000000000").size(), 1u);  // the end of the upload
}

}  // namespace
