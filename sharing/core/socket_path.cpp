#include "sharing/core/socket_path.h"

#include <sys/un.h>

#include <cstdlib>

namespace sharing {

std::optional<std::string> SharingSocketPath() {
    return SharingSocketPathIn(std::getenv("XDG_RUNTIME_DIR"));
}

std::optional<std::string> SharingSocketPathIn(const char* runtimeDir) {
    if (runtimeDir == nullptr || runtimeDir[0] != '/') return std::nullopt;
    std::string path = runtimeDir;
    if (path.back() != '/') path += '/';
    path += kSocketName;
    if (path.size() >= sizeof(sockaddr_un::sun_path)) return std::nullopt;
    return path;
}

}  // namespace sharing
