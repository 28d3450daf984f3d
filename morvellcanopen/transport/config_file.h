// Writing one value of the per-user file read by readConfigFile (channel.h):
//
//   # channels of this machine          kept as it is
//   adapter2 = socketcan:can1           replaced by the new value, or removed
//   sdo_timeout_ms = 250                kept as it is
//
// Any thread; the caller serialises writers of one file.
#pragma once

#include <string>

namespace morvell::transport {

// Sets key to value in the file at path: the first line of the key is
// replaced by "key = value", later lines of the key are dropped, every other
// line is kept; a key not in the file is appended. An empty value removes
// the key. Creates the file and its folder when missing. The new contents go
// to a temporary file beside it that is renamed over the old one, so a
// failure leaves the old file intact. Returns an empty text on success, else
// the reason naming the path.
std::string writeConfigValue(const std::string& path, const std::string& key,
                             const std::string& value);

}  // namespace morvell::transport
