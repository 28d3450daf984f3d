// C++ helpers around the binding's CanFrame.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "can_frame_flags.h"  // isExtended, isRemote
#include "morvellcanopen.h"

namespace morvell {

inline constexpr std::uint32_t kMaxStandardId = 0x7FF;
inline constexpr std::uint32_t kMaxExtendedId = 0x1FFFFFFF;

// A data frame with the given identifier and bytes (at most 8 are taken).
CanFrame makeFrame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes,
                   std::uint8_t flags = 0);

// Length 0-8 and the identifier fits its format.
bool isValidFrame(const CanFrame& f);

// Same identifier, flags, length and meaningful data bytes.
bool sameFrame(const CanFrame& a, const CanFrame& b);

// "123#1122334455" (candump style; "R" after '#' for remote frames,
// 8 hex digits for extended identifiers). For diagnostics and tests.
std::string toString(const CanFrame& f);

}  // namespace morvell
