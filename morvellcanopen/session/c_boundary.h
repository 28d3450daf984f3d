// Helpers of the exported C functions (api.cpp, channel_api.cpp): result
// records and the rule that no exception crosses the C boundary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "morvellcanopen.h"

#define MORVELL_API extern "C" __attribute__((visibility("default")))

namespace morvell::session {

inline constexpr std::int32_t kInvalidParameter = 4;
inline constexpr std::int32_t kBusError = 8;

inline void setResult(LibraryResult* r, std::int32_t code, const std::string& text = {}) {
    if (!r) return;
    r->code = code;
    std::snprintf(r->text, sizeof r->text, "%s", text.c_str());
}

// Code 4: text[0] is the 1-based parameter number.
inline void setParameterError(LibraryResult* r, std::uint8_t parameter) {
    if (!r) return;
    std::memset(r, 0, sizeof *r);
    r->code = kInvalidParameter;
    r->text[0] = static_cast<char>(parameter);
}

// No exception crosses the C boundary: one that reaches an exported function
// becomes code 8 with its text (no allocation on that path).
template <class Body>
void guarded(LibraryResult* result, Body&& body) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        if (!result) return;
        result->code = kBusError;
        std::snprintf(result->text, sizeof result->text, "internal library error: %s", e.what());
    } catch (...) {
        if (!result) return;
        result->code = kBusError;
        std::snprintf(result->text, sizeof result->text, "internal library error");
    }
}

}  // namespace morvell::session
