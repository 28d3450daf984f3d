// The activity LEDs of the main window's top panel. An activity LED lights
// on activity and goes dark a fixed time after the last activity; the error
// LED follows the last error code. UI thread only.
#pragma once

#include <functional>

// A restartable one-shot timer (a QTimer in the window, a fake in tests).
class OneShotTimer {
public:
    virtual ~OneShotTimer() = default;
    virtual void start() = 0;  // (re)starts the full interval
    virtual void stop() = 0;
};

class ActivityLed {
public:
    // `show(on)` draws the LED; `timer` calls timeout() when it fires.
    ActivityLed(OneShotTimer& timer, std::function<void(bool on)> show);

    // Activity: lights the LED (drawn only when it was dark) and restarts
    // the timer, so the LED stays lit while activity goes on.
    void light();
    // The timer fired: dark again.
    void timeout();
    bool lit() const { return lit_; }

private:
    OneShotTimer& timer_;
    std::function<void(bool)> show_;
    bool lit_ = false;
};

class ErrorLed {
public:
    explicit ErrorLed(std::function<void(bool on)> show) : show_(std::move(show)) {}
    // The last error code of a tick: non-zero lights, 0 puts out.
    void apply(int errorCode);
    bool lit() const { return lit_; }

private:
    std::function<void(bool)> show_;
    bool lit_ = false;
};
