// SDO abort codes (CiA 301) with the texts the trace shows for them.
#pragma once

#include <cstdint>

namespace canopen_trace {

inline constexpr int kSdoAbortTextCount = 29;

// The text of `code` (exact match), or nullptr when the code is not listed.
const char* SdoAbortText(uint32_t code);

}  // namespace canopen_trace
