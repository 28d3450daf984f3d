// SDO client engine against scripted responses: exact request bytes, every
// fault the client must detect, time-out, cancel and the recovery after each.
// Node 5: requests on 0x605, responses on 0x585; entry 0x2345/6.
#include "protocol/sdo_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/can_frame.h"
#include "protocol/crc16.h"
#include "protocol/frame_duration.h"
#include "protocol/sdo_abort.h"

namespace {

using namespace std::chrono_literals;
using morvell::sdo::describeAbort;
using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kNode = 5;
constexpr std::uint16_t kIndex = 0x2345;
constexpr std::uint8_t kSubindex = 6;
using Sent = std::vector<std::string>;

Bytes fromHex(const std::string& hex) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        b.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return b;
}

std::string hex16(std::uint16_t v) {  // little-endian, as on the wire
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X", v & 0xFF, v >> 8);
    return buf;
}

// "605#80452306" + code, little-endian.
std::string abortFrame(std::uint32_t code) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "605#80452306%02X%02X%02X%02X", code & 0xFF, (code >> 8) & 0xFF,
                  (code >> 16) & 0xFF, code >> 24);
    return buf;
}

// Server abort frame data for code.
std::string serverAbort(std::uint32_t code) {
    return abortFrame(code).substr(4);
}

class SdoClientTest : public ::testing::Test {
protected:
    morvell::sdo::Client client;
    morvell::sdo::TimePoint now{};
    Bytes buffer = Bytes(64);
    std::optional<morvell::sdo::Completion> completion;
    int completions = 0;

    void startUpload() { client.startUpload(kNode, kIndex, kSubindex, buffer, now); }
    void startDownload(const Bytes& data) {
        client.startDownload(kNode, kIndex, kSubindex, data, now);
    }

    // Frames the client produced since the last call, as "605#…"; records
    // the completion on the way.
    Sent sent() {
        Sent text;
        for (const CanFrame& f : client.takeFrames()) text.push_back(morvell::toString(f));
        if (auto c = client.takeCompletion()) {
            ++completions;
            completion = c;
            EXPECT_FALSE(client.busy());
            EXPECT_FALSE(client.deadline());
        }
        return text;
    }

    // Delivers one response (hex data; its length is the frame length).
    Sent reply(const std::string& hex, std::uint32_t id = 0x585, std::uint8_t flags = 0) {
        CanFrame f{};
        f.id = id;
        f.flags = flags;
        Bytes b = fromHex(hex);
        f.length = static_cast<std::uint8_t>(b.size());
        std::copy(b.begin(), b.end(), f.data);
        client.onFrame(f, now);
        return sent();
    }

    void setConfig(std::function<void(morvell::sdo::ClientConfig&)> change) {
        morvell::sdo::ClientConfig c = client.config();
        change(c);
        client.setConfig(c);
    }

    // A new client with the default configuration changed, and a zeroed buffer.
    void restart(std::function<void(morvell::sdo::ClientConfig&)> change,
                 std::size_t capacity = 64) {
        client = morvell::sdo::Client{};
        completion.reset();
        completions = 0;
        setConfig(std::move(change));
        buffer.assign(capacity, 0);
    }

    // The transfer timed out now: abort sent, code 11.
    void expectTimedOut(const std::string& after) {
        EXPECT_EQ(sent(), Sent{abortFrame(0x05040000)});
        ASSERT_TRUE(completion);
        EXPECT_EQ(completion->code, 11);
        EXPECT_EQ(completion->text, "No response from node 5 within " + after);
    }

    // A plain expedited upload must work after whatever happened before.
    void expectNextTransferWorks() {
        completion.reset();
        completions = 0;
        setConfig([](auto& c) { c.block_upload = false; });
        startUpload();
        EXPECT_EQ(sent(), Sent{"605#4045230600000000"});
        EXPECT_TRUE(reply("4F452306AA000000").empty());
        ASSERT_TRUE(completion);
        EXPECT_EQ(completion->code, 0) << completion->text;
        EXPECT_EQ(buffer[0], 0xAA);
    }
};

// ---- Exact frames of complete conversations -------------------------------

