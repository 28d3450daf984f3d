// The whole of quorvane: the process-wide objects, then every window,
// hidden. Destroyed in reverse. UI thread.
#pragma once

#include <memory>
#include <vector>

#include "app/library_events.h"
#include "app/process_objects.h"
#include "app/window_set.h"
#include "gui/signal_state.h"
#include "hardware/hw_config_dialog.h"
#include "node/main_window_host.h"

class Notifier;
class QWidget;

class QuorvaneApp : private MainWindowHost {
public:
    // `opener` opens the CAN interface for the hardware dialog.
    QuorvaneApp(Notifier& notifier, InterfaceOpener opener);
    ~QuorvaneApp() override;
    QuorvaneApp(const QuorvaneApp&) = delete;
    QuorvaneApp& operator=(const QuorvaneApp&) = delete;

    ProcessObjects& objects() { return objects_; }
    const WindowSet& windows() const { return windows_; }

private:
    template <class Window, class... Args>
    Window* create(Args&&... args);

    // MainWindowHost.
    void buildTransmitTab(QWidget* page, QTimer& inputCheck) override;
    TWin_HWConfig& hardwareDialog() override { return *windows_.hwConfig; }
    TWin_Progress& progressDialog() override { return *windows_.progress; }
    TWin_Display& displayWindow() override { return *windows_.display; }
    void openWindow(Window window) override;
    bool canOpen(Window window) const override;
    void closeTraceWindow() override;
    void showSplash() override;
    void hideSplash() override;

    Notifier& notifier_;
    ProcessObjects objects_;
    // The signal state the library callbacks write and the main window polls.
    SignalState signals_;
    LibraryEvents events_{signals_, objects_.traceBuffer, objects_.messaging,
                          objects_.transmitEngine};
    WindowSet windows_;
    std::vector<std::unique_ptr<QWidget>> created_;  // in creation order
};
