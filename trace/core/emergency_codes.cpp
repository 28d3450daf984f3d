#include "trace/core/emergency_codes.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

struct EmergencyEntry {
    uint16_t code;
    const char* text;
};

// CiA 301 error codes, searched in this order.
constexpr EmergencyEntry kEmergencyTable[] = {
    {0x0000, "Error Reset/No Error"},
    {0x1000, "Generic Error"},
    {0x2000, "Current"},
    {0x2100, "Current, device input side"},
    {0x2200, "Current, inside the device"},
    {0x2300, "Current, device output side"},
    {0x3000, "Voltage"},
    {0x3100, "Mains Voltage"},
    {0x3200, "Voltage inside the device"},
    {0x3300, "Output Voltage"},
    {0x4000, "Temperature"},
    {0x4100, "Ambient Temperature"},
    {0x4200, "Device Temperature"},
    {0x5000, "Device Hardware"},
    {0x6000, "Device Software"},
    {0x6100, "Internal Software"},
    {0x6200, "User Software"},
    {0x6300, "Data Set"},
    {0x7000, "Additional Modules"},
    {0x8000, "Monitoring"},
    {0x8110, "CAN Overrun (Objects lost)"},
    {0x8120, "CAN in Error Passive Mode"},
    {0x8130, "Life Guard Error/Heartbeat Error"},
    {0x8140, "Recovered from Bus Off"},
    {0x8150, "Transmit COB-ID"},
    {0x8210, "PDO not processed due to length error"},
    {0x8220, "PDO length exceeded"},
    {0x9000, "External Error"},
    {0xF000, "Additional Functions"},
    {0xFF00, "Device Specific"},  // the whole 0xFFxx class
};

const char* findText(uint16_t code) {
    for (const EmergencyEntry& entry : kEmergencyTable) {
        if (entry.code == code) return entry.text;
    }
    return nullptr;
}

}  // namespace

const char* TEmergencyCodes::Name(uint16_t code) {
    std::lock_guard guard(codes_mutex);
    const char* text = findText(code);
    if (text == nullptr) text = findText(code & 0xFF00);
    return text != nullptr ? text : "Unknown";
}

std::string TEmergencyCodes::Text(uint16_t code) {
    return Name(code);
}

void TEmergencyCodes::EmergencyText(uint16_t code, char* destination, size_t size) {
    if (size == 0) return;
    const char* text = Name(code);
    const size_t length = std::min(std::strlen(text), size - 1);
    std::memcpy(destination, text, length);
    destination[length] = '\0';
}