// Steps "reply > sent sent ...": the reply as hex data (none: the start of the
// transfer), then the frames the client sends in answer, without "605#".
using Steps = std::vector<std::string>;

struct ConversationRow {
    const char* name;
    bool upload;
    Bytes download_data;
    std::function<void(morvell::sdo::ClientConfig&)> config;
    Steps steps;
    Bytes expected_upload;
    std::size_t capacity = 64;  // of the upload buffer
};

std::vector<ConversationRow> conversations() {
    const Bytes nine = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::string crc9 = hex16(morvell::sdo::crc16(nine));
    Bytes sevens(35);  // 5 segments: 0 x 7, 1 x 7, ...
    for (std::size_t i = 0; i < 35; ++i) sevens[i] = static_cast<std::uint8_t>(i / 7);
    auto normal = [](auto& c) {
        c.block_upload = false;
        c.block_download_min_bytes = 0;
    };
    auto block = [](auto& c) { c.block_download_min_bytes = 1; };
    // clang-format off
    return {
        {"expedited download of 4 bytes", false, {0x11, 0x22, 0x33, 0x44}, normal,
         {"> 2345230611223344", "6045230600000000 >"}, {}},
        {"download of 0 bytes: size 0 and one empty last segment", false, {}, normal,
         {"> 2145230600000000", "6045230600000000 > 0F00000000000000", "2000000000000000 >"}, {}},
        {"segmented upload without size indicated, toggling requests", true, {}, normal,
         {"> 4045230600000000", "4045230600000000 > 6000000000000000",
          "0001020304050607 > 7000000000000000", "1B08090000000000 >"}, nine},
        {"block upload of 9 bytes", true, {}, block,
         {"> A44523067F150000", "C645230609000000 > A300000000000000", "0101020304050607 >",
          "8208090000000000 > A2027F0000000000", "D5" + crc9 + "0000000000 > A100000000000000"},
         nine},
        {"block upload answered by a normal upload (protocol switch)", true, {}, block,
         {"> A44523067F150000", "4F452306AA000000 >"}, {0xAA}},
        {"expedited upload without size into 1 byte: only zeros are left out", true, {}, normal,
         {"> 4045230600000000", "42452306AB000000 >"}, {0xAB}, 1},
        {"block download of 9 bytes in blocks of the server's size", false, nine, block,
         {"> C645230609000000", "A445230601000000 > 0101020304050607",
          "A201010000000000 > 8108090000000000", "A201010000000000 > D5" + crc9 + "0000000000",
          "A100000000000000 >"}, {}},
        // Segment 2 is lost; the resend starts at the second segment.
        {"block upload acks the last good segment and takes the resend", true, {},
         [](auto& c) { c.block_size = 4; },
         {"> A445230604150000", "C645230623000000 > A300000000000000", "0100000000000000 >",
          "0302020202020202 >", "0403030303030303 > A201040000000000", "0101010101010101 >",
          "0102020202020202 >" /* duplicate: ignored */, "0202020202020202 >",
          "0303030303030303 >", "8404040404040404 > A204040000000000",
          "C1" + hex16(morvell::sdo::crc16(sevens)) + "0000000000 > A100000000000000"},
         sevens, 35},
    };
    // clang-format on
}

TEST_F(SdoClientTest, ConversationsSendExactBytes) {
    for (const ConversationRow& row : conversations()) {
        SCOPED_TRACE(row.name);
        restart(row.config, row.capacity);
        for (const std::string& step : row.steps) {
            std::istringstream in(step);
            std::string response, word;
            if (step[0] != '>') in >> response;
            in >> word;  // ">"
            Sent expected;
            while (in >> word) expected.push_back("605#" + word);
            if (response.empty()) {
                row.upload ? startUpload() : startDownload(row.download_data);
                EXPECT_EQ(sent(), expected);
                EXPECT_TRUE(client.busy());
            } else {
                EXPECT_FALSE(completion) << "completed before " << step;
                EXPECT_EQ(reply(response), expected) << step;
            }
        }
        ASSERT_TRUE(completion);
        EXPECT_EQ(completions, 1);
        EXPECT_EQ(completion->code, 0) << completion->text;
        EXPECT_EQ(completion->text, "");
        const Bytes& expected = row.upload ? row.expected_upload : row.download_data;
        EXPECT_EQ(completion->length, expected.size());
        if (row.upload) {
            EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + completion->length), expected);
        }
        if (expected.empty()) {
            EXPECT_FALSE(client.takeProgress()) << "no progress for an empty value";
        }
    }
}

