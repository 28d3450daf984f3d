#include "trace/core/network_scan.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr uint16_t kDeviceType = 0x1000;
constexpr uint16_t kErrorRegister = 0x1001;
constexpr uint16_t kIdentity = 0x1018;
constexpr uint8_t kMaxIdentityEntries = 4;

// The first four bytes as one little-endian value in eight hex digits, or
// "-" when fewer came.
std::string u32Text(const uint8_t* data, uint32_t length) {
    if (length < 4) return "-";
    char text[9];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X", data[3], data[2], data[1], data[0]);
    return text;
}

std::string u8Text(const uint8_t* data, uint32_t length) {
    if (length < 1) return "-";
    char text[3];
    std::snprintf(text, sizeof text, "%02X", data[0]);
    return text;
}

}  // namespace

std::string NodeIdColumnText(uint8_t node) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X (%dd)", node, node);
    return text;
}

ScanUpload NetworkScan::Start() {
    running_ = true;
    cancelled_ = false;
    found_.clear();
    identityEntries_ = 0;
    current_ = {1, kDeviceType, 0};
    return current_;
}

void NetworkScan::nextNode() {
    ++current_.node;
    current_.index = kDeviceType;
    current_.subindex = 0;
}

std::optional<ScanUpload> NetworkScan::Complete(int32_t code, const uint8_t* data,
                                                uint32_t length) {
    if (!running_) return std::nullopt;
    const bool answered = code == 0;
    length = std::min(length, kUploadCapacity);
    switch (current_.index) {
        case kDeviceType:
            if (answered) {
                ScannedNode node;
                node.node = current_.node;
                node.deviceType = u32Text(data, length);
                found_.push_back(node);
                current_.index = kErrorRegister;
            } else {
                nextNode();
            }
            break;
        case kErrorRegister:
            if (answered) found_.back().errorRegister = u8Text(data, length);
            current_.index = kIdentity;
            current_.subindex = 0;
            break;
        default:  // the identity object
            if (current_.subindex == 0) {
                identityEntries_ =
                    answered && length >= 1 ? std::min(data[0], kMaxIdentityEntries) : 0;
                if (identityEntries_ > 0) {
                    current_.subindex = 1;
                } else {
                    nextNode();
                }
                break;
            }
            if (answered) {
                ScannedNode& node = found_.back();
                std::string* const column[] = {&node.manufacturerId, &node.productId,
                                               &node.revisionId, &node.serialNumber};
                *column[current_.subindex - 1] = u32Text(data, length);
            }
            if (current_.subindex < identityEntries_) {
                ++current_.subindex;
            } else {
                nextNode();
            }
            break;
    }
    if (cancelled_ || current_.node > kLastNode) {
        running_ = false;
        return std::nullopt;
    }
    return current_;
}
