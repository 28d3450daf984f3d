// A simulated device's object dictionary: typed entries with access rights,
// served to SDO clients through morvell::sdo::ObjectAccess. No I/O; not
// thread-safe (owned by one node on quorsim's loop thread).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/sdo_server.h"

namespace quorsim {

// Values are the CANopen data type codes (as in EDS files, DataType=0x0007).
enum class DataType : std::uint16_t {
    Boolean = 0x0001,
    Integer8 = 0x0002,
    Integer16 = 0x0003,
    Integer32 = 0x0004,
    Unsigned8 = 0x0005,
    Unsigned16 = 0x0006,
    Unsigned32 = 0x0007,
    Real32 = 0x0008,
    VisibleString = 0x0009,
    OctetString = 0x000A,
    UnicodeString = 0x000B,
    Domain = 0x000F,
    Integer64 = 0x0015,
    Unsigned64 = 0x001B,
};

// The type for a code, empty for codes quorsim does not simulate.
std::optional<DataType> dataTypeFromCode(std::uint16_t code);
// Byte size of fixed-size types; empty for strings and domains.
std::optional<std::size_t> fixedSize(DataType type);
bool isSignedInteger(DataType type);

enum class Access {
    ReadOnly,   // ro: read by SDO, changed only by the device itself
    WriteOnly,  // wo
    ReadWrite,  // rw (and the EDS variants rwr, rww)
    Const,      // const: never changes
};

struct Entry {
    DataType type = DataType::Unsigned32;
    Access access = Access::ReadWrite;
    std::vector<std::uint8_t> value;  // little-endian for numbers; the stored length for strings
    std::size_t capacity = 0;         // strings and domains: largest value a write may store
    std::string name;
};

// A fixed-size entry holding `value` (little-endian, cut to the type's size).
Entry numberEntry(DataType type, Access access, std::uint64_t value, std::string name = {});
// A string or domain entry; capacity below the value's length is raised to it.
Entry bytesEntry(DataType type, Access access, std::vector<std::uint8_t> value,
                 std::size_t capacity, std::string name = {});
Entry stringEntry(Access access, const std::string& text, std::size_t capacity = 0,
                  std::string name = {});

class ObjectDictionary : public morvell::sdo::ObjectAccess {
public:
    // Adds or replaces index/subindex.
    void set(std::uint16_t index, std::uint8_t subindex, Entry entry);
    const Entry* find(std::uint16_t index, std::uint8_t subindex) const;
    // Removes one subindex, or every subindex of the index when none is
    // given; returns how many entries went.
    std::size_t remove(std::uint16_t index, std::optional<std::uint8_t> subindex = {});
    bool hasIndex(std::uint16_t index) const;
    std::size_t size() const { return entries_.size(); }

    // The device's own view, ignoring access rights: a number entry's value
    // (zero-extended), empty when missing or not a fixed-size type.
    std::optional<std::uint64_t> number(std::uint16_t index, std::uint8_t subindex) const;
    // Stores a number into an existing fixed-size entry; false when missing.
    bool setNumber(std::uint16_t index, std::uint8_t subindex, std::uint64_t value);

    // SDO access. Returns 0 or the abort code: missing index 0x06020000,
    // missing subindex 0x06090011, reading wo 0x06010001, writing ro/const
    // 0x06010002, fixed-size length above / below the type 0x06070012 /
    // 0x06070013, string or domain above its capacity 0x06070012.
    std::uint32_t read(std::uint16_t index, std::uint8_t subindex,
                       std::vector<std::uint8_t>& value) override;
    std::uint32_t checkWrite(std::uint16_t index, std::uint8_t subindex,
                             std::optional<std::size_t> size) override;
    std::uint32_t write(std::uint16_t index, std::uint8_t subindex,
                        std::span<const std::uint8_t> value) override;

private:
    static std::uint32_t key(std::uint16_t index, std::uint8_t subindex) {
        return static_cast<std::uint32_t>(index) << 8 | subindex;
    }
    // The entry or the abort code for a missing index / subindex.
    std::uint32_t lookup(std::uint16_t index, std::uint8_t subindex, Entry*& entry);

    std::map<std::uint32_t, Entry> entries_;
};

// The built-in device for node 1-127: communication objects 0x1000-0x1020
// (serial number 0x1000 + node), test values 0x2000-0x2002 and the domains
// 0x2100 (1000 bytes) and 0x2101 (200000 bytes) filled with
// domainPatternByte(). Heartbeat time 0x1017 is heartbeat_ms.
ObjectDictionary makeDefaultDevice(std::uint8_t node, std::uint16_t heartbeat_ms = 0);

}  // namespace quorsim