// ---- Faults: every one ends with code 5, an abort to the server (or none
// when the server aborted) and leaves the client ready ---------------------

struct FaultRow {
    const char* name;
    std::size_t download_size;  // 0: an upload
    bool block;
    std::vector<std::string> prelude;  // good replies before the fault
    std::string fault;                 // the bad reply
    std::uint32_t abort_code;          // expected abort: sent by the client, or by the server
    std::uint8_t block_size = 127;     // client's, for block uploads
    std::size_t capacity = 64;         // of the upload buffer
    std::string text_prefix = "";      // before the abort's text
    std::uint32_t received = 0;        // Completion.length
};

std::vector<FaultRow> faultRows() {
    using A = morvell::sdo::Abort;
    auto c = [](A a) { return code(a); };
    // clang-format off
    return {
        {"upload segment with the wrong toggle", 0, false, {"4145230614000000"},
         "1000000000000000", c(A::ToggleBit)},
        {"server aborts with an unknown code", 0, false, {}, serverAbort(0x12345678), 0x12345678},
        {"server aborts a block upload request with another code: no retry", 0, true, {},
         serverAbort(0x06020000), 0x06020000},
        {"short upload segment", 0, false, {"4145230614000000"}, "00010203040506", c(A::General)},
        {"download segment response with the wrong toggle", 20, false, {"6045230600000000"},
         "3000000000000000", c(A::ToggleBit)},
        {"block download acknowledges more segments than sent", 100, true, {"A445230604000000"},
         "A205040000000000", c(A::SequenceNumber)},
        {"segments total more than the size indicated", 0, false, {"4145230605000000"},
         "0101020304050607", c(A::TypeLength)},
        {"block upload segment beyond the block size", 0, true, {"C645230614000000"},
         "0501020304050607", c(A::SequenceNumber), 4},
        {"block upload end with a wrong CRC", 0, true, {"C645230607000000", "8101020304050607"},
         "C1FFFF0000000000", c(A::Crc), 127, 64, "", 7},
        {"block download initiate with block size 0", 100, true, {}, "A445230600000000",
         c(A::BlockSize)},
        // Uploads larger than the buffer are aborted, not cut.
        {"expedited 4 bytes into 3", 0, false, {}, "43452306AABBCCDD", c(A::OutOfMemory), 127, 3,
         "Entry of 4 bytes does not fit the buffer of 3 bytes: "},
        {"segments without size overflow", 0, false, {"4045230600000000", "0001020304050607"},
         "1101020304050607", c(A::OutOfMemory), 127, 10,
         "Entry larger than the buffer of 10 bytes: ", 7},
        {"block without size: the last segment overflows at the end", 0, true,
         {"C445230600000000", "0101020304050607", "8201020304050607"}, "C500000000000000",
         c(A::OutOfMemory), 127, 10, "Entry larger than the buffer of 10 bytes: ", 7},
    };
    // clang-format on
}

TEST_F(SdoClientTest, FaultsEndWithCodeFiveAndAbortAndLeaveTheClientReady) {
    for (const FaultRow& row : faultRows()) {
        SCOPED_TRACE(row.name);
        restart(
            [&](auto& c) {
                c.block_upload = row.block;
                c.block_download_min_bytes = row.block ? 1 : 0;
                c.block_size = row.block_size;
            },
            row.capacity);
        row.download_size ? startDownload(Bytes(row.download_size, 0x5A)) : startUpload();
        sent();
        for (const std::string& good : row.prelude) {
            reply(good);
            ASSERT_FALSE(completion) << "completed at " << good << ": " << completion->text;
        }
        const Sent after_fault = reply(row.fault);
        ASSERT_TRUE(completion);
        EXPECT_EQ(completion->code, 5);
        EXPECT_EQ(completion->text, row.text_prefix + describeAbort(row.abort_code));
        EXPECT_EQ(completion->length, row.received);
        const bool server_aborted = row.fault.size() == 16 && row.fault.starts_with("80");
        EXPECT_EQ(after_fault, server_aborted ? Sent{} : Sent{abortFrame(row.abort_code)});
        // Nothing more happens for this transfer.
        reply(row.fault);
        now += 1h;
        client.onTimer(now);
        client.cancel(now);
        EXPECT_EQ(sent(), Sent{});
        EXPECT_EQ(completions, 1);
        expectNextTransferWorks();
    }
}

