#include "app/quorvane_app.h"

#include <QWidget>

#include "gui/key_codes.h"
#include "gui/key_preview.h"
#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "hardware/channel_directory.h"
#include "hardware/hw_init_error_dialog.h"
#include "info/about_box.h"
#include "info/splash_window.h"
#include "manager/date_time_dialog.h"
#include "manager/manager_window.h"
#include "node/display_window.h"
#include "node/main_window.h"
#include "trace/network_window.h"
#include "trace/trace_recording.h"
#include "trace/trace_window.h"
#include "transmit/transmit_messages_window.h"
#include "transmit/transmit_tab.h"

template <class Window, class... Args>
Window* QuorvaneApp::create(Args&&... args) {
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    Window* raw = window.get();
    created_.push_back(std::move(window));
    return raw;
}

QuorvaneApp::QuorvaneApp(Notifier& notifier, InterfaceOpener opener) : notifier_(notifier) {
    // A process-wide object without its storage leaves its part unusable,
    // the program goes on.
    if (!objects_.traceBuffer.usable()) {
        notifier.warning(QStringLiteral("Failed to allocate trace buffer memory"));
    }
    if (!objects_.messaging.usable()) {
        notifier.warning(QStringLiteral("Failed to allocate messaging buffer memory"));
    }
    if (!objects_.transmit.valid()) {
        notifier.warning(QStringLiteral("Unable to allocate memory for transmit messages"));
    }
    WindowSet& w = windows_;
    w.main = create<TWin_Main>(MainWindowObjects{signals_, objects_.emergencyCodes,
                                                 objects_.messaging, objects_.transmitEngine},
                               static_cast<MainWindowHost&>(*this), notifier);
    events_.registerWithLibrary();
    w.about = create<TWin_About>(w.main);
    w.display = create<TWin_Display>(w.main);
    w.hwInitError = new TWin_HWInitError();  // owned below, after the configuration dialog
    w.hwConfig = create<TWin_HWConfig>(*w.hwInitError, std::move(opener), nullptr, &notifier);
    w.progress = create<TWin_Progress>(w.main);
    w.splash = create<TWin_Splash>();
    TransmitEngine& engine = objects_.transmitEngine;
    w.trace = create<TWin_Trace>(
        objects_.traceBuffer, objects_.emergencyCodes, &objects_.transmit,
        [&engine](const QKeyEvent& key) {
            if (const std::optional<uint16_t> code = VirtualKeyCode(key)) engine.OnKey(*code);
        },
        notifier);
    created_.emplace_back(w.hwInitError);
    w.transmitMessages = create<TWin_TransmitMessages>(objects_.transmit, engine, w.main);
    w.network = create<TWin_Network>(*w.progress, notifier, [main = w.main](bool running) {
        main->setOperationRunning(running);
    });
    new TransmitKeyPreview(w.network, engine);
    w.manager = create<TWin_CANopenManager>(objects_.utilities, *w.progress, notifier);
    w.dateTime = create<TWin_EnterDateAndTime>(objects_.utilities, notifier, w.manager);
    w.manager->setDateTimeDialog(w.dateTime);
    events_.setNetworkStates(&w.network->liveStates());
    events_.setRecorder(&w.trace->recording().recorder());
    w.trace->recording().setBusName([hwConfig = w.hwConfig] {
        return BusNameOfChannel(hwConfig->openedChannel()).toStdString();
    });
}

QuorvaneApp::~QuorvaneApp() {
    // No library callback reaches a window being destroyed.
    events_.unregisterFromLibrary();
    // Windows go first, in reverse; the process-wide objects follow.
    while (!created_.empty()) created_.pop_back();
}

void QuorvaneApp::buildTransmitTab(QWidget* page, QTimer& inputCheck) {
    new TransmitTab(page, objects_.transmit, objects_.transmitEngine, notifier_, inputCheck);
}

bool QuorvaneApp::canOpen(Window) const {
    return true;
}

void QuorvaneApp::openWindow(Window window) {
    if (window == Window::About) {
        windows_.about->exec();
        return;
    }
    if (window == Window::CanopenManager) {
        windows_.manager->OpenForNode(CurrentNodeId(signals_));
        return;
    }
    QWidget* shown = nullptr;
    switch (window) {
        case Window::Trace:
            shown = windows_.trace;
            break;
        case Window::TransmitMessages:
            shown = windows_.transmitMessages;
            break;
        case Window::NetworkOverview:
            shown = windows_.network;
            break;
        case Window::CanopenManager:
        case Window::About:
            break;
    }
    if (shown == nullptr) return;
    shown->show();
    shown->raise();
    shown->activateWindow();
}

void QuorvaneApp::closeTraceWindow() {
    if (windows_.trace != nullptr && windows_.trace->isVisible()) windows_.trace->close();
}

void QuorvaneApp::showSplash() {
    if (windows_.splash != nullptr) windows_.splash->show();
}

void QuorvaneApp::hideSplash() {
    if (windows_.splash != nullptr) windows_.splash->hide();
}
