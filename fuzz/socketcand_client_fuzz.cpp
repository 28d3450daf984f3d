// The client side of the socketcand framing: a gateway's byte stream, cut
// into reads at input-chosen places, split into messages and parsed as the
// transport does. Frames that parse are valid and survive a format/parse
// round trip.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "transport/socketcan_transport.h"
#include "transport/socketcand_framing.h"

namespace quorvane_fuzz {
namespace {

namespace sc = morvell::socketcand;
using morvell::isRemote;
using morvell::isValidFrame;

bool sameFrame(const CanFrame& a, const CanFrame& b) {
    if (a.id != b.id || a.length != b.length || a.flags != b.flags) return false;
    if (isRemote(a)) return true;
    for (unsigned i = 0; i < a.length; ++i)
        if (a.data[i] != b.data[i]) return false;
    return true;
}

void checkTimedFrame(const sc::TimedFrame& timed, bool error_frame) {
    FUZZ_CHECK(timed.microseconds <= 999999);
    if (error_frame) {
        FUZZ_CHECK(timed.frame.length == 8);
        (void)morvell::transport::errorCodesOfErrorFrame(timed.frame);
        const std::string text = sc::formatErrorFrame(timed);
        const std::string inner = text.substr(2, text.size() - 5);  // "< " ... " >\n"
        const auto again = sc::parseErrFrame(sc::splitWords(inner));
        FUZZ_CHECK(again && sameFrame(again->frame, timed.frame));
        return;
    }
    FUZZ_CHECK(isValidFrame(timed.frame));
    const std::string text = sc::formatFrame(timed);
    FUZZ_CHECK(text.starts_with("< ") && text.ends_with(" >\n"));
    const std::string inner = text.substr(2, text.size() - 5);
    const std::vector<std::string_view> words = sc::splitWords(inner);
    const auto again = isRemote(timed.frame) ? sc::parseRtr(words) : sc::parseFrame(words);
    FUZZ_CHECK(again && sameFrame(again->frame, timed.frame));
    FUZZ_CHECK(again->seconds == timed.seconds && again->microseconds == timed.microseconds);
}

}  // namespace

// Input: one byte of cut lengths' seed, then the stream.
int FuzzSocketcandClient(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned cut = data[0] % 17 + 1;  // bytes per read
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    sc::MessageReader reader;
    std::size_t messages_bytes = 0;
    for (std::size_t at = 0; at < stream.size(); at += cut) {
        reader.feed(stream.substr(at, cut));
        while (std::optional<std::string> message = reader.next()) {
            FUZZ_CHECK(!message->empty());
            FUZZ_CHECK(message->size() <= sc::MessageReader::kMaxMessage);
            FUZZ_CHECK(message->find_first_of("<>") == std::string::npos);
            messages_bytes += message->size();
            const std::vector<std::string_view> words = sc::splitWords(*message);
            FUZZ_CHECK(!words.empty());
            for (std::string_view word : words) FUZZ_CHECK(!word.empty());
            if (words[0] == "frame") {
                if (auto timed = sc::parseFrame(words)) checkTimedFrame(*timed, false);
            } else if (words[0] == "rtr") {
                if (auto timed = sc::parseRtr(words)) checkTimedFrame(*timed, false);
            } else if (words[0] == "errframe") {
                if (auto timed = sc::parseErrFrame(words)) checkTimedFrame(*timed, true);
            }
        }
    }
    // Normalised messages never hold more than the bytes that came in.
    FUZZ_CHECK(messages_bytes <= stream.size());
    return 0;
}

}  // namespace quorvane_fuzz
