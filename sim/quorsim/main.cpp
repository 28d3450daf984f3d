// quorsim: simulated CANopen slaves and managers on any channel the library can open.
// One thread: an epoll loop over the transport, standard input, a timerfd
// armed for the simulator's next deadline, and a signalfd (SIGTERM, SIGINT).
// Standard input that epoll refuses (a regular file, /dev/null) is always
// ready: the loop then polls without waiting and reads one chunk per turn.
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "commands.h"
#include "program_options.h"
#include "simulator.h"
#include "transport/channel.h"
#include "transport/socketcand_transport.h"

namespace {

using morvell::transport::CanTransport;
using morvell::transport::SendResult;
using morvell::transport::TransportEvent;
using quorsim::TimePoint;

constexpr int kMaxEvents = 8;
constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kMaxLineLength = 4096;
const std::string kLineTooLong =
    "error: line longer than " + std::to_string(kMaxLineLength) + " characters";

TimePoint now() {
    return morvell::sdo::Clock::now();
}

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// A descriptor closed when the holder goes away.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

class Program {
public:
    Program(quorsim::ProgramOptions options, std::unique_ptr<CanTransport> transport)
        : options_(std::move(options)),
          transport_(std::move(transport)),
          runner_(simulator_, options_.heartbeat_ms) {
        runner_.setBitrateKbps(options_.bitrate_kbps);
        simulator_.setBitrateBps(static_cast<std::uint32_t>(options_.bitrate_kbps) * 1000);
    }

    // Exit code: 0 after quit or a signal, 1 when the channel breaks or start-up fails.
    int run(const std::string& channel_name);

private:
    bool setUp();
    bool start(const std::string& channel_name);
    bool handleInput();
    void takeInput(const char* data, std::size_t size);
    bool handleLine(const std::string& line);
    bool sendErrorFrame(const CanFrame& frame);
    bool writeFrames();
    bool receiveFrames();
    void armTimer();
    void updateTransportInterest();
    bool fail(const std::string& what);

    quorsim::ProgramOptions options_;
    std::unique_ptr<CanTransport> transport_;
    quorsim::Simulator simulator_;
    quorsim::CommandRunner runner_;
    std::vector<CanFrame> pending_;  // frames the transport did not take yet
    std::string input_;              // the start of a line not yet complete
    bool skipping_line_ = false;     // dropping the rest of a line that was too long
    bool input_open_ = true;
    bool input_always_ready_ = false;  // standard input that epoll refuses
    bool quit_ = false;
    bool want_writable_ = false;
    std::optional<TimePoint> timer_armed_for_;  // empty: not armed
    Fd epoll_{epoll_create1(EPOLL_CLOEXEC)};
    Fd timer_{timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)};
    Fd signals_;
    std::vector<TransportEvent> events_;
};

bool Program::fail(const std::string& what) {
    std::fprintf(stderr, "quorsim: %s\n", what.c_str());
    return false;
}

bool Program::setUp() {
    if (epoll_.get() < 0 || timer_.get() < 0)
        return fail(std::string("epoll/timerfd: ") + std::strerror(errno));
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    if (sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) return fail("sigprocmask failed");
    signals_.reset(signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC));
    if (signals_.get() < 0) return fail(std::string("signalfd: ") + std::strerror(errno));
    for (int fd : {transport_->fd(), STDIN_FILENO, timer_.get(), signals_.get()}) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = fd;
        if (epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &ev) != 0) {
            // Standard input may be a regular file or /dev/null, which epoll
            // refuses: reading it never blocks.
            if (fd == STDIN_FILENO && errno == EPERM) {
                input_always_ready_ = true;
                continue;
            }
            return fail(std::string("epoll_ctl: ") + std::strerror(errno));
        }
    }
    return true;
}

