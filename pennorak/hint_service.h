// The hint service: settings from pennorak_init, the added hints, and the
// rotation thread while started. Every member function may be called from
// any thread, including from the display callback.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "hint.h"
#include "rotation_thread.h"

namespace pennorak {

struct ServiceSettings {
    std::string appName;
    std::int32_t rotateSeconds = 0;  // kMinRotateSeconds..kMaxRotateSeconds
    bool useHintsFile = false;
    std::optional<std::string> hintsPath;  // nothing: the default path for appName
    std::string hintList;                  // kept for clients, never fetched
    std::int32_t firstHint = 0;
    std::size_t maxFileHints = 0;  // 0 = no limit
    bool shuffle = false;
    bool showLinks = false;
    std::string appTitle;  // kept for clients
    DisplayFunction display;
    std::uint32_t appConstant = 0;
};

class HintService {
public:
    HintService() = default;
    ~HintService() { close(); }
    HintService(const HintService&) = delete;
    HintService& operator=(const HintService&) = delete;

    // False when display is empty, rotateSeconds out of range or the service
    // is already initialised.
    bool init(ServiceSettings settings);
    // False unless initialised and not yet started.
    bool addHint(Hint hint);
    // Loads the hints file if asked for and starts the rotation thread, which
    // shows the first hint. No effect unless initialised and not started.
    void start();
    // See RotationThread::select. No effect unless started.
    void selectHint(std::int32_t which, bool notify, bool restart);
    // Runs the opener with the current hint's link and waits for it. No
    // effect without a current hint or when its link is not openable.
    void hintClick();
    // Stops the rotation thread and forgets settings and hints.
    void close();

private:
    enum class Phase { Closed, Initialised, Started };

    std::vector<Hint> collectHints() const;
    std::shared_ptr<RotationThread> rotationThread();

    std::mutex mutex_;
    Phase phase_ = Phase::Closed;
    ServiceSettings settings_;
    std::vector<Hint> added_;
    std::shared_ptr<RotationThread> thread_;
};

}  // namespace pennorak
