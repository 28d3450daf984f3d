// socketcand protocol framing (raw mode), shared by the socketcand client
// transport and the quorbus hub. Messages are "< ... >" with ASCII words;
// readers accept any whitespace (or none) between messages. The format
// functions below end every message with a newline (python-can's reader
// needs one after each frame). Identifiers and bytes are hex, any case.
//
//   < hi >                            server greeting
//   < open vbus0 >                    client: join a bus      -> < ok >
//   < rawmode >                       client: raw frames      -> < ok >
//   < echo >                          client: liveness        -> < echo >
//   < send 123 3 11 22 33 >           client: send a frame (hex id, dlc, bytes)
//   < send 12345678 0 >               extended id: more than 3 hex digits
//   < frame 123 1699999999.000123 112233 >   server: a frame (id, time, data)
//   < frame 12345678 23.000001  >     extended id: 8 hex digits, no data (two
//                                     spaces, as socketcand writes it)
//   < error unknown command >         server: refusal
//
// Extension of quorbus, used only by clients that ask for it with
// "< xframes >" (-> < ok >) after rawmode; plain socketcand clients never
// see these messages:
//   < sendrtr 123 8 >                 client: remote frame, id and dlc
//   < rtr 123 23.000001 8 >           server: remote frame, id, time, dlc
//   < senderr 20000004 00 08 00 00 00 00 00 00 >  client: error frame
//                                     (SocketCAN error class as id, 8 bytes)
//   < errframe 20000004 23.000001 0008000000000000 >  server: error frame
//   < bitrate 1000 >                  client: its bit rate in kbit/s -> < ok >
//                                     (a paced quorbus checks it)
//   < busstats >                      client: load of its bus
//   < busstats 1000 37.52 3105 >      server: bit rate kbit/s (0: unknown),
//                                     load % and frames of the last second
// An identifier is extended when it is written with more than 3 hex digits
// or its value exceeds 0x7FF. An error frame's id is any 32-bit value.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "morvellcanopen.h"

namespace morvell::socketcand {

// Splits a byte stream into messages. Robust to messages split at any byte
// and to several messages per read; bytes outside "< ... >" are skipped, a
// '<' inside a message starts a new one. Memory: one partial message of at
// most kMaxMessage bytes plus the complete messages not yet taken by next()
// (drain next() after each feed). One thread.
class MessageReader {
public:
    // Appends bytes just read.
    void feed(std::string_view bytes);
    // Next complete message without the angle brackets, words trimmed and
    // separated by one space: "frame 123 23.000001 1122". Empty when none
    // is complete yet. Empty messages ("< >") are skipped.
    std::optional<std::string> next();
    // A message longer than this (in bytes, brackets included) is discarded.
    static constexpr std::size_t kMaxMessage = 256;
    // Bytes thrown away: non-blank bytes outside "< ... >" and every byte of
    // an over-long, interrupted or empty message.
    std::uint64_t discarded() const { return discarded_; }
    // Over-long messages thrown away.
    std::uint64_t overlong() const { return overlong_; }

private:
    enum class State { Between, Inside, SkippingOverlong };
    void startMessage();
    void finishMessage();

    State state_ = State::Between;
    std::string partial_;          // normalised text of the message being read
    std::size_t partial_raw_ = 0;  // its raw bytes so far, '<' included
    bool blank_pending_ = false;   // whitespace seen since the last word
    std::deque<std::string> ready_;
    std::uint64_t discarded_ = 0;
    std::uint64_t overlong_ = 0;
};

// A message split into words: {"send", "123", "3", "11", "22", "33"}.
std::vector<std::string_view> splitWords(std::string_view message);

// What a frame message carries.
struct TimedFrame {
    CanFrame frame{};
    std::uint64_t seconds = 0;
    std::uint32_t microseconds = 0;
};

// Formatting takes a valid frame (isValidFrame); ids are "%03X" (standard)
// or "%08X" (extended), bytes "%02X", time SEC.USEC with 6 digits.
// "< send ID DLC B0 B1 ... >\n", or "< sendrtr ID DLC >\n" for a remote frame.
std::string formatSend(const CanFrame& frame);
// "< senderr ID B0 .. B7 >\n": an error frame (id = SocketCAN error class).
std::string formatSendErr(const CanFrame& frame);
// "< frame ID SEC.USEC DATA >\n" or "< rtr ID SEC.USEC DLC >\n".
std::string formatFrame(const TimedFrame& frame);
// "< errframe ID SEC.USEC DATA >\n"
std::string formatErrorFrame(const TimedFrame& frame);

// Parse the words of a send / sendrtr / frame / rtr message into a frame;
// empty when malformed (bad hex, dlc above 8, byte count not matching, id
// out of range).
std::optional<CanFrame> parseSend(const std::vector<std::string_view>& words);
std::optional<CanFrame> parseSendRtr(const std::vector<std::string_view>& words);
std::optional<TimedFrame> parseFrame(const std::vector<std::string_view>& words);
std::optional<TimedFrame> parseRtr(const std::vector<std::string_view>& words);
// senderr (client) or errframe (server): the SocketCAN error class as id,
// length 8, flags 0. Frame data in frame/errframe may also be split into
// several words ("11 22 33").
std::optional<CanFrame> parseSendErr(const std::vector<std::string_view>& words);
std::optional<TimedFrame> parseErrFrame(const std::vector<std::string_view>& words);

}  // namespace morvell::socketcand
