// Test helper: an in-memory object dictionary for the SDO server engine.
// Entries are keyed by index/subindex and hold their bytes, whether they are
// read-only and the longest write they take; counts the writes it stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "protocol/sdo_abort.h"
#include "protocol/sdo_server.h"

namespace sdotest {

struct MemoryEntry {
    std::vector<std::uint8_t> value;
    bool read_only = false;
    std::size_t max_size = std::numeric_limits<std::size_t>::max();  // longer: 0x06070012
    std::uint32_t write_abort = 0;  // non-zero: write() returns it (value refused at the end)
};

class MemoryObjects : public morvell::sdo::ObjectAccess {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Adds or replaces an entry; returns it for further settings.
    MemoryEntry& add(std::uint16_t index, std::uint8_t subindex, Bytes value) {
        return entries_[{index, subindex}] = MemoryEntry{std::move(value)};
    }

    // The stored bytes; empty when the entry does not exist.
    Bytes value(std::uint16_t index, std::uint8_t subindex) const {
        auto it = entries_.find({index, subindex});
        return it == entries_.end() ? Bytes{} : it->second.value;
    }

    // Count of successful writes.
    std::size_t writeCount() const { return writes_; }

    // A missing entry: 0x06020000.
    std::uint32_t read(std::uint16_t index, std::uint8_t subindex, Bytes& value) override {
        auto it = entries_.find({index, subindex});
        if (it == entries_.end()) return code(morvell::sdo::Abort::NoObject);
        value = it->second.value;
        return 0;
    }

    std::uint32_t checkWrite(std::uint16_t index, std::uint8_t subindex,
                             std::optional<std::size_t> size) override {
        auto it = entries_.find({index, subindex});
        if (it == entries_.end()) return code(morvell::sdo::Abort::NoObject);
        if (it->second.read_only) return code(morvell::sdo::Abort::ReadOnly);
        if (size && *size > it->second.max_size) return code(morvell::sdo::Abort::TypeLengthHigh);
        return 0;
    }

    std::uint32_t write(std::uint16_t index, std::uint8_t subindex,
                        std::span<const std::uint8_t> value) override {
        if (std::uint32_t abort = checkWrite(index, subindex, value.size())) return abort;
        MemoryEntry& e = entries_[{index, subindex}];
        if (e.write_abort) return e.write_abort;
        e.value.assign(value.begin(), value.end());
        ++writes_;
        return 0;
    }

private:
    std::map<std::pair<std::uint16_t, std::uint8_t>, MemoryEntry> entries_;
    std::size_t writes_ = 0;
};

}  // namespace sdotest
