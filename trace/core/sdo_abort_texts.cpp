#include "trace/core/sdo_abort_texts.h"

#include "canlib/sdo_abort_codes.h"

namespace canopen_trace {
namespace {

struct AbortText {
    uint32_t code;
    const char* text;
};

constexpr AbortText kAbortTexts[] = {
#define TRACE_ABORT_TEXT(name, code, text) {code, text},
    MORVELL_SDO_ABORT_CODES(TRACE_ABORT_TEXT)
#undef TRACE_ABORT_TEXT
};

}  // namespace

const char* SdoAbortText(uint32_t code) {
    for (const AbortText& entry : kAbortTexts) {
        if (entry.code == code) return entry.text;
    }
    return nullptr;
}

}  // namespace canopen_trace
