#include "mismatched_controller.h"

#include <linux/can/error.h>

#include <algorithm>

namespace quorbus {

namespace {
constexpr std::uint32_t kTransmitErrorStep = 8;
constexpr std::uint32_t kReceiveErrorStep = 1;
}  // namespace

MismatchedController::State MismatchedController::state() const {
    if (busOff()) return State::BusOff;
    const std::uint32_t worst = std::max(transmit_errors_, receive_errors_);
    if (worst >= kPassive) return State::Passive;
    if (worst >= kWarning) return State::Warning;
    return State::Active;
}

CanFrame MismatchedController::errorFrame(std::uint32_t error_class, State before) const {
    CanFrame f{};
    f.length = CAN_ERR_DLC;
    const State now = state();
    const bool transmit_side = transmit_errors_ >= receive_errors_;
    if (now != before) {
        if (now == State::BusOff) {
            error_class |= CAN_ERR_BUSOFF;
        } else if (now == State::Passive) {
            error_class |= CAN_ERR_CRTL;
            f.data[1] = transmit_side ? CAN_ERR_CRTL_TX_PASSIVE : CAN_ERR_CRTL_RX_PASSIVE;
        } else if (now == State::Warning) {
            error_class |= CAN_ERR_CRTL;
            f.data[1] = transmit_side ? CAN_ERR_CRTL_TX_WARNING : CAN_ERR_CRTL_RX_WARNING;
        }
    }
    f.id = error_class | CAN_ERR_CNT;
    f.data[6] = static_cast<std::uint8_t>(std::min<std::uint32_t>(transmit_errors_, 255));
    f.data[7] = static_cast<std::uint8_t>(std::min<std::uint32_t>(receive_errors_, 255));
    return f;
}

std::optional<CanFrame> MismatchedController::onTransmit() {
    if (busOff()) return std::nullopt;
    const State before = state();
    transmit_errors_ += kTransmitErrorStep;
    CanFrame f = errorFrame(CAN_ERR_PROT | CAN_ERR_BUSERROR, before);
    f.data[2] = CAN_ERR_PROT_BIT;  // location unspecified
    return f;
}

std::optional<CanFrame> MismatchedController::onBusFrame() {
    if (busOff() || receive_errors_ >= kPassive) return std::nullopt;
    const State before = state();
    receive_errors_ += kReceiveErrorStep;
    if (state() == before) return std::nullopt;
    return errorFrame(0, before);
}

}  // namespace quorbus
