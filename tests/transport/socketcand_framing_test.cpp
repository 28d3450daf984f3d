#include "transport/socketcand_framing.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/can_frame.h"

namespace sc = morvell::socketcand;
using morvell::makeFrame;
using morvell::sameFrame;
using morvell::toString;

namespace {

constexpr std::uint8_t kExt = CANFRAME_FLAG_EXTENDED;
constexpr std::uint8_t kRtr = CANFRAME_FLAG_REMOTE;

CanFrame remoteFrame(std::uint32_t id, std::uint8_t dlc) {
    CanFrame f = makeFrame(id, {}, kRtr);
    f.length = dlc;
    return f;
}

std::vector<std::string> drain(sc::MessageReader& reader) {
    std::vector<std::string> out;
    while (auto m = reader.next()) out.push_back(*m);
    return out;
}

// The parser for the message's command word; client messages have no time.
std::optional<sc::TimedFrame> parseByWord(const std::string& message) {
    const auto words = sc::splitWords(message);
    const auto untimed = [](std::optional<CanFrame> frame) {
        return frame ? std::optional(sc::TimedFrame{*frame, 0, 0}) : std::nullopt;
    };
    if (words[0] == "send") return untimed(sc::parseSend(words));
    if (words[0] == "sendrtr") return untimed(sc::parseSendRtr(words));
    if (words[0] == "senderr") return untimed(sc::parseSendErr(words));
    if (words[0] == "frame") return sc::parseFrame(words);
    if (words[0] == "rtr") return sc::parseRtr(words);
    if (words[0] == "errframe") return sc::parseErrFrame(words);
    return std::nullopt;
}

std::string formatByWord(const std::string& word, const sc::TimedFrame& timed) {
    if (word == "senderr") return sc::formatSendErr(timed.frame);
    if (word == "errframe") return sc::formatErrorFrame(timed);
    if (word == "frame" || word == "rtr") return sc::formatFrame(timed);
    return sc::formatSend(timed.frame);
}

struct MessageRow {
    std::string text;
    CanFrame frame;
    std::uint64_t seconds = 0;
    std::uint32_t microseconds = 0;
};

void expectParsesTo(const std::string& message, const MessageRow& row) {
    const auto parsed = parseByWord(message);
    ASSERT_TRUE(parsed);
    EXPECT_TRUE(sameFrame(parsed->frame, row.frame)) << toString(parsed->frame);
    EXPECT_EQ(parsed->seconds, row.seconds);
    EXPECT_EQ(parsed->microseconds, row.microseconds);
}

// Client messages (the header's examples first), then server messages.
TEST(MessageFormat, FormatsAndParsesBack) {
    const MessageRow rows[] = {
        {"< send 123 3 11 22 33 >\n", makeFrame(0x123, {0x11, 0x22, 0x33})},
        {"< sendrtr 123 8 >\n", remoteFrame(0x123, 8)},
        {"< senderr 20000004 00 08 00 00 00 00 00 00 >\n",
         makeFrame(0x20000004, {0, 8, 0, 0, 0, 0, 0, 0})},
        {"< frame 123 1699999999.000123 112233 >\n", makeFrame(0x123, {0x11, 0x22, 0x33}),
         1699999999, 123},
        {"< rtr 123 23.000001 8 >\n", remoteFrame(0x123, 8), 23, 1},
        {"< errframe 20000004 23.000001 0008000000000000 >\n",
         makeFrame(0x20000004, {0, 8, 0, 0, 0, 0, 0, 0}), 23, 1},
        {"< frame 1FFFFFFF 4294967296.999999 0102030405060708 >\n",
         makeFrame(0x1FFFFFFF, {1, 2, 3, 4, 5, 6, 7, 8}, kExt), 4294967296ull, 999999},
    };
    for (const MessageRow& row : rows) {
        SCOPED_TRACE(row.text);
        const std::string word = row.text.substr(2, row.text.find(' ', 2) - 2);
        EXPECT_EQ(formatByWord(word, {row.frame, row.seconds, row.microseconds}), row.text);
        expectParsesTo(row.text.substr(2, row.text.size() - 5), row);
    }
}

// What other writers send: accepted spellings.
TEST(MessageFormat, LenientSpellingsAreAccepted) {
    const MessageRow rows[] = {
        // python-can: lower-case bytes without padding, extended ids unpadded
        {"send 1ABCD 3 a 0 ff", makeFrame(0x1ABCD, {0xA, 0, 0xFF}, kExt)},
        // more than 3 digits: extended
        {"send 0123 0", makeFrame(0x123, {}, kExt)},
        // frame data split into words, short fractions scaled to microseconds
        {"frame 123 23.5 11 2233", makeFrame(0x123, {0x11, 0x22, 0x33}), 23, 500000},
    };
    for (const MessageRow& row : rows) {
        SCOPED_TRACE(row.text);
        expectParsesTo(row.text, row);
    }
}

// ---- malformed messages are refused

class MalformedParse : public ::testing::TestWithParam<std::string> {};

TEST_P(MalformedParse, IsRefused) {
    const auto words = sc::splitWords(GetParam());
    EXPECT_FALSE(sc::parseSend(words));
    EXPECT_FALSE(sc::parseSendRtr(words));
    EXPECT_FALSE(sc::parseFrame(words));
    EXPECT_FALSE(sc::parseRtr(words));
    EXPECT_FALSE(sc::parseSendErr(words));
    EXPECT_FALSE(sc::parseErrFrame(words));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MalformedParse,
    ::testing::Values("send 12G 0", "frame 123 1.000000 11ZZ",                  // bad hex
                      "send 123 9 1 2 3 4 5 6 7 8 9", "rtr 123 1.000000 9",     // dlc
                      "send 123 2 11", "senderr 20000004 0 8 0 0 0 0 0",        // byte count
                      "send 123 1 111", "send 20000000 0", "send 000000001 0",  // id range and size
                      "frame 123 1.1234567 11", "rtr 123 1.5",                  // time
                      "send 123", "hello 123 0"));

// ---- MessageReader

const std::string kStream =
    "< hi >< ok >\n< frame 123 1699999999.000123 112233 >\n"
    "  < send 12345678 0 >\r\n<echo>< frame 12345678 23.000001  >\n";
const std::vector<std::string> kStreamMessages = {"hi",
                                                  "ok",
                                                  "frame 123 1699999999.000123 112233",
                                                  "send 12345678 0",
                                                  "echo",
                                                  "frame 12345678 23.000001"};

TEST(MessageReader, SplitAtAnyByte) {
    for (std::size_t cut = 0; cut <= kStream.size(); ++cut) {
        sc::MessageReader reader;
        reader.feed(std::string_view(kStream).substr(0, cut));
        std::vector<std::string> got = drain(reader);
        reader.feed(std::string_view(kStream).substr(cut));
        for (auto& m : drain(reader)) got.push_back(m);
        EXPECT_EQ(got, kStreamMessages) << "cut at " << cut;
        EXPECT_EQ(reader.discarded(), 0u);
    }
}

// Blanks inside a message become single spaces; a '<' inside a message restarts it.
TEST(MessageReader, GarbageAroundMessagesIsDiscardedAndCounted) {
    sc::MessageReader reader;
    reader.feed("xx< hi >yy\n<\tsend  123\n 0 >< sen< ok >");
    EXPECT_EQ(drain(reader), (std::vector<std::string>{"hi", "send 123 0", "ok"}));
    EXPECT_EQ(reader.discarded(), 9u);
}

TEST(MessageReader, OverlongMessageIsDiscardedAndCounted) {
    const std::size_t fits = sc::MessageReader::kMaxMessage - 2;  // content with both brackets
    sc::MessageReader reader;
    reader.feed("<" + std::string(fits, 'a') + ">");
    reader.feed("<" + std::string(fits + 1, 'b') + ">");
    reader.feed("< ok >");
    const auto got = drain(reader);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], std::string(fits, 'a'));
    EXPECT_EQ(got[1], "ok");
    EXPECT_EQ(reader.overlong(), 1u);
    EXPECT_EQ(reader.discarded(), fits + 3);
}

}  // namespace
