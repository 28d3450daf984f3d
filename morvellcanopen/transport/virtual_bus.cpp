#include "virtual_bus.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "socketcand_transport.h"

namespace morvell::transport {

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kQuorbusName = "quorbus";
constexpr const char* kQuorbusIdleExitMs = "5000";
constexpr std::chrono::milliseconds kConnectLimit{2000};
constexpr std::chrono::milliseconds kRetryPause{20};

std::string startFailure(const std::string& cause) {
    return "the virtual bus (quorbus) could not be started: " + cause +
           "; build or install quorbus, or set MORVELLCANOPEN_QUORBUS";
}

SocketcandEndpoint hubEndpoint(const std::string& bus, std::uint16_t port, int bitrate_kbps) {
    SocketcandEndpoint endpoint;
    endpoint.bitrate_kbps = bitrate_kbps;
    endpoint.host = "127.0.0.1";
    endpoint.port = port;
    endpoint.bus = bus;
    endpoint.name = "virtual:" + bus + "@" + std::to_string(port);
    endpoint.peer = "the virtual bus at 127.0.0.1:" + std::to_string(port);
    return endpoint;
}

// Runs in the forked child: only async-signal-safe calls until execv.
[[noreturn]] void execDetached(const char* program, char* const argv[], int report_fd) {
    if (setsid() < 0 || fork() != 0) _exit(0);  // the grandchild is adopted by init
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    const int null_fd = open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        dup2(null_fd, STDIN_FILENO);
        dup2(null_fd, STDOUT_FILENO);
        dup2(null_fd, STDERR_FILENO);
    }
    // Everything else closes on exec, report_fd included (EOF = started).
    close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    execv(program, argv);
    const int failure = errno;
    if (write(report_fd, &failure, sizeof failure) < 0) _exit(127);
    _exit(127);
}

}  // namespace

std::vector<std::string> quorbusCandidates(const QuorbusSearch& search) {
    if (!search.environment.empty()) return {search.environment};
    std::vector<std::string> candidates;
    if (!search.library_dir.empty()) {
        candidates.push_back(search.library_dir + "/../bin/" + kQuorbusName);
        candidates.push_back(search.library_dir + "/" + kQuorbusName);
    }
    std::size_t start = 0;
    while (start <= search.path_variable.size()) {
        std::size_t end = search.path_variable.find(':', start);
        if (end == std::string::npos) end = search.path_variable.size();
        const std::string folder = search.path_variable.substr(start, end - start);
        if (!folder.empty()) candidates.push_back(folder + "/" + kQuorbusName);
        start = end + 1;
    }
    return candidates;
}

QuorbusSearch currentQuorbusSearch() {
    QuorbusSearch search;
    if (const char* value = std::getenv("MORVELLCANOPEN_QUORBUS")) search.environment = value;
    if (const char* value = std::getenv("PATH")) search.path_variable = value;
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&currentQuorbusSearch), &info) != 0 &&
        info.dli_fname) {
        std::string file = info.dli_fname;
        if (char* resolved = realpath(file.c_str(), nullptr)) {
            file = resolved;
            std::free(resolved);
        }
        const std::size_t slash = file.rfind('/');
        if (slash != std::string::npos) search.library_dir = file.substr(0, slash);
    }
    return search;
}

std::string locateQuorbus(const QuorbusSearch& search, std::string* error) {
    for (const std::string& candidate : quorbusCandidates(search)) {
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    if (!search.environment.empty())
        *error = "MORVELLCANOPEN_QUORBUS=" + search.environment + " is not an executable program";
    else
        *error = "no quorbus program beside the library or on PATH";
    return {};
}

bool startQuorbus(const std::string& program, std::uint16_t port, std::string* error) {
    std::string port_text = std::to_string(port);
    std::vector<std::string> words = {program,       "--port",           port_text,
                                      "--idle-exit", kQuorbusIdleExitMs, "--quiet"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    const pid_t child = fork();
    if (child == 0) execDetached(program.c_str(), argv.data(), report[1]);
    close(report[1]);
    if (child < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        close(report[0]);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // EOF: execv succeeded; an int: its errno.
    int exec_errno = 0;
    ssize_t n;
    do {
        n = read(report[0], &exec_errno, sizeof exec_errno);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    if (n == static_cast<ssize_t>(sizeof exec_errno)) {
        *error = program + ": " + std::strerror(exec_errno);
        return false;
    }
    return true;
}

OpenResult openVirtualBus(const std::string& bus, std::uint16_t port, int bitrate_kbps) {
    const SocketcandEndpoint endpoint = hubEndpoint(bus, port, bitrate_kbps);
    OpenResult result;
    ConnectFailure failure = ConnectFailure::None;
    std::string error;
    result.transport = SocketcandTransport::connect(endpoint, kConnectLimit, &failure, &error);
    if (result.transport) return result;
    if (failure != ConnectFailure::Refused) {
        result.error = std::move(error);
        return result;
    }

    const std::string program = locateQuorbus(currentQuorbusSearch(), &error);
    if (program.empty() || !startQuorbus(program, port, &error)) {
        result.error = startFailure(error);
        return result;
    }
    // The hub needs a moment to listen; a hub started by someone else at the
    // same time serves as well (ours then exits with code 2).
    const auto deadline = Clock::now() + kQuorbusStartLimit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        result.transport = SocketcandTransport::connect(
            endpoint, std::max(std::min(left, kConnectLimit), kRetryPause), &failure, &error);
        if (result.transport) return result;
        if (failure != ConnectFailure::Refused) {
            result.error = std::move(error);
            return result;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(kRetryPause);
    }
    result.error =
        startFailure(program + " did not accept connections on 127.0.0.1:" + std::to_string(port) +
                     " within 3 s");
    return result;
}

}  // namespace morvell::transport
