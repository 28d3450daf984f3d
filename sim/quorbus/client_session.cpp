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

Reaction relayed(Audience audience, std::string text) {
    return Reaction{{}, Relay{audience, std::move(text)}, false};
}

bool isValidBusName(std::string_view name) {
    if (name.empty() || name.size() > kMaxBusName) return false;
    return std::all_of(name.begin(), name.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

sc::TimedFrame stamped(const CanFrame& frame, WallTime now) {
    return sc::TimedFrame{frame, now.seconds, now.microseconds};
}

}  // namespace

Reaction ClientSession::handle(std::string_view message, WallTime now) {
    const Words words = sc::splitWords(message);
    if (words.empty()) return refused("empty message");
    const std::string_view command = words[0];
    if (command == kSend) return onSend(words, now);
    if (command == kOpen) return onOpen(words);
    if (command == kRawMode) return onRawMode(words);
    if (command == kEcho) return onEcho(words);
    if (command == kExtendedFrames) return onExtendedFrames(words);
    if (command == kSendRemote) return onSendRemote(words, now);
    if (command == kSendError) return onSendError(words, now);
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

Reaction ClientSession::onSend(const Words& words, WallTime now) {
    // send ID DLC B0 .. B(DLC-1)
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSend(words);
    if (!frame) return refused("malformed send");
    return relayed(Audience::RawClients, sc::formatFrame(stamped(*frame, now)));
}

Reaction ClientSession::onSendRemote(const Words& words, WallTime now) {
    // sendrtr ID DLC
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSendRtr(words);
    if (!frame) return refused("malformed sendrtr");
    return relayed(Audience::ExtendedClients, sc::formatFrame(stamped(*frame, now)));
}

Reaction ClientSession::onSendError(const Words& words, WallTime now) {
    // senderr ID B0 .. B7
    if (mode_ != Mode::Raw) return refused("rawmode first");
    const auto frame = sc::parseSendErr(words);
    if (!frame) return refused("malformed senderr");
    return relayed(Audience::ExtendedClients, sc::formatErrorFrame(stamped(*frame, now)));
}

}  // namespace quorbus