// Set only when the deadline comes before the armed one: a deadline that
// moved later (an SDO time-out pushed on by each segment) lets the timer fire
// early once and be re-armed then, instead of a system call per frame.
void Program::armTimer() {
    // Load waits while frames are backed up; the transport becoming writable wakes us.
    const auto deadline = simulator_.nextDeadline(pending_.empty());
    if (!deadline || (timer_armed_for_ && *timer_armed_for_ <= *deadline)) return;
    itimerspec spec{};
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline->time_since_epoch()).count();
    spec.it_value.tv_sec = ns / 1000000000;
    spec.it_value.tv_nsec = ns % 1000000000;
    if (spec.it_value.tv_sec == 0 && spec.it_value.tv_nsec == 0) spec.it_value.tv_nsec = 1;
    if (timerfd_settime(timer_.get(), TFD_TIMER_ABSTIME, &spec, nullptr) == 0)
        timer_armed_for_ = deadline;
}

void Program::updateTransportInterest() {
    const bool want = !pending_.empty() || transport_->hasPendingOutput();
    if (want == want_writable_) return;
    epoll_event ev{};
    ev.events = want ? EPOLLIN | EPOLLOUT : EPOLLIN;
    ev.data.fd = transport_->fd();
    if (epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, transport_->fd(), &ev) == 0) want_writable_ = want;
}

bool Program::writeFrames() {
    for (const CanFrame& f : simulator_.takeFrames()) pending_.push_back(f);
    if (!pending_.empty()) {
        std::size_t taken = 0;
        const SendResult r = transport_->sendBatch(pending_, &taken);
        if (r == SendResult::Failed) return fail("sending failed: " + transport_->error());
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(taken));
    }
    if (transport_->hasPendingOutput()) {
        events_.clear();
        if (!transport_->flush(events_)) return fail("sending failed: " + transport_->error());
    }
    return true;
}

bool Program::receiveFrames() {
    events_.clear();
    const bool ok = transport_->receive(events_);
    for (const TransportEvent& e : events_) {
        if (e.kind == TransportEvent::Kind::Frame)
            simulator_.onBusFrame(e.frame, now());
        else if (e.kind == TransportEvent::Kind::BusError && e.error_code != 0)
            std::fprintf(stderr, "quorsim: bus error %d\n", static_cast<int>(e.error_code));
    }
    if (!ok) return fail("channel lost: " + transport_->error());
    return true;
}

// Error frames travel only through the virtual bus's extension: SocketCAN
// error frames come from the controller, never from a program.
bool Program::sendErrorFrame(const CanFrame& frame) {
    auto* gateway = dynamic_cast<morvell::transport::SocketcandTransport*>(transport_.get());
    if (!gateway || gateway->sendErrorFrame(frame) != SendResult::Ok) return false;
    events_.clear();
    return transport_->flush(events_);
}

bool Program::handleLine(const std::string& line) {
    const quorsim::Reply reply = runner_.run(line, now());
    if (reply.error_frame && !sendErrorFrame(*reply.error_frame)) {
        printLine(
            "error: bus errors can be injected only on the virtual bus or a socketcand "
            "gateway that carries error frames");
        return true;
    }
    if (!reply.line.empty()) printLine(reply.line);
    if (reply.quit) quit_ = true;
    return true;
}

bool Program::handleInput() {
    char buf[kReadChunk];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return true;
        std::fprintf(stderr, "quorsim: reading standard input: %s\n", std::strerror(errno));
    }
    if (n <= 0) {
        // End of input is not the end of the program unless asked for.
        if (!input_.empty() && !skipping_line_) handleLine(input_);
        input_.clear();
        skipping_line_ = false;
        if (!input_always_ready_) epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, STDIN_FILENO, nullptr);
        input_open_ = false;
        if (options_.exit_on_eof) quit_ = true;
        return true;
    }
    takeInput(buf, static_cast<std::size_t>(n));
    return true;
}

// Runs the complete lines in data. A line longer than kMaxLineLength gets one
// error answer, whatever its length; the rest of it up to its newline is dropped.
void Program::takeInput(const char* data, std::size_t size) {
    const std::string_view chunk(data, size);
    std::size_t start = 0;
    for (std::size_t nl; !quit_ && (nl = chunk.find('\n', start)) != std::string_view::npos;
         start = nl + 1) {
        if (std::exchange(skipping_line_, false)) continue;
        input_.append(chunk.substr(start, nl - start));
        std::string line = std::exchange(input_, {});
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kMaxLineLength) {
            printLine(kLineTooLong);
            continue;
        }
        handleLine(line);
    }
    if (quit_ || skipping_line_) return;
    input_.append(chunk.substr(start));
    if (input_.size() > kMaxLineLength) {
        printLine(kLineTooLong);
        input_.clear();
        skipping_line_ = true;
    }
}

