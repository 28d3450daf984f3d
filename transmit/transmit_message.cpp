#include "transmit/transmit_message.h"

uint32_t EffectiveId(const TransmitMessage& message) {
    if (message.transmitid) return message.id;
    const auto function = static_cast<uint32_t>(message.pdotype + transmitwire::kPdoFunctionOffset);
    return function * transmitwire::kPdoFunctionStep | message.nodeid;
}

QString CutName(const QString& name) {
    return name.left(transmitwire::kMaxNameLength);
}
