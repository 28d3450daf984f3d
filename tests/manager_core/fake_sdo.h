// A scripted device set behind BlockingSdo for the manager's operations:
// entries per node, failures per entry, every transfer recorded.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "manager/core/blocking_sdo.h"

namespace managertest {

using Bytes = std::vector<uint8_t>;

inline Bytes le(uint32_t value, int size) {
    Bytes bytes;
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return bytes;
}

struct Transfer {
    bool upload;
    uint8_t node;
    uint16_t index;
    uint8_t subindex;
    Bytes data;  // downloads
    bool operator==(const Transfer&) const = default;
};

class FakeSdo : public BlockingSdo {
public:
    using Key = std::tuple<uint8_t, uint16_t, uint8_t>;

    void set(uint8_t node, uint16_t index, uint8_t sub, Bytes value) {
        entries[{node, index, sub}] = std::move(value);
    }
    void fail(uint8_t node, uint16_t index, uint8_t sub, int32_t code, const char* text) {
        failures[{node, index, sub}] = {code, text};
    }

    void SDOUpload(uint8_t node, uint16_t index, uint8_t sub, uint8_t* buffer, uint32_t& length,
                   LibraryResult& result) override {
        transfers.push_back({true, node, index, sub, {}});
        result = outcome(node, index, sub);
        if (result.code == 0) {
            const Bytes& value = entries.at({node, index, sub});
            if (value.size() > length) {
                result.code = 5;
                std::strcpy(result.text, "Data length too high (0x05040005)");
            } else {
                std::memcpy(buffer, value.data(), value.size());
                length = static_cast<uint32_t>(value.size());
            }
        }
        if (afterTransfer) afterTransfer(transfers.size());
    }
    void SDODownload(uint8_t node, uint16_t index, uint8_t sub, const uint8_t* data,
                     uint32_t length, LibraryResult& result) override {
        transfers.push_back({false, node, index, sub, Bytes(data, data + length)});
        result = failureOf(node, index, sub);
        if (result.code == 0) entries[{node, index, sub}] = Bytes(data, data + length);
        if (afterTransfer) afterTransfer(transfers.size());
    }

    std::map<Key, Bytes> entries;
    std::map<Key, std::pair<int32_t, std::string>> failures;
    std::vector<Transfer> transfers;
    std::function<void(std::size_t count)> afterTransfer;

private:
    LibraryResult failureOf(uint8_t node, uint16_t index, uint8_t sub) {
        LibraryResult result{};
        const auto it = failures.find({node, index, sub});
        if (it != failures.end()) {
            result.code = it->second.first;
            std::strncpy(result.text, it->second.second.c_str(), sizeof result.text - 1);
        }
        return result;
    }
    LibraryResult outcome(uint8_t node, uint16_t index, uint8_t sub) {
        LibraryResult result = failureOf(node, index, sub);
        if (result.code == 0 && !entries.count({node, index, sub})) {
            result.code = 5;
            std::strcpy(result.text, "Object does not exist in the object dictionary (0x06020000)");
        }
        return result;
    }
};

}  // namespace managertest