// ---- Progress ----------------------------------------------------------------

// 1000 bytes in 143 segments: reports rise by at least 1 and end at 100.
TEST_F(SdoClientTest, ProgressRisesByWholePercentsToHundred) {
    restart([](auto& c) { c.block_upload = false; }, 1000);
    startUpload();
    sent();
    reply("41452306E8030000");
    std::vector<float> progress;
    for (int left = 1000, toggle = 0; left > 0; left -= 7, toggle ^= 0x10) {
        const int last = left <= 7 ? 1 : 0;
        const int unused = last ? 7 - left : 0;
        char command[4];
        std::snprintf(command, sizeof command, "%02X", toggle | unused << 1 | last);
        reply(command + std::string("00000000000000"));
        if (auto p = client.takeProgress()) progress.push_back(*p);
    }
    ASSERT_TRUE(completion);
    EXPECT_EQ(completion->code, 0) << completion->text;
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100.0f);
    EXPECT_LE(progress.size(), 101u);
    for (std::size_t i = 1; i < progress.size(); ++i) {
        EXPECT_GE(progress[i] - progress[i - 1], progress[i] < 100.0f ? 1.0f : 0.01f) << i;
    }
}

// ---- Time-out, cancel, fail -----------------------------------------------------

TEST_F(SdoClientTest, TimeOutAtTheReportedDeadline) {
    setConfig([](auto& c) {
        c.response_timeout = 250ms;
        c.block_upload = false;
    });
    EXPECT_FALSE(client.deadline());
    startUpload();
    sent();
    ASSERT_EQ(client.deadline(), now + 250ms);
    now += 100ms;
    reply("4145230614000000");
    ASSERT_EQ(client.deadline(), now + 250ms);  // each response restarts the wait
    now += 249ms;
    client.onTimer(now);
    EXPECT_EQ(sent(), Sent{});
    EXPECT_TRUE(client.busy());
    now += 1ms;
    client.onTimer(now);
    expectTimedOut("250 ms");
    expectNextTransferWorks();
}

TEST_F(SdoClientTest, BlockUploadTimesOutOnlyAfterAcknowledgingWhatArrived) {
    setConfig([](auto& c) { c.response_timeout = 100ms; });
    startUpload();
    sent();
    reply("C645230615000000");
    EXPECT_EQ(client.deadline(), now + 100ms);  // the first segment: a response time
    for (int i = 1; i <= 2; ++i) {
        now += 45ms;
        reply("0" + std::to_string(i) + "01020304050607");
        client.onTimer(now);
        EXPECT_EQ(client.deadline(), now + 50ms);  // then half of it between segments
    }
    EXPECT_EQ(sent(), Sent{});
    now += 50ms;
    client.onTimer(now);  // the block's end was lost: ask for the rest
    EXPECT_EQ(sent(), Sent{"605#A2027F0000000000"});
    EXPECT_FALSE(completion);
    EXPECT_EQ(client.deadline(), now + 100ms);
    now += 100ms;
    client.onTimer(now);  // nothing came: time-out
    expectTimedOut("100 ms");
}

