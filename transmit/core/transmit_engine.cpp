#include "transmit/core/transmit_engine.h"

#include <algorithm>

#include "transmit/core/time_of_day.h"
#include "transmit/core/transmit_table.h"

namespace {

void sendThroughLibrary(const CanFrame& frame) {
    LibraryResult ignored{};
    CAN_Transmit(&frame, &ignored);
}

}  // namespace

TransmitEngine::TransmitEngine(TTransmit& table, FrameSender send, Clock now)
    : table_(table),
      send_(send ? std::move(send) : FrameSender(sendThroughLibrary)),
      now_(now ? std::move(now) : Clock([] { return std::chrono::system_clock::now(); })) {}

CanFrame TransmitEngine::BuildFrame(const TransmitMessage& message,
                                    std::chrono::system_clock::time_point moment) {
    CanFrame frame{};
    frame.id = EffectiveId(message);
    frame.flags = 0;
    if (message.timestamp == 0) {
        frame.length = message.dlc;
        std::copy(message.data.begin(), message.data.end(), frame.data);
    } else {
        frame.length = timeofday::kBytes;
        const auto bytes = TimeOfDayBytes(LocalMillisSince1984(moment));
        std::copy(bytes.begin(), bytes.end(), frame.data);
    }
    return frame;
}

void TransmitEngine::send(const TransmitMessage& message) const {
    send_(BuildFrame(message, now_()));
}

void TransmitEngine::Transmit(int i) const {
    TransmitMessage message;
    if (table_.GetMessage(i, message) && message.enable) send(message);
}

void TransmitEngine::OnKey(uint16_t keyCode) const {
    TransmitMessage message;
    for (int i = 0; i < table_.Count(); ++i) {
        if (!table_.GetMessage(i, message)) continue;
        if (message.enable && message.keytrigger && message.key == keyCode) send(message);
    }
}

void TransmitEngine::OnReceive(uint32_t id) const {
    TransmitMessage message;
    for (int i = 0; i < table_.Count(); ++i) {
        if (!table_.GetMessage(i, message)) continue;
        if (message.enable && message.rxtrigger && message.rxid == id) send(message);
    }
}
