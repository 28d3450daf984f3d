#include "object_dictionary.h"

#include <algorithm>

#include "device_constants.h"
#include "protocol/sdo_abort.h"

namespace quorsim {

using morvell::sdo::Abort;
using morvell::sdo::code;

std::optional<DataType> dataTypeFromCode(std::uint16_t value) {
    switch (static_cast<DataType>(value)) {
        case DataType::Boolean:
        case DataType::Integer8:
        case DataType::Integer16:
        case DataType::Integer32:
        case DataType::Unsigned8:
        case DataType::Unsigned16:
        case DataType::Unsigned32:
        case DataType::Real32:
        case DataType::VisibleString:
        case DataType::OctetString:
        case DataType::UnicodeString:
        case DataType::Domain:
        case DataType::Integer64:
        case DataType::Unsigned64:
            return static_cast<DataType>(value);
    }
    return std::nullopt;
}

std::optional<std::size_t> fixedSize(DataType type) {
    switch (type) {
        case DataType::Boolean:
        case DataType::Integer8:
        case DataType::Unsigned8:
            return 1;
        case DataType::Integer16:
        case DataType::Unsigned16:
            return 2;
        case DataType::Integer32:
        case DataType::Unsigned32:
        case DataType::Real32:
            return 4;
        case DataType::Integer64:
        case DataType::Unsigned64:
            return 8;
        case DataType::VisibleString:
        case DataType::OctetString:
        case DataType::UnicodeString:
        case DataType::Domain:
            return std::nullopt;
    }
    return std::nullopt;
}

bool isSignedInteger(DataType type) {
    return type == DataType::Integer8 || type == DataType::Integer16 ||
           type == DataType::Integer32 || type == DataType::Integer64;
}

Entry numberEntry(DataType type, Access access, std::uint64_t value, std::string name) {
    Entry e;
    e.type = type;
    e.access = access;
    e.name = std::move(name);
    const std::size_t size = fixedSize(type).value_or(sizeof value);
    for (std::size_t i = 0; i < size; ++i)
        e.value.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    e.capacity = size;
    return e;
}

Entry bytesEntry(DataType type, Access access, std::vector<std::uint8_t> value,
                 std::size_t capacity, std::string name) {
    Entry e;
    e.type = type;
    e.access = access;
    e.capacity = std::max(capacity, value.size());
    e.value = std::move(value);
    e.name = std::move(name);
    return e;
}

Entry stringEntry(Access access, const std::string& text, std::size_t capacity, std::string name) {
    return bytesEntry(DataType::VisibleString, access, {text.begin(), text.end()}, capacity,
                      std::move(name));
}

void ObjectDictionary::set(std::uint16_t index, std::uint8_t subindex, Entry entry) {
    entries_[key(index, subindex)] = std::move(entry);
}

const Entry* ObjectDictionary::find(std::uint16_t index, std::uint8_t subindex) const {
    const auto it = entries_.find(key(index, subindex));
    return it == entries_.end() ? nullptr : &it->second;
}

std::size_t ObjectDictionary::remove(std::uint16_t index, std::optional<std::uint8_t> subindex) {
    if (subindex) return entries_.erase(key(index, *subindex));
    const auto first = entries_.lower_bound(key(index, 0));
    const auto last = entries_.upper_bound(key(index, 0xFF));
    const auto count = static_cast<std::size_t>(std::distance(first, last));
    entries_.erase(first, last);
    return count;
}

bool ObjectDictionary::hasIndex(std::uint16_t index) const {
    const auto it = entries_.lower_bound(key(index, 0));
    return it != entries_.end() && (it->first >> 8) == index;
}

std::optional<std::uint64_t> ObjectDictionary::number(std::uint16_t index,
                                                      std::uint8_t subindex) const {
    const Entry* e = find(index, subindex);
    if (!e || !fixedSize(e->type)) return std::nullopt;
    std::uint64_t value = 0;
    for (std::size_t i = e->value.size(); i-- > 0;) value = value << 8 | e->value[i];
    return value;
}

bool ObjectDictionary::setNumber(std::uint16_t index, std::uint8_t subindex, std::uint64_t value) {
    const auto it = entries_.find(key(index, subindex));
    if (it == entries_.end() || !fixedSize(it->second.type)) return false;
    Entry& e = it->second;
    e = numberEntry(e.type, e.access, value, std::move(e.name));
    return true;
}

std::uint32_t ObjectDictionary::lookup(std::uint16_t index, std::uint8_t subindex, Entry*& entry) {
    const auto it = entries_.find(key(index, subindex));
    if (it == entries_.end()) return code(hasIndex(index) ? Abort::NoSubindex : Abort::NoObject);
    entry = &it->second;
    return 0;
}

std::uint32_t ObjectDictionary::read(std::uint16_t index, std::uint8_t subindex,
                                     std::vector<std::uint8_t>& value) {
    Entry* e = nullptr;
    if (const std::uint32_t abort = lookup(index, subindex, e)) return abort;
    if (e->access == Access::WriteOnly) return code(Abort::WriteOnly);
    value = e->value;
    return 0;
}

std::uint32_t ObjectDictionary::checkWrite(std::uint16_t index, std::uint8_t subindex,
                                           std::optional<std::size_t> size) {
    Entry* e = nullptr;
    if (const std::uint32_t abort = lookup(index, subindex, e)) return abort;
    if (e->access == Access::ReadOnly || e->access == Access::Const) return code(Abort::ReadOnly);
    if (!size) return 0;
    if (const auto fixed = fixedSize(e->type)) {
        if (*size > *fixed) return code(Abort::TypeLengthHigh);
        if (*size < *fixed) return code(Abort::TypeLengthLow);
        return 0;
    }
    return *size > e->capacity ? code(Abort::TypeLengthHigh) : 0;
}

std::uint32_t ObjectDictionary::write(std::uint16_t index, std::uint8_t subindex,
                                      std::span<const std::uint8_t> value) {
    if (const std::uint32_t abort = checkWrite(index, subindex, value.size())) return abort;
    Entry& e = entries_.at(key(index, subindex));
    e.value.assign(value.begin(), value.end());
    return 0;
}

namespace {

std::vector<std::uint8_t> domainPattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = domainPatternByte(i);
    return bytes;
}

}  // namespace

