#include "transmit/core/transmit_message.h"

uint32_t EffectiveId(const TransmitMessage& message) {
    if (message.transmitid) return message.id;
    const auto function = static_cast<uint32_t>(message.pdotype + transmitwire::kPdoFunctionOffset);
    return function * transmitwire::kPdoFunctionStep | message.nodeid;
}

std::string CutName(const std::string& name) {
    int characters = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        // A UTF-8 character starts at every byte that is not a continuation byte.
        const bool starts = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
        if (starts && characters++ == transmitwire::kMaxNameLength) return name.substr(0, i);
    }
    return name;
}
