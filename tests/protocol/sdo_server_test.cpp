// SDO server engine: exact response bytes per request, driven with a virtual
// clock and no bus. Node 5: requests on 0x605, responses on 0x585.
#include "protocol/sdo_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/can_frame.h"
#include "sdo_server_fixture.h"

namespace {

using namespace std::chrono_literals;
using sdotest::Access;
using sdotest::Bytes;
using sdotest::ConversationRow;
using sdotest::pattern;
using sdotest::Responses;
using sdotest::SdoServerTest;

// ---- Expedited and segmented transfers -------------------------------------

TEST_F(SdoServerTest, ExpeditedAndSegmentedTransfers) {
    const Bytes x = {0xAA, 0xBB, 0xCC, 0xDD};
    // clang-format off
    const ConversationRow rows[] = {
        {"upload of 1 byte", {x[0]}, {x[0]}, {"4000200100000000 > 4F002001AA000000"}},
        {"upload of 4 bytes", x, x, {"4000200100000000 > 43002001AABBCCDD"}},
        {"download of 1 byte", {}, {x[0]}, {"2F002001AA000000 > 6000200100000000"}},
        {"download of 4 bytes", {}, x, {"23002001AABBCCDD > 6000200100000000"}},
        {"download without size: all 4 bytes", {}, x, {"22002001AABBCCDD > 6000200100000000"}},
        {"upload of 10 bytes", pattern(10), pattern(10),
         {"4000200100000000 > 410020010A000000", "6000000000000000 > 0001020304050607",
          "7000000000000000 > 1908090A00000000"}},
        {"upload of an empty value", {}, {},
         {"4000200100000000 > 4100200100000000", "6000000000000000 > 0F00000000000000"}},
        {"download with size", {}, pattern(10),
         {"210020010A000000 > 6000200100000000", "0001020304050607 > 2000000000000000",
          "1908090A00000000 > 3000000000000000"}},
        {"download without size", {}, pattern(3),
         {"2000200100000000 > 6000200100000000", "0901020300000000 > 2000000000000000"}},
        {"download of an empty value", {1, 2}, {},
         {"2100200100000000 > 6000200100000000", "0F00000000000000 > 2000000000000000"}},
    };
    // clang-format on
    expectConversations(rows);
}

// ---- Errors ------------------------------------------------------------------

struct AccessErrorRow {
    const char* what;
    std::string request;
    std::string response;
};

TEST_F(SdoServerTest, ObjectAccessErrorsAbortAtInitiate) {
    objects.add(0x2000, 1, {1}, Access::ReadOnly);
    objects.add(0x2000, 2, {1}, Access::WriteOnly);
    objects.add(0x2000, 3, {1}).max_size = 2;
    objects.add(0x2000, 4, {1}).min_size = 4;
    const AccessErrorRow rows[] = {
        {"upload missing object", "4000300100000000", "585#8000300100000206"},
        {"upload missing subindex", "4000200900000000", "585#8000200911000906"},
        {"upload write-only", "4000200200000000", "585#8000200201000106"},
        {"block upload write-only", "A400200210000000", "585#8000200201000106"},
        {"expedited download read-only", "2F00200101000000", "585#8000200102000106"},
        {"block download read-only", "C600200110000000", "585#8000200102000106"},
        {"segmented download too long", "2100200303000000", "585#8000200312000706"},
        {"expedited download too long", "2700200301020300", "585#8000200312000706"},
        {"expedited download too short", "2B00200401020000", "585#8000200413000706"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
    EXPECT_EQ(objects.writeCount(), 0u);
    // Without a size indicated the size is checked when the value is complete.
    EXPECT_EQ(request("2000200400000000"), Responses{"585#6000200400000000"});
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
        {"segment when idle", {}, "6000200100000000", {"585#8000200101000405"}},
        {"short request", {}, "400020", {"585#8000200001000405"}},
        {"empty request", {}, "", {"585#8000000001000405"}},
        {"download segment during upload", {upload}, "0000000000000000", {"585#8000200101000405"}},
        {"short request during upload", {upload}, "60", {"585#8000200101000405"}},
        {"ack before block start", {block_upload}, "A200100000000000", {"585#8000200101000405"}},
        {"block upload end before data", {block_upload, block_start}, "A100000000000000",
         {"585#8000200101000405"}},
        {"upload toggle", {upload, "6000000000000000"}, "6000000000000000",
         {"585#8000200100000305"}},
        {"download toggle", {"2100200114000000"}, "1000000000000000", {"585#8000200100000305"}},
        {"fewer bytes than indicated", {"210020010A000000"}, "0100010203040506",
         {"585#8000200110000706"}},
        {"more bytes than indicated", {"2100200103000000"}, "0000010203040506",
         {"585#8000200110000706"}},
        {"block size 0", {}, "A400200100000000", {"585#8000200102000405"}},
        {"block size 128", {}, "A400200180000000", {"585#8000200102000405"}},
        {"ack beyond sent", {block_upload, block_start}, "A2047F0000000000",
         {"585#8000200103000405"}},
        {"ack with block size 0", {block_upload, block_start}, "A203000000000000",
         {"585#8000200102000405"}},
    };
    // clang-format on
    for (const auto& row : rows) {
        for (const auto& r : row.before) request(r);
        EXPECT_EQ(request(row.request), row.responses) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
    EXPECT_EQ(objects.writeCount(), 0u);
}

// ---- Other frames, restarts, aborts and time-outs -----------------------------

TEST_F(SdoServerTest, IgnoresOtherIdentifiersAndFrameKinds) {
    objects.add(0x2000, 1, {1});
    EXPECT_TRUE(requestOn(0x606, "4000200100000000").empty());
    CanFrame remote = frame(0x605, "4000200100000000");
    remote.flags = CANFRAME_FLAG_REMOTE;
    server().onFrame(remote, now);
    CanFrame extended = frame(0x605, "4000200100000000");
    extended.flags = CANFRAME_FLAG_EXTENDED;
    server().onFrame(extended, now);
    EXPECT_TRUE(server().takeFrames().empty());
}

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
    // In the middle of a download block, too.
    request("C600200114000000");
    request("0100000000000000");
    EXPECT_TRUE(request("8000200100000008").empty());
    EXPECT_FALSE(server().deadline());
    EXPECT_EQ(objects.writeCount(), 0u);
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

}  // namespace
