// The whole of quorvane: the process-wide objects, then every window,
// hidden. Destroyed in reverse. UI thread.
#pragma once

#include <memory>
#include <vector>

#include "app/hw_config_dialog.h"
#include "app/process_objects.h"
#include "app/window_set.h"

class Notifier;
class QWidget;

class QuorvaneApp {
public:
    // `opener` opens the CAN interface for the hardware dialog.
    QuorvaneApp(Notifier& notifier, InterfaceOpener opener);
    ~QuorvaneApp();
    QuorvaneApp(const QuorvaneApp&) = delete;
    QuorvaneApp& operator=(const QuorvaneApp&) = delete;

    ProcessObjects& objects() { return objects_; }
    const WindowSet& windows() const { return windows_; }

private:
    template <class Window, class... Args>
    Window* create(Args&&... args);

    ProcessObjects objects_;
    WindowSet windows_;
    std::vector<std::unique_ptr<QWidget>> created_;  // in creation order
};
