// The hub side of the socketcand framing: a client's byte stream through
// the message reader into one ClientSession. Every relay is a message that
// other clients' readers take back as a valid frame.
#include <string>
#include <string_view>
#include <vector>

#include "client_session.h"
#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "transport/socketcand_framing.h"

namespace quorvane_fuzz {
namespace {

namespace sc = morvell::socketcand;
using morvell::isRemote;
using morvell::isValidFrame;

// The one message of a formatted text, as a reader returns it.
std::string onlyMessage(const std::string& text) {
    sc::MessageReader reader;
    reader.feed(text);
    std::optional<std::string> message = reader.next();
    FUZZ_CHECK(message.has_value());
    FUZZ_CHECK(!reader.next().has_value());
    return *message;
}

void checkRelay(const quorbus::Relay& relay, quorbus::WallTime at) {
    const std::string message = onlyMessage(quorbus::relayText(relay, at));
    const std::vector<std::string_view> words = sc::splitWords(message);
    if (words[0] == "frame") {
        FUZZ_CHECK(relay.audience() == quorbus::Audience::RawClients);
        const auto timed = sc::parseFrame(words);
        FUZZ_CHECK(timed && isValidFrame(timed->frame));
    } else if (words[0] == "rtr") {
        const auto timed = sc::parseRtr(words);
        FUZZ_CHECK(timed && isValidFrame(timed->frame) && isRemote(timed->frame));
    } else {
        FUZZ_CHECK(words[0] == "errframe");
        FUZZ_CHECK(sc::parseErrFrame(words).has_value());
    }
}

}  // namespace

int FuzzQuorbusSession(const std::uint8_t* data, std::size_t size) {
    const std::string_view stream(reinterpret_cast<const char*>(data), size);
    sc::MessageReader reader;
    reader.feed(stream);
    quorbus::ClientSession session;
    const quorbus::WallTime now{1700000000, 123456};
    while (std::optional<std::string> message = reader.next()) {
        const quorbus::ClientSession::Mode before = session.mode();
        const quorbus::Reaction reaction = session.handle(*message);
        if (!reaction.reply.empty()) (void)onlyMessage(reaction.reply);
        if (reaction.relay) {
            FUZZ_CHECK(!reaction.refused);
            FUZZ_CHECK(session.mode() == quorbus::ClientSession::Mode::Raw);
            checkRelay(*reaction.relay, now);
        }
        // Modes only move forward.
        FUZZ_CHECK(session.mode() >= before);
        if (session.mode() != quorbus::ClientSession::Mode::Greeted) {
            FUZZ_CHECK(!session.bus().empty());
        }
    }
    return 0;
}

}  // namespace quorvane_fuzz
