// One user-defined transmit message and the rules on its fields. No Qt: the
// records are read on the library thread (receive triggers).
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace transmitwire {
constexpr int kMaxNameLength = 20;
constexpr uint32_t kMaxId = 0x7FF;  // 11-bit identifiers only
constexpr uint8_t kMaxNodeId = 0x7F;
constexpr uint8_t kMinNodeId = 0x01;
constexpr int32_t kMaxPdoType = 7;  // "Tx PDO 1" .. "Rx PDO 4"
constexpr uint8_t kMaxDlc = 8;
constexpr int kDataBytes = 8;
// PDO identifiers of the predefined connection set: (pdotype + 3) * 128 | node.
constexpr int32_t kPdoFunctionOffset = 3;
constexpr uint32_t kPdoFunctionStep = 128;
// Windows virtual key codes of the trigger keys.
constexpr uint16_t kKeyDigit0 = 0x30;
constexpr uint16_t kKeyDigit9 = 0x39;
constexpr uint16_t kKeyF1 = 0x70;
constexpr uint16_t kKeyF12 = 0x7B;
}  // namespace transmitwire

struct TransmitMessage {
    std::string name = "Unnamed";  // UTF-8, at most kMaxNameLength characters
    bool enable = false;
    bool transmitid = true;  // true: sent with `id`; false: with the PDO identifier
    uint32_t id = 0x001;
    bool transmitpdo = false;  // the tab's PDO choice; the identifier rule uses transmitid
    uint8_t nodeid = 0x40;
    int32_t pdotype = 0;
    bool keytrigger = false;
    uint16_t key = 0x31;
    bool rxtrigger = false;
    uint32_t rxid = 0x080;
    uint8_t dlc = 8;
    int32_t timestamp = 0;  // non-zero: the time of day is sent instead of `data`
    std::array<uint8_t, transmitwire::kDataBytes> data{};

    bool operator==(const TransmitMessage&) const = default;
};

// The identifier `message` goes out with.
uint32_t EffectiveId(const TransmitMessage& message);

// `name` (UTF-8) cut to its first kMaxNameLength characters; a character is
// one code point, never split.
std::string CutName(const std::string& name);
