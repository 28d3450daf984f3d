// Test helper: a child program with its standard input, output and error
// piped, killed when the object goes away. Used by the integration tests to
// run quorbus and quorsim.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testsupport {

class ChildProcess {
public:
    // Starts program with args; environment additions as "NAME=value".
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::vector<std::string>& environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Writes a line (newline added) to the child's standard input.
    bool writeLine(const std::string& line);
    void closeInput();

    // Waits until a line of standard output contains text; returns that line,
    // or empty after the limit. Lines read while waiting stay in output().
    std::string waitForLine(const std::string& text,
                            std::chrono::milliseconds limit = std::chrono::seconds(10));
    // All standard output and error read so far.
    const std::string& output() const { return out_; }
    const std::string& errors() const { return err_; }

    // Waits for the child to end; returns its exit code, or -1 after the
    // limit (the child is then left running), or 128+signal.
    int wait(std::chrono::milliseconds limit = std::chrono::seconds(10));
    // SIGTERM, then SIGKILL after a second; returns the exit status as wait().
    int stop();

private:
    void pump(std::chrono::milliseconds limit);

    pid_t pid_ = -1;
    int in_ = -1, out_fd_ = -1, err_fd_ = -1;
    std::string out_, err_;
    std::size_t scanned_ = 0;
    int status_ = -1;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

// Path of a program built by this project.
std::string programPath(const std::string& name);

// Polls condition every millisecond until it holds or limit passes.
template <class Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace testsupport

#include "child_process_inl.h"
