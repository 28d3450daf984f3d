#include "client_session.h"

#include <algorithm>

#include "hub_wire.h"
#include "transport/socketcand_framing.h"

namespace quorbus {

namespace sc = morvell::socketcand;

namespace {

Reaction accepted(std::string_view reply) {
    return Reaction{std::string(reply), std::nullopt, false};
}

Reaction refused(std::string_view reason) {
    return Reaction{errorReply(reason), std::nullopt, true};
}

Reaction relayed(Relay::Kind kind, const CanFrame& frame) {
    Reaction r;
    r.relay = Relay{kind, frame};
    return r;
}

std::optional<std::uint32_t> parseBitrateKbit(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value < 1 || value > kMaxBitrateKbit) return std::nullopt;
    return value;
}

bool isValidBusName(std::string_view name) {
    if (name.empty() || name.size() > kMaxBusName) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

}  // namespace

std::string relayText(const Relay& relay, WallTime at) {
    const sc::TimedFrame timed{relay.frame, at.seconds, at.microseconds};
    return relay.kind == Relay::Kind::Error ? sc::formatErrorFrame(timed) : sc::formatFrame(timed);
}

Reaction ClientSession::handle(std::string_view message) {
    const Words words = sc::splitWords(message);
    if (words.empty()) return refused("empty message");
    const std::string_view command = words[0];
    if (command == kSend) return onSend(words);
    if (command == kOpen) return onOpen(words);
    if (command == kRawMode) return onRawMode(words);
    if (command == kEcho) return onEcho(words);
    if (command == kExtendedFrames) return onExtendedFrames(words);
    if (command == kBitrate) return onBitrate(words);
    if (command == kBusStats) return onBusStats(words);
    if (command == kSendRemote) return onSendRemote(words);
    if (command == kSendError) return onSendError(words);
    for (std::string_view mode : kUnsupportedModes) {
        if (command == mode) return refused("only rawmode is supported");
    }
    return refused("unknown command");
}

Reaction ClientSession::onOpen(const Words& words) {
    // open BUS
    if (mode_ != Mode::Greeted) return refused("bus already open");
    if (words.size() != 2 || !isValidBusName(words[1])) return refused("bad bus name");
    bus_ = std::string(words[1]);
    mode_ = Mode::Opened;
    return accepted(kOk);
}

Reaction ClientSession::onRawMode(const Words& words) {
    // rawmode
    if (mode_ == Mode::Greeted) return refused("open a bus first");
    if (words.size() != 1) return refused("rawmode takes no arguments");
    mode_ = Mode::Raw;
    return accepted(kOk);
}

Reaction ClientSession::onEcho(const Words& words) {
    // echo
    if (words.size() != 1) return refused("echo takes no arguments");
    return accepted(kEchoReply);
}

Reaction ClientSession::onExtendedFrames(const Words& words) {
    // xframes
    if (words.size() != 1) return refused("xframes takes no arguments");
    extended_frames_ = true;
    return accepted(kOk);
}

Reaction ClientSession::onBitrate(const Words& words) {
    // bitrate KBIT (decimal, 1-1000)
    if (mode_ == Mode::Greeted) return refused("open a bus first");
    const auto kbit = words.size() == 2 ? parseBitrateKbit(words[1]) : std::nullopt;
    if (!kbit) return refused("usage: bitrate KBIT (1-1000)");
    bitrate_bps_ = *kbit * 1000;
    Reaction r = accepted(kOk);
    r.bitrate_announced = true;
    return r;
}

Reaction ClientSession::onBusStats(const Words& words) {
    // busstats
    if (mode_ == Mode::Greeted) return refused("open a bus first");
    if (words.size() != 1) return refused("busstats takes no arguments");
    Reaction r;
    r.stats_requested = true;
    return r;
}

Reaction ClientSession::onSend(const Words& words) {
    // send ID DLC B0 .. B(DLC-1)
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSend(words);
    if (!frame) return refused("malformed send");
    return relayed(Relay::Kind::Data, *frame);
}

Reaction ClientSession::onSendRemote(const Words& words) {
    // sendrtr ID DLC
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSendRtr(words);
    if (!frame) return refused("malformed sendrtr");
    return relayed(Relay::Kind::Remote, *frame);
}

Reaction ClientSession::onSendError(const Words& words) {
    // senderr ID B0 .. B7
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSendErr(words);
    if (!frame) return refused("malformed senderr");
    return relayed(Relay::Kind::Error, *frame);
}

}  // namespace quorbus
