// The CanFrame flag bits as C++ tests, for the library and the programs that
// take frames from its callbacks alike.
#pragma once

#include "morvellcanopen.h"

namespace morvell {

inline constexpr bool isExtended(const CanFrame& f) {
    return (f.flags & CANFRAME_FLAG_EXTENDED) != 0;
}
inline constexpr bool isRemote(const CanFrame& f) {
    return (f.flags & CANFRAME_FLAG_REMOTE) != 0;
}

}  // namespace morvell
