#include "sdo_abort.h"

#include <cstdio>

namespace morvell::sdo {
namespace {

struct AbortEntry {
    Abort abort;
    const char* text;
};

constexpr AbortEntry kAbortTable[] = {
#define MORVELL_ABORT_ENTRY(name, value, text) {Abort::name, text},
    MORVELL_SDO_ABORT_CODES(MORVELL_ABORT_ENTRY)
#undef MORVELL_ABORT_ENTRY
};

}  // namespace

const char* abortText(std::uint32_t c) {
    for (const auto& e : kAbortTable)
        if (code(e.abort) == c) return e.text;
    return "Unknown abort code";
}

std::string describeAbort(std::uint32_t c) {
    char buf[24];
    std::snprintf(buf, sizeof buf, " (0x%08X)", static_cast<unsigned>(c));
    return std::string(abortText(c)) + buf;
}

}  // namespace morvell::sdo