TEST_F(SdoClientTest, WaitsStartWhenTheSentFramesHaveHadTheirTimeOnTheBus) {
    // At 10 kbit/s a sub-block of 127 segments is on the bus for 1.4-1.7 s:
    // the server's acknowledgement cannot come within 1000 ms of the hand-over.
    setConfig([](auto& c) {
        c.response_timeout = 1000ms;
        c.bitrate_bps = 10000;
    });
    const auto busTime = [](const std::vector<CanFrame>& frames) {
        std::chrono::nanoseconds total{};
        for (const CanFrame& f : frames) total += morvell::frameDuration(f, 10000);
        return total;
    };
    startDownload(Bytes(127 * 7, 0x55));
    std::vector<CanFrame> frames = client.takeFrames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(client.deadline(), now + busTime(frames) + 1000ms);
    now += 20ms;
    CanFrame response{};  // block size 127
    response.id = 0x585;
    response.length = 8;
    const Bytes initiate = fromHex("A44523067F000000");
    std::copy(initiate.begin(), initiate.end(), response.data);
    client.onFrame(response, now);
    frames = client.takeFrames();
    ASSERT_EQ(frames.size(), 127u);
    const auto subBlock = busTime(frames);
    EXPECT_GT(subBlock, 1400ms);
    EXPECT_EQ(client.deadline(), now + subBlock + 1000ms);
    now += std::chrono::duration_cast<std::chrono::milliseconds>(subBlock) + 999ms;
    client.onTimer(now);
    EXPECT_TRUE(client.busy()) << "still within the response time";
    const Sent end = reply("A27F7F0000000000");
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0].substr(0, 6), "605#C1");  // no unused bytes in the last segment
    reply("A100000000000000");
    ASSERT_TRUE(completion);
    EXPECT_EQ(completion->code, 0);

    // Without a bit rate the response time alone counts.
    restart([](auto& c) { c.response_timeout = 1000ms; });
    startDownload(Bytes(127 * 7, 0x55));
    sent();
    EXPECT_EQ(client.deadline(), now + 1000ms);
}

TEST_F(SdoClientTest, CancelAndFailEndTheTransferOnce) {
    setConfig([](auto& c) { c.block_upload = false; });
    client.cancel(now);  // idle: nothing
    client.fail(8, "idle");
    EXPECT_EQ(sent(), Sent{});
    EXPECT_FALSE(completion);
    for (const bool cancel : {true, false}) {  // else fail(8, "Interface closed")
        SCOPED_TRACE(cancel ? "cancel" : "fail");
        completion.reset();
        completions = 0;
        startUpload();
        sent();
        reply("4145230614000000");
        reply("0001020304050607");
        cancel ? client.cancel(now) : client.fail(8, "Interface closed");
        EXPECT_EQ(sent(), cancel ? Sent{abortFrame(0x08000000)} : Sent{});
        ASSERT_TRUE(completion);
        EXPECT_EQ(completion->code, cancel ? 1 : 8);
        EXPECT_EQ(completion->text, cancel ? "Transfer cancelled" : "Interface closed");
        EXPECT_EQ(completion->length, 7u);
        EXPECT_EQ(reply("1001020304050607"), Sent{});  // an answer after the end: ignored
        client.cancel(now);
        client.fail(8, "again");
        EXPECT_EQ(sent(), Sent{});
        EXPECT_EQ(completions, 1);
    }
    expectNextTransferWorks();
}

// A slow node answers an earlier transfer (this program's or another's) after
// the client gave up on it. While an initiate request waits, such frames are
// ignored and leave the deadline as it was; the fitting answer still counts.
struct ForeignFrameRow {
    const char* kind;
    bool upload;
    bool block;
    std::vector<std::string> foreign;  // frames that cannot answer the request
    std::string answer;                // the fitting answer
    Sent after_answer;                 // what the client sends then
};

std::vector<ForeignFrameRow> foreignFrameRows() {
    const std::string other_abort = "8046230600000405";  // abort naming 0x2346/6
    // clang-format off
    return {
        {"initiate upload", true, false,
         {"0001020304050607" /* upload segment */, "6045230600000000" /* download response */,
          "4F462306AA000000" /* other index */, "4F452307AA000000" /* other subindex */,
          "C645230609000000" /* block upload response */, other_abort, "4F452306" /* short */},
         "4F452306AA000000", {}},
        {"block upload initiate", true, true,
         {"C100000000000000" /* block upload end */, "0101020304050607" /* block segment */,
          "6045230600000000", "C646230609000000", "4F462306AA000000", other_abort},
         "4F452306AA000000", {}},
        {"initiate download", false, false,
         {"4F452306AA000000" /* upload response */, "2000000000000000" /* segment response */,
          "6046230600000000", "60452306", other_abort},
         "6045230600000000", {}},
        {"block download initiate", false, true,
         {"A201010000000000" /* block acknowledgement */, "A100000000000000" /* block end */,
          "A446230601000000", "6045230600000000", other_abort},
         "A445230601000000", {"605#8111000000000000"}},
    };
    // clang-format on
}

