#include "gui/activity_led.h"

#include <utility>

ActivityLed::ActivityLed(OneShotTimer& timer, std::function<void(bool)> show)
    : timer_(timer), show_(std::move(show)) {}

void ActivityLed::light() {
    timer_.stop();
    if (!lit_) {
        show_(true);
        lit_ = true;
    }
    timer_.start();
}

void ActivityLed::timeout() {
    timer_.stop();
    lit_ = false;
    show_(false);
}

void ErrorLed::apply(int errorCode) {
    if (errorCode != 0 && !lit_) {
        show_(true);
        lit_ = true;
    } else if (errorCode == 0) {
        show_(false);
        lit_ = false;
    }
}