bool Program::start(const std::string& channel_name) {
    for (const quorsim::NodeOption& n : options_.nodes) {
        if (n.manager) {
            const quorsim::Reply reply = runner_.run("manager " + std::to_string(n.node), now());
            if (reply.line.rfind("ok", 0) != 0)
                return fail("--manager " + std::to_string(n.node) + ": " + reply.line);
            continue;
        }
        quorsim::Command add;
        add.kind = quorsim::CommandKind::Add;
        add.node = n.node;
        add.eds_file = n.eds_file;
        const quorsim::Reply reply = runner_.execute(add, now());
        if (reply.line.rfind("ok", 0) != 0)
            return fail("--node " + std::to_string(n.node) + ": " + reply.line);
    }
    if (!writeFrames()) return false;
    std::string nodes;
    for (std::uint8_t id : simulator_.nodeIds())
        nodes += (nodes.empty() ? "" : ",") + std::to_string(id);
    printLine("quorsim ready: nodes " + (nodes.empty() ? std::string("none") : nodes) + " on " +
              channel_name);
    for (const std::string& command : options_.exec) {
        handleLine(command);
        if (quit_) break;
    }
    return writeFrames();
}

int Program::run(const std::string& channel_name) {
    if (!setUp() || !start(channel_name)) return 1;
    epoll_event events[kMaxEvents];
    while (!quit_) {
        armTimer();
        updateTransportInterest();
        const bool input_ready = input_always_ready_ && input_open_;
        const int n = epoll_wait(epoll_.get(), events, kMaxEvents, input_ready ? 0 : -1);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(std::string("epoll_wait: ") + std::strerror(errno));
            return 1;
        }
        for (int i = 0; i < n && !quit_; ++i) {
            const int fd = events[i].data.fd;
            if (fd == transport_->fd()) {
                if ((events[i].events & (EPOLLIN | EPOLLERR | EPOLLHUP)) && !receiveFrames())
                    return 1;
            } else if (fd == STDIN_FILENO) {
                handleInput();
            } else if (fd == timer_.get()) {
                std::uint64_t expirations = 0;
                timer_armed_for_.reset();
                if (read(timer_.get(), &expirations, sizeof expirations) < 0 && errno != EAGAIN) {
                    fail(std::string("timerfd: ") + std::strerror(errno));
                    return 1;
                }
            } else if (fd == signals_.get()) {
                signalfd_siginfo info{};
                if (read(signals_.get(), &info, sizeof info) == sizeof info) quit_ = true;
            }
        }
        if (input_ready && !quit_) handleInput();
        const auto deadline = simulator_.nextDeadline(pending_.empty());
        const TimePoint t = now();
        if (deadline && *deadline <= t)
            simulator_.onTimer(t, pending_.empty() ? quorsim::kMaxLoadBurst : 0);
        if (!writeFrames()) return 1;
    }
    // Give frames queued before quit (e.g. a last emergency) a chance to leave.
    return writeFrames() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    const char* env = std::getenv("MORVELLCANOPEN_CHANNEL");
    const auto parsed = quorsim::parseProgramOptions(
        std::vector<std::string>(argv + 1, argv + argc), env ? env : "");
    if (!parsed.options) {
        std::fprintf(stderr, "quorsim: %s\n%s", parsed.error.c_str(), quorsim::usageText());
        return 2;
    }
    if (parsed.options->help) {
        std::fputs(quorsim::usageText(), stdout);
        return 0;
    }
    std::string error;
    const auto channel = morvell::transport::parseChannel(parsed.options->channel, &error);
    if (!channel) {
        std::fprintf(stderr, "quorsim: %s\n", error.c_str());
        return 1;
    }
    auto opened = morvell::transport::openChannel(*channel, parsed.options->bitrate_kbps);
    if (!opened.transport) {
        std::fprintf(stderr, "quorsim: cannot open %s: %s\n", channel->toString().c_str(),
                     opened.error.c_str());
        return 1;
    }
    Program program(*parsed.options, std::move(opened.transport));
    return program.run(channel->toString());
}
