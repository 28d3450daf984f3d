// Where quorvane serves frame sharing: the per-user Unix domain socket
// $XDG_RUNTIME_DIR/quorvane-sharing.sock (the folder is the user's own,
// mode 0700; the socket is made mode 0600).
#pragma once

#include <optional>
#include <string>

namespace sharing {

inline constexpr char kSocketName[] = "quorvane-sharing.sock";

// The socket's path, or none when XDG_RUNTIME_DIR is unset, empty, not
// absolute, or the path would not fit a socket address.
std::optional<std::string> SharingSocketPath();
// The same for a given runtime folder.
std::optional<std::string> SharingSocketPathIn(const char* runtimeDir);

}  // namespace sharing
