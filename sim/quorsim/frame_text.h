// Frames written candump style, as the `send` and `load` commands take them:
//
//   "181#1122334455667788"  standard id (up to 3 hex digits), 8 data bytes
//   "701#05"                one byte
//   "123#"                  no data
//   "123#11.22.33"          dots between bytes are allowed
//   "701#R"                 remote frame, length 0; "701#R1" length 1
//   "00000181#11"           extended id: more than 3 hex digits
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "morvellcanopen.h"

namespace quorsim {

// The frame, or empty with the reason in *error.
std::optional<CanFrame> parseFrameText(std::string_view text, std::string* error = nullptr);

}  // namespace quorsim
