// SDO abort codes (CiA 301) and their texts: the one table of the library.
#pragma once

#include <cstdint>
#include <string>

namespace morvell::sdo {

// Values are the wire codes (bytes 4-7 of an abort frame, little-endian).
enum class Abort : std::uint32_t {
    ToggleBit = 0x05030000,
    Timeout = 0x05040000,
    CommandSpecifier = 0x05040001,
    BlockSize = 0x05040002,
    SequenceNumber = 0x05040003,
    Crc = 0x05040004,
    OutOfMemory = 0x05040005,
    UnsupportedAccess = 0x06010000,
    WriteOnly = 0x06010001,
    ReadOnly = 0x06010002,
    NoObject = 0x06020000,
    NoMapping = 0x06040041,
    PdoLength = 0x06040042,
    ParameterIncompatible = 0x06040043,
    InternalIncompatible = 0x06040047,
    Hardware = 0x06060000,
    TypeLength = 0x06070010,
    TypeLengthHigh = 0x06070012,
    TypeLengthLow = 0x06070013,
    NoSubindex = 0x06090011,
    ValueRange = 0x06090030,
    ValueHigh = 0x06090031,
    ValueLow = 0x06090032,
    MaxBelowMin = 0x06090036,
    NoResource = 0x060A0023,
    General = 0x08000000,
    DataStore = 0x08000020,
    DataStoreLocal = 0x08000021,
    DataStoreState = 0x08000022,
    NoDictionary = 0x08000023,
    NoData = 0x08000024,
};

inline constexpr std::uint32_t code(Abort a) {
    return static_cast<std::uint32_t>(a);
}

// The CiA 301 text of an abort code, or "Unknown abort code" when the code is
// not in the table.
const char* abortText(std::uint32_t code);

// "Object does not exist in the object dictionary (0x06020000)"
std::string describeAbort(std::uint32_t code);

}  // namespace morvell::sdo
