#include "config_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace morvell::transport {
namespace {

constexpr mode_t kFolderMode = 0755;

// The key a line sets, or empty for comments, blank and malformed lines.
std::string keyOfLine(const std::string& line) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return {};
    const auto hash = line.find('#');
    if (hash != std::string::npos && hash < eq) return {};
    std::size_t b = 0, e = eq;
    while (b < e && std::isspace(static_cast<unsigned char>(line[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(line[e - 1]))) --e;
    return line.substr(b, e - b);
}

std::string errnoReason(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

// Creates every missing folder of path's parent.
std::string makeParentFolders(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST)
            return errnoReason("create the folder", folder);
    }
    return {};
}

}  // namespace

std::string writeConfigValue(const std::string& path, const std::string& key,
                             const std::string& value) {
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        if (!in && errno != ENOENT) return errnoReason("read", path);
        std::string line;
        while (std::getline(in, line)) lines.push_back(line);
        if (in.bad()) return errnoReason("read", path);
    }
    std::ostringstream contents;
    bool written = false;
    for (const std::string& line : lines) {
        if (keyOfLine(line) != key) {
            contents << line << '\n';
        } else if (!written && !value.empty()) {
            contents << key << " = " << value << '\n';
            written = true;
        }
    }
    if (!written && !value.empty()) contents << key << " = " << value << '\n';

    if (std::string error = makeParentFolders(path); !error.empty()) return error;
    const std::string temporary = path + ".new";
    std::FILE* out = std::fopen(temporary.c_str(), "w");
    if (!out) return errnoReason("create", temporary);
    const std::string text = contents.str();
    const bool complete = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const int saved_errno = errno;
    if (std::fclose(out) != 0 || !complete) {
        errno = complete ? errno : saved_errno;
        std::string error = errnoReason("write", temporary);
        ::unlink(temporary.c_str());
        return error;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::string error = errnoReason("replace", path);
        ::unlink(temporary.c_str());
        return error;
    }
    return {};
}

}  // namespace morvell::transport