ObjectDictionary makeDefaultDevice(std::uint8_t node, std::uint16_t heartbeat_ms) {
    using T = DataType;
    using A = Access;
    ObjectDictionary od;
    od.set(kDeviceTypeIndex, 0, numberEntry(T::Unsigned32, A::ReadOnly, 0x00000191, "Device type"));
    od.set(kErrorRegisterIndex, 0, numberEntry(T::Unsigned8, A::ReadOnly, 0, "Error register"));
    od.set(kDeviceNameIndex, 0,
           stringEntry(A::Const, "Quorsim Device", 0, "Manufacturer device name"));
    od.set(kHardwareVersionIndex, 0,
           stringEntry(A::Const, "1.0", 0, "Manufacturer hardware version"));
    od.set(kSoftwareVersionIndex, 0,
           stringEntry(A::Const, "0.1.0", 0, "Manufacturer software version"));
    od.set(kHeartbeatTimeIndex, 0,
           numberEntry(T::Unsigned16, A::ReadWrite, heartbeat_ms, "Producer heartbeat time"));

    od.set(kIdentityIndex, 0,
           numberEntry(T::Unsigned8, A::Const, 4, "Highest sub-index supported"));
    od.set(kIdentityIndex, 1, numberEntry(T::Unsigned32, A::ReadOnly, 0x0000A5A5, "Vendor-ID"));
    od.set(kIdentityIndex, 2, numberEntry(T::Unsigned32, A::ReadOnly, 0x00005153, "Product code"));
    od.set(kIdentityIndex, 3,
           numberEntry(T::Unsigned32, A::ReadOnly, 0x00010000, "Revision number"));
    od.set(kIdentityIndex, 4,
           numberEntry(T::Unsigned32, A::ReadOnly, 0x1000u + node, "Serial number"));

    od.set(kVerifyConfigurationIndex, 0,
           numberEntry(T::Unsigned8, A::Const, 2, "Highest sub-index supported"));
    od.set(kVerifyConfigurationIndex, 1,
           numberEntry(T::Unsigned32, A::ReadWrite, 0, "Configuration date"));
    od.set(kVerifyConfigurationIndex, 2,
           numberEntry(T::Unsigned32, A::ReadWrite, 0, "Configuration time"));

    // Test values: sub 1 is the UNSIGNED32 0x12345678, then one entry per basic type.
    od.set(kTestValuesIndex, 0,
           numberEntry(T::Unsigned8, A::Const, 9, "Highest sub-index supported"));
    od.set(kTestValuesIndex, 1,
           numberEntry(T::Unsigned32, A::ReadWrite, 0x12345678, "Test UNSIGNED32"));
    od.set(kTestValuesIndex, 2, numberEntry(T::Integer8, A::ReadWrite, 0xF6, "Test INTEGER8"));
    od.set(kTestValuesIndex, 3, numberEntry(T::Integer16, A::ReadWrite, 0xFC18, "Test INTEGER16"));
    od.set(kTestValuesIndex, 4,
           numberEntry(T::Integer32, A::ReadWrite, 0xFFFE7960, "Test INTEGER32"));
    od.set(kTestValuesIndex, 5, numberEntry(T::Unsigned8, A::ReadWrite, 0xAB, "Test UNSIGNED8"));
    od.set(kTestValuesIndex, 6,
           numberEntry(T::Unsigned16, A::ReadWrite, 0xABCD, "Test UNSIGNED16"));
    od.set(kTestValuesIndex, 7,
           numberEntry(T::Unsigned64, A::ReadWrite, 0x0123456789ABCDEF, "Test UNSIGNED64"));
    od.set(kTestValuesIndex, 8, numberEntry(T::Boolean, A::ReadWrite, 1, "Test BOOLEAN"));
    od.set(kTestValuesIndex, 9, stringEntry(A::ReadWrite, "hello", 64, "Test VISIBLE_STRING"));

    od.set(kReadOnlyValueIndex, 0,
           numberEntry(T::Unsigned32, A::ReadOnly, 0xCAFEF00D, "Read-only value"));
    od.set(kWriteOnlyValueIndex, 0,
           numberEntry(T::Unsigned32, A::WriteOnly, 0, "Write-only value"));
    od.set(kSmallDomainIndex, 0,
           bytesEntry(T::Domain, A::ReadWrite, domainPattern(kSmallDomainBytes), kSmallDomainBytes,
                      "Small domain"));
    od.set(kLargeDomainIndex, 0,
           bytesEntry(T::Domain, A::ReadWrite, domainPattern(kLargeDomainBytes), kLargeDomainBytes,
                      "Large domain"));
    return od;
}

}  // namespace quorsim
