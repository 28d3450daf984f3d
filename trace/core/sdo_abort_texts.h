// SDO abort codes (CiA 301) with the texts the trace shows for them: the
// library's list (canlib/sdo_abort_codes.h), so the trace and the library's
// messages name every code alike.
#pragma once

#include <cstdint>

namespace canopen_trace {

// The text of `code` (exact match), or nullptr when the code is not listed.
const char* SdoAbortText(uint32_t code);

}  // namespace canopen_trace
