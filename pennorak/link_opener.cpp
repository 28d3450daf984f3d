#include "link_opener.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

#include "pennorak_constants.h"

extern char** environ;

namespace pennorak {

namespace {

constexpr int kSignalExitBase = 128;

int waitForChild(pid_t child) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return kSignalExitBase + WTERMSIG(status);
    return -1;
}

}  // namespace

std::string openerProgram(const char* openCommandValue) {
    if (openCommandValue != nullptr && *openCommandValue != '\0') return openCommandValue;
    return std::string(kDefaultOpener);
}

int runOpener(const std::string& program, const std::string& link) {
    if (program.empty()) return -1;
    std::string programArg = program;
    std::string linkArg = link;
    char* const argv[] = {programArg.data(), linkArg.data(), nullptr};
    pid_t child = -1;
    if (posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return waitForChild(child);
}

}  // namespace pennorak
