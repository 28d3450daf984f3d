#include "child_process.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace testsupport {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::vector<std::string>& environment) {
    int in[2], out[2], err[2];
    if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return;
    std::vector<std::string> argv_strings{program};
    argv_strings.insert(argv_strings.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (const auto& e : environment) putenv(const_cast<char*>(e.c_str()));
        std::vector<char*> argv;
        for (auto& s : argv_strings) argv.push_back(s.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_fd_ = out[0];
    err_fd_ = err[0];
    fcntl(out_fd_, F_SETFL, O_NONBLOCK);
    fcntl(err_fd_, F_SETFL, O_NONBLOCK);
    signal(SIGPIPE, SIG_IGN);
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && status_ < 0) stop();
    for (int fd : {in_, out_fd_, err_fd_})
        if (fd >= 0) close(fd);
}

bool ChildProcess::writeLine(const std::string& line) {
    if (in_ < 0) return false;
    std::string s = line + "\n";
    const char* p = s.data();
    std::size_t left = s.size();
    while (left) {
        ssize_t n = write(in_, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void ChildProcess::closeInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
}

void ChildProcess::pump(std::chrono::milliseconds limit) {
    pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
    if (poll(fds, 2, static_cast<int>(limit.count())) <= 0) return;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0) continue;
        for (;;) {
            ssize_t n = read(fds[i].fd, buf, sizeof buf);
            if (n <= 0) break;
            (i == 0 ? out_ : err_).append(buf, static_cast<std::size_t>(n));
        }
    }
}

std::string ChildProcess::waitForLine(const std::string& text, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        // Look at complete lines not yet scanned.
        for (;;) {
            auto nl = out_.find('\n', scanned_);
            if (nl == std::string::npos) break;
            std::string line = out_.substr(scanned_, nl - scanned_);
            scanned_ = nl + 1;
            if (line.find(text) != std::string::npos) return line;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= end) return {};
        pump(std::chrono::duration_cast<std::chrono::milliseconds>(end - now) +
             std::chrono::milliseconds(1));
        if (status_ < 0 && pid_ > 0) {
            int st;
            if (waitpid(pid_, &st, WNOHANG) == pid_)
                status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        if (status_ >= 0) {
            pump(std::chrono::milliseconds(0));
            if (out_.find('\n', scanned_) == std::string::npos) return {};
        }
    }
}

int ChildProcess::wait(std::chrono::milliseconds limit) {
    if (pid_ <= 0) return -1;
    if (status_ >= 0) return status_;
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int st;
        pid_t r = waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            pump(std::chrono::milliseconds(0));
            return status_;
        }
        if (std::chrono::steady_clock::now() >= end) return -1;
        pump(std::chrono::milliseconds(5));
    }
}

int ChildProcess::stop() {
    if (pid_ <= 0) return -1;
    if (status_ >= 0) return status_;
    kill(pid_, SIGTERM);
    int r = wait(std::chrono::seconds(1));
    if (r < 0) {
        kill(pid_, SIGKILL);
        r = wait(std::chrono::seconds(10));
    }
    return r;
}

int freeLoopbackPort() {
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = -1;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

std::string programPath(const std::string& name) {
    return std::string(QUORVANE_BIN_DIR) + "/" + name;
}

}  // namespace testsupport
