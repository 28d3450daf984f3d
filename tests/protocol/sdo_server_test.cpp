// SDO server engine: exact response bytes per request, driven with a virtual
// clock and no bus. Node 5: requests on 0x605, responses on 0x585.
#include "protocol/sdo_server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory_objects.h"
#include "protocol/can_frame.h"
#include "protocol/crc16.h"
#include "sdo_server_fixture.h"

namespace {

using morvell::sdo::ServerFault;
using sdotest::Access;
using sdotest::Bytes;
using sdotest::pattern;
using sdotest::SdoServerTest;
using Responses = std::vector<std::string>;

// ---- Upload ------------------------------------------------------------

struct ExpeditedUploadRow {
    Bytes value;
    std::string response;
};

TEST_F(SdoServerTest, ExpeditedUploadOfOneToFourBytes) {
    const ExpeditedUploadRow rows[] = {
        {{0x11}, "585#4F00200111000000"},
        {{0x11, 0x22}, "585#4B00200111220000"},
        {{0x11, 0x22, 0x33}, "585#4700200111223300"},
        {{0x11, 0x22, 0x33, 0x44}, "585#4300200111223344"},
    };
    for (const auto& row : rows) {
        objects.add(0x2000, 1, row.value);
        EXPECT_EQ(request("4000200100000000"), Responses{row.response});
        EXPECT_FALSE(server().deadline());
    }
}

TEST_F(SdoServerTest, SegmentedUploadOfTenBytes) {
    objects.add(0x2000, 2, pattern(10));
    EXPECT_EQ(request("4000200200000000"), Responses{"585#410020020A000000"});
    EXPECT_EQ(request("6000000000000000"), Responses{"585#0001020304050607"});
    EXPECT_EQ(request("7000000000000000"), Responses{"585#1908090A00000000"});
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, EmptyValueUploadsAsOneEmptySegment) {
    objects.add(0x2000, 3, {});
    EXPECT_EQ(request("4000200300000000"), Responses{"585#4100200300000000"});
    EXPECT_EQ(request("6000000000000000"), Responses{"585#0F00000000000000"});
    EXPECT_FALSE(server().deadline());
}

// ---- Download ----------------------------------------------------------

struct ExpeditedDownloadRow {
    std::string request;
    Bytes stored;
};

TEST_F(SdoServerTest, ExpeditedDownloadWithAndWithoutSize) {
    const ExpeditedDownloadRow rows[] = {
        {"2F002001AA000000", {0xAA}},
        {"2B002001AABB0000", {0xAA, 0xBB}},
        {"27002001AABBCC00", {0xAA, 0xBB, 0xCC}},
        {"23002001AABBCCDD", {0xAA, 0xBB, 0xCC, 0xDD}},
        {"22002001AABBCCDD", {0xAA, 0xBB, 0xCC, 0xDD}},  // no size: all four bytes
    };
    for (const auto& row : rows) {
        objects.add(0x2000, 1, {});
        EXPECT_EQ(request(row.request), Responses{"585#6000200100000000"}) << row.request;
        EXPECT_EQ(objects.value(0x2000, 1), row.stored) << row.request;
        EXPECT_EQ(objects.checkedSizes().back(), row.stored.size());
    }
}

TEST_F(SdoServerTest, SegmentedDownloadWithSize) {
    objects.add(0x2000, 1, {});
    EXPECT_EQ(request("210020010A000000"), Responses{"585#6000200100000000"});
    EXPECT_EQ(objects.checkedSizes().back(), 10u);
    EXPECT_EQ(request("0001020304050607"), Responses{"585#2000000000000000"});
    EXPECT_EQ(objects.writeCount(), 0u);  // stored only when complete
    EXPECT_EQ(request("1908090A00000000"), Responses{"585#3000000000000000"});
    EXPECT_EQ(objects.value(0x2000, 1), pattern(10));
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, SegmentedDownloadWithoutSize) {
    objects.add(0x2000, 1, {});
    EXPECT_EQ(request("2000200100000000"), Responses{"585#6000200100000000"});
    EXPECT_EQ(objects.checkedSizes().back(), std::nullopt);
    EXPECT_EQ(request("0901020300000000"), Responses{"585#2000000000000000"});
    EXPECT_EQ(objects.value(0x2000, 1), pattern(3));
}

TEST_F(SdoServerTest, EmptyValueDownloadsAsOneEmptySegment) {
    objects.add(0x2000, 1, {1, 2});
    EXPECT_EQ(request("2100200100000000"), Responses{"585#6000200100000000"});
    EXPECT_EQ(request("0F00000000000000"), Responses{"585#2000000000000000"});
    EXPECT_EQ(objects.writeCount(), 1u);
    EXPECT_TRUE(objects.value(0x2000, 1).empty());
}

TEST_F(SdoServerTest, SegmentedDownloadSizeMismatchAborts) {
    objects.add(0x2000, 1, {});
    // Fewer bytes than indicated.
    request("210020010A000000");
    EXPECT_EQ(request("0100010203040506"), Responses{"585#8000200110000706"});
    // More bytes than indicated: refused as soon as they exceed the size.
    request("2100200103000000");
    EXPECT_EQ(request("0000010203040506"), Responses{"585#8000200110000706"});
    EXPECT_EQ(objects.writeCount(), 0u);
    EXPECT_FALSE(server().deadline());
}

TEST_F(SdoServerTest, WrongToggleAborts) {
    objects.add(0x2000, 1, pattern(20));
    request("4000200100000000");
    request("6000000000000000");
    EXPECT_EQ(request("6000000000000000"), Responses{"585#8000200100000305"});
    request("2100200114000000");
    EXPECT_EQ(request("1000000000000000"), Responses{"585#8000200100000305"});
    EXPECT_FALSE(server().deadline());
}

// ---- Errors at initiate --------------------------------------------------

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
        {"segmented download read-only", "2100200110000000", "585#8000200102000106"},
        {"block download read-only", "C600200110000000", "585#8000200102000106"},
        {"download missing object", "2F00300101000000", "585#8000300100000206"},
        {"segmented download too long", "2100200303000000", "585#8000200312000706"},
        {"block download too long", "C600200303000000", "585#8000200312000706"},
        {"expedited download too long", "2700200301020300", "585#8000200312000706"},
        {"expedited download too short", "2B00200401020000", "585#8000200413000706"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(request(row.request), Responses{row.response}) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
    EXPECT_EQ(objects.writeCount(), 0u);
}

TEST_F(SdoServerTest, RefusedValueAtCompletionAborts) {
    objects.add(0x2000, 1, {}).write_abort = 0x06090030;
    request("210020010A000000");
    request("0000010203040506");
    EXPECT_EQ(request("1907080900000000"), Responses{"585#8000200130000906"});
}

// ---- Unexpected requests -------------------------------------------------

struct UnexpectedRow {
    const char* what;
    std::vector<std::string> before;  // requests that set the state
    std::string request;
    Responses responses;
};

TEST_F(SdoServerTest, UnexpectedRequestsAbortWithCommandSpecifier) {
    objects.add(0x2000, 1, pattern(20));
    const UnexpectedRow rows[] = {
        {"unknown specifier", {}, "E000200100000000", {"585#8000200101000405"}},
        {"segment when idle", {}, "6000200100000000", {"585#8000200101000405"}},
        {"short request", {}, "400020", {"585#8000200001000405"}},
        {"empty request", {}, "", {"585#8000000001000405"}},
        {"download segment during upload",
         {"4000200100000000"},
         "0000000000000000",
         {"585#8000200101000405"}},
        {"short request during upload", {"4000200100000000"}, "60", {"585#8000200101000405"}},
        {"ack before block start",
         {"A400200110000000"},
         "A200100000000000",
         {"585#8000200101000405"}},
        {"block upload end before data",
         {"A400200110000000", "A300000000000000"},
         "A100000000000000",
         {"585#8000200101000405"}},
    };
    for (const auto& row : rows) {
        for (const auto& r : row.before) request(r);
        EXPECT_EQ(request(row.request), row.responses) << row.what;
        EXPECT_FALSE(server().deadline()) << row.what;
    }
}

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
    request("4000200100000000");
    ASSERT_EQ(server().deadline(), now + config.timeout);
    advance(config.timeout - std::chrono::milliseconds(1));
    request("6000000000000000");  // each request restarts the time
    ASSERT_EQ(server().deadline(), now + config.timeout);
    advance(config.timeout - std::chrono::milliseconds(1));
    server().onTimer(now);
    EXPECT_TRUE(server().takeFrames().empty());
    advance(std::chrono::milliseconds(1));
    server().onTimer(now);
    EXPECT_EQ(responses(), Responses{"585#8000200100000405"});
    EXPECT_FALSE(server().deadline());
    EXPECT_EQ(request("7000000000000000"), Responses{"585#8000000001000405"});
}

TEST_F(SdoServerTest, TimeOutDuringBlockTransfers) {
    objects.add(0x2000, 1, pattern(20));
    for (const char* start : {"A400200110000000", "C600200114000000"}) {
        request(start);
        ASSERT_TRUE(server().deadline()) << start;
        advance(config.timeout);
        server().onTimer(now);
        EXPECT_EQ(responses(), Responses{"585#8000200100000405"}) << start;
        EXPECT_FALSE(server().deadline());
    }
}

}  // namespace
