// CRC of SDO block transfers: CRC-16-CCITT, polynomial 0x1021, initial value
// 0, no reflection, no final XOR (CiA 301). crc16({'1'..'9'}) == 0x31C3.
#pragma once

#include <cstdint>
#include <span>

namespace morvell::sdo {

// Continues a running CRC over more bytes; start with crc = 0.
std::uint16_t crc16(std::span<const std::uint8_t> bytes, std::uint16_t crc = 0);

}  // namespace morvell::sdo
