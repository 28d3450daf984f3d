#include "can_frame.h"

#include <cstdio>
#include <cstring>

namespace morvell {

CanFrame makeFrame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes,
                   std::uint8_t flags) {
    CanFrame f{};
    f.id = id;
    f.flags = flags;
    for (std::uint8_t b : bytes) {
        if (f.length == 8) break;
        f.data[f.length++] = b;
    }
    return f;
}

bool isValidFrame(const CanFrame& f) {
    if (f.length > 8) return false;
    return f.id <= (isExtended(f) ? kMaxExtendedId : kMaxStandardId);
}

bool sameFrame(const CanFrame& a, const CanFrame& b) {
    if (a.id != b.id || a.flags != b.flags || a.length != b.length) return false;
    if (isRemote(a)) return true;
    return std::memcmp(a.data, b.data, a.length > 8 ? 8 : a.length) == 0;
}

std::string toString(const CanFrame& f) {
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, isExtended(f) ? "%08X#" : "%03X#",
                          static_cast<unsigned>(f.id));
    std::string s(buf, static_cast<std::size_t>(n));
    if (isRemote(f)) {
        s += 'R';
        if (f.length) s += std::to_string(f.length);
        return s;
    }
    for (unsigned i = 0; i < f.length && i < 8; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", f.data[i]);
        s += buf;
    }
    return s;
}

}  // namespace morvell
