// Test helper: an in-memory object dictionary for the SDO server engine.
// Entries are keyed by index/subindex and hold their bytes, an access right
// and the sizes a write may have; counts the writes it stored.
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

enum class Access { ReadWrite, ReadOnly, WriteOnly };

struct MemoryEntry {
    std::vector<std::uint8_t> value;
    Access access = Access::ReadWrite;
    std::size_t min_size = 0;                                        // shorter writes: 0x06070013
    std::size_t max_size = std::numeric_limits<std::size_t>::max();  // longer: 0x06070012
    std::uint32_t write_abort = 0;  // non-zero: write() returns it (value refused at the end)
};

class MemoryObjects : public morvell::sdo::ObjectAccess {
public:
    using Bytes = std::vector<std::uint8_t>;

    // Adds or replaces an entry; returns it for further settings.
    MemoryEntry& add(std::uint16_t index, std::uint8_t subindex, Bytes value,
                     Access access = Access::ReadWrite) {
        return entries_[key(index, subindex)] = MemoryEntry{std::move(value), access};
    }

    // The stored bytes; empty when the entry does not exist.
    Bytes value(std::uint16_t index, std::uint8_t subindex) const {
        auto it = entries_.find(key(index, subindex));
        return it == entries_.end() ? Bytes{} : it->second.value;
    }

    // Count of successful writes.
    std::size_t writeCount() const { return writes_; }

    std::uint32_t read(std::uint16_t index, std::uint8_t subindex, Bytes& value) override {
        const MemoryEntry* e = nullptr;
        if (std::uint32_t abort = lookup(index, subindex, e)) return abort;
        if (e->access == Access::WriteOnly) return code(morvell::sdo::Abort::WriteOnly);
        value = e->value;
        return 0;
    }

    std::uint32_t checkWrite(std::uint16_t index, std::uint8_t subindex,
                             std::optional<std::size_t> size) override {
        const MemoryEntry* e = nullptr;
        if (std::uint32_t abort = lookup(index, subindex, e)) return abort;
        if (e->access == Access::ReadOnly) return code(morvell::sdo::Abort::ReadOnly);
        return size ? sizeAbort(*e, *size) : 0;
    }

    std::uint32_t write(std::uint16_t index, std::uint8_t subindex,
                        std::span<const std::uint8_t> value) override {
        const MemoryEntry* found = nullptr;
        if (std::uint32_t abort = lookup(index, subindex, found)) return abort;
        MemoryEntry& e = entries_[key(index, subindex)];
        if (e.access == Access::ReadOnly) return code(morvell::sdo::Abort::ReadOnly);
        if (std::uint32_t abort = sizeAbort(e, value.size())) return abort;
        if (e.write_abort) return e.write_abort;
        e.value.assign(value.begin(), value.end());
        ++writes_;
        return 0;
    }

private:
    using Key = std::pair<std::uint16_t, std::uint8_t>;
    static Key key(std::uint16_t index, std::uint8_t subindex) { return {index, subindex}; }

    // 0x06020000 when no subindex of index exists, 0x06090011 when only
    // this subindex is missing.
    std::uint32_t lookup(std::uint16_t index, std::uint8_t subindex, const MemoryEntry*& e) const {
        auto it = entries_.find(key(index, subindex));
        if (it != entries_.end()) {
            e = &it->second;
            return 0;
        }
        auto first = entries_.lower_bound(key(index, 0));
        bool index_exists = first != entries_.end() && first->first.first == index;
        return code(index_exists ? morvell::sdo::Abort::NoSubindex : morvell::sdo::Abort::NoObject);
    }

    static std::uint32_t sizeAbort(const MemoryEntry& e, std::size_t size) {
        if (size > e.max_size) return code(morvell::sdo::Abort::TypeLengthHigh);
        if (size < e.min_size) return code(morvell::sdo::Abort::TypeLengthLow);
        return 0;
    }

    std::map<Key, MemoryEntry> entries_;
    std::size_t writes_ = 0;
};

}  // namespace sdotest