TEST_F(SdoClientTest, InitiateWaitIgnoresFramesThatCannotAnswerIt) {
    for (const ForeignFrameRow& row : foreignFrameRows()) {
        for (const bool answered : {true, false}) {
            SCOPED_TRACE(std::string(row.kind) + (answered ? ", answered" : ", timing out"));
            restart([&](auto& c) {
                c.response_timeout = 300ms;
                c.block_upload = row.block;
                c.block_download_min_bytes = row.block ? 1 : 0;
            });
            row.upload ? startUpload() : startDownload({0x11});
            sent();
            const auto deadline = client.deadline();
            for (const std::string& frame : row.foreign) {
                now += 10ms;
                EXPECT_EQ(reply(frame), Sent{}) << frame;
                EXPECT_EQ(client.deadline(), deadline) << frame;
            }
            EXPECT_FALSE(completion);
            if (answered) {
                EXPECT_EQ(reply(row.answer), row.after_answer);
                if (row.after_answer.empty()) {
                    ASSERT_TRUE(completion);
                    EXPECT_EQ(completion->code, 0) << completion->text;
                }
                continue;
            }
            now = *deadline;
            client.onTimer(now);
            expectTimedOut("300 ms");
        }
    }
}

// ---- Frames that are not responses of the running transfer -----------------------

TEST_F(SdoClientTest, OtherIdentifiersRemoteAndExtendedFramesAreIgnored) {
    setConfig([](auto& c) { c.block_upload = false; });
    startUpload();
    sent();
    EXPECT_EQ(reply("4F452306BB000000", 0x586), Sent{});
    EXPECT_EQ(reply("4F452306BB000000", 0x605), Sent{});
    EXPECT_EQ(reply("", 0x585, CANFRAME_FLAG_REMOTE), Sent{});
    EXPECT_EQ(reply("4F452306BB000000", 0x585, CANFRAME_FLAG_EXTENDED), Sent{});
    EXPECT_FALSE(completion);
    EXPECT_TRUE(client.busy());
    reply("4F452306AA000000");
    ASSERT_TRUE(completion);
    EXPECT_EQ(completion->code, 0);
    EXPECT_EQ(buffer[0], 0xAA);
}

// ---- Block refusal ---------------------------------------------------------------

TEST_F(SdoClientTest, RefusedBlockTransferIsRememberedUntilTheConfigIsSet) {
    setConfig([](auto& c) { c.block_download_min_bytes = 1; });
    const Bytes one = {0x11};
    startUpload();
    EXPECT_EQ(sent(), Sent{"605#A44523067F150000"});
    EXPECT_EQ(reply(serverAbort(0x05040001)), Sent{"605#4045230600000000"});
    reply("4F452306AA000000");
    startDownload(one);  // a refused upload does not stop block downloads
    EXPECT_EQ(sent(), Sent{"605#C645230601000000"});
    EXPECT_EQ(reply(serverAbort(0x05040001)), Sent{"605#2F45230611000000"});
    reply("6045230600000000");
    ASSERT_TRUE(completion);
    EXPECT_EQ(completion->code, 0) << completion->text;

    startUpload();  // same node: straight to the normal transfers
    EXPECT_EQ(sent(), Sent{"605#4045230600000000"});
    reply("4F452306AA000000");
    startDownload(one);
    EXPECT_EQ(sent(), Sent{"605#2F45230611000000"});
    reply("6045230600000000");

    client.setConfig(client.config());  // forgets the refusals
    startUpload();
    EXPECT_EQ(sent(), Sent{"605#A44523067F150000"});
    client.cancel(now);
    sent();
    startDownload(one);
    EXPECT_EQ(sent(), Sent{"605#C645230601000000"});
}

}  // namespace
