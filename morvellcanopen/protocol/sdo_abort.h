// SDO abort codes (CiA 301) and their texts, made from the list in canlib's
// sdo_abort_codes.h that quorvane's trace shares.
#pragma once

#include <cstdint>
#include <string>

#include "sdo_abort_codes.h"

namespace morvell::sdo {

// Values are the wire codes (bytes 4-7 of an abort frame, little-endian);
// the list with its texts is canlib's sdo_abort_codes.h.
enum class Abort : std::uint32_t {
#define MORVELL_ABORT_ENUMERATOR(name, value, text) name = value,
    MORVELL_SDO_ABORT_CODES(MORVELL_ABORT_ENUMERATOR)
#undef MORVELL_ABORT_ENUMERATOR
};

inline constexpr std::uint32_t code(Abort a) {
    return static_cast<std::uint32_t>(a);
}

// The text of an abort code, or "Unknown abort code" when the code is not
// in the list.
const char* abortText(std::uint32_t code);

// "Object does not exist in the object dictionary (0x06020000)"
std::string describeAbort(std::uint32_t code);

}  // namespace morvell::sdo
