#include "nmt.h"

namespace morvell::nmt {

std::optional<Command> commandFromBinding(std::int32_t command) {
    switch (command) {
        case 0:
            return Command::Start;
        case 1:
            return Command::Stop;
        case 2:
            return Command::EnterPreOperational;
        case 3:
            return Command::ResetNode;
        case 5:
            return Command::ResetCommunication;
        default:
            return std::nullopt;
    }
}

CanFrame makeCommandFrame(Command command, std::uint8_t node) {
    CanFrame f{};
    f.id = kNmtId;
    f.length = 2;
    f.data[0] = static_cast<std::uint8_t>(command);
    f.data[1] = node;
    return f;
}

CanFrame makeErrorControlFrame(std::uint8_t node, State state, bool toggle) {
    CanFrame f{};
    f.id = kErrorControlBase + node;
    f.length = 1;
    f.data[0] =
        static_cast<std::uint8_t>(static_cast<std::uint8_t>(state) | (toggle ? kToggleBit : 0));
    return f;
}

}  // namespace morvell::nmt
