#include "hint_service.h"

#include <cstdio>
#include <cstdlib>
#include <random>

#include "hints_file.h"
#include "link_opener.h"
#include "pennorak_constants.h"

namespace pennorak {

namespace {

void logLine(const std::string& appName, const std::string& message) {
    std::fprintf(stderr, "%s: hints: %s\n", appName.c_str(), message.c_str());
}

std::int64_t randomIndex(std::size_t count) {
    std::random_device source;
    std::uniform_int_distribution<std::size_t> pick(0, count - 1);
    return static_cast<std::int64_t>(pick(source));
}

}  // namespace

bool HintService::init(ServiceSettings settings) {
    if (!settings.display) return false;
    if (settings.rotateSeconds < kMinRotateSeconds || settings.rotateSeconds > kMaxRotateSeconds) {
        return false;
    }
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Closed) return false;
    settings_ = std::move(settings);
    added_.clear();
    phase_ = Phase::Initialised;
    return true;
}

bool HintService::addHint(Hint hint) {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Initialised) return false;
    added_.push_back(std::move(hint));
    return true;
}

void HintService::start() {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::Initialised) return;
    std::vector<Hint> hints = collectHints();
    const std::size_t count = hints.size();
    HintRotation rotation(std::move(hints), std::chrono::seconds(settings_.rotateSeconds));
    const std::int64_t first =
        settings_.shuffle && count > 0 ? randomIndex(count) : settings_.firstHint;
    rotation.begin(first, Clock::now());
    thread_ = RotationThread::start(std::move(rotation), settings_.showLinks, settings_.display);
    if (!thread_) {
        logLine(settings_.appName, "cannot start the rotation thread");
        return;
    }
    phase_ = Phase::Started;
}

void HintService::selectHint(std::int32_t which, bool notify, bool restart) {
    if (auto thread = rotationThread()) thread->select(which, notify, restart);
}

void HintService::hintClick() {
    std::shared_ptr<RotationThread> thread;
    std::string appName;
    {
        std::lock_guard lock(mutex_);
        thread = thread_;
        appName = settings_.appName;
    }
    if (!thread) return;
    const std::optional<std::string> link = thread->currentLink();
    if (!link) return;
    if (!isOpenableLink(*link)) {
        logLine(appName, "not opening a link without an http, https or file address");
        return;
    }
    const std::string program = openerProgram(std::getenv(kOpenCommandVariable));
    const int status = runOpener(program, *link);
    if (status != 0) logLine(appName, program + " ended with status " + std::to_string(status));
}

void HintService::close() {
    std::shared_ptr<RotationThread> thread;
    {
        std::lock_guard lock(mutex_);
        thread = std::move(thread_);
        thread_.reset();
        phase_ = Phase::Closed;
        settings_ = ServiceSettings{};
        added_.clear();
    }
    if (thread) thread->stop();
}

std::vector<Hint> HintService::collectHints() const {
    std::vector<Hint> hints = added_;
    if (!settings_.useHintsFile) return hints;
    const std::string path =
        settings_.hintsPath ? *settings_.hintsPath
                            : defaultHintsPath(settings_.appName, std::getenv(kConfigHomeVariable),
                                               std::getenv(kHomeVariable));
    if (path.empty()) return hints;
    HintsFileContent file = readHintsFile(path, settings_.maxFileHints);
    for (std::size_t line : file.skippedLines) {
        logLine(settings_.appName,
                "hints file " + path + ": line " + std::to_string(line) + " skipped");
    }
    hints.insert(hints.end(), std::make_move_iterator(file.hints.begin()),
                 std::make_move_iterator(file.hints.end()));
    return hints;
}

std::shared_ptr<RotationThread> HintService::rotationThread() {
    std::lock_guard lock(mutex_);
    return thread_;
}

}  // namespace pennorak
