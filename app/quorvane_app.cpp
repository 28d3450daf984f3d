#include "app/quorvane_app.h"

#include <QWidget>

#include "app/hw_init_error_dialog.h"
#include "app/notifier.h"
#include "info/about_box.h"
#include "info/splash_window.h"
#include "manager/date_time_dialog.h"
#include "manager/manager_window.h"
#include "node/display_window.h"
#include "node/main_window.h"
#include "node/progress_dialog.h"
#include "trace/network_window.h"
#include "trace/trace_window.h"
#include "transmit/key_codes.h"
#include "transmit/key_preview.h"
#include "transmit/transmit_messages_window.h"

template <class Window, class... Args>
Window* QuorvaneApp::create(Args&&... args) {
    auto window = std::make_unique<Window>(std::forward<Args>(args)...);
    Window* raw = window.get();
    created_.push_back(std::move(window));
    return raw;
}

QuorvaneApp::QuorvaneApp(Notifier& notifier, InterfaceOpener opener) {
    // A process-wide object without its storage leaves its part unusable,
    // the program goes on.
    if (!objects_.traceBuffer.usable()) {
        notifier.warning(QStringLiteral("Failed to allocate trace buffer memory"));
    }
    if (!objects_.transmit.valid()) {
        notifier.warning(QStringLiteral("Unable to allocate memory for transmit messages"));
    }
    WindowSet& w = windows_;
    w.main = create<TWin_Main>(objects_, windows_, notifier);
    w.about = create<TWin_About>(w.main);
    w.display = create<TWin_Display>(w.main);
    w.hwInitError = new TWin_HWInitError();  // owned below, after the configuration dialog
    w.hwConfig = create<TWin_HWConfig>(*w.hwInitError, std::move(opener));
    w.progress = create<TWin_Progress>(w.main);
    w.splash = create<TWin_Splash>();
    TransmitEngine& engine = objects_.transmitEngine;
    w.trace = create<TWin_Trace>(
        objects_.traceBuffer, objects_.emergencyCodes, &objects_.transmit,
        [&engine](int qtKey, Qt::KeyboardModifiers modifiers) {
            if (const std::optional<uint16_t> code = VirtualKeyCode(qtKey, modifiers)) {
                engine.OnKey(*code);
            }
        },
        notifier);
    created_.emplace_back(w.hwInitError);
    w.transmitMessages = create<TWin_TransmitMessages>(objects_.transmit, engine, w.main);
    w.network = create<TWin_Network>();
    new TransmitKeyPreview(w.network, engine);
    w.manager = create<TWin_CANopenManager>();
    w.dateTime = create<TWin_EnterDateAndTime>(w.manager);
    w.main->libraryEvents().setNetworkStates(&w.network->liveStates());
}

QuorvaneApp::~QuorvaneApp() {
    // Windows go first, in reverse; the process-wide objects follow.
    while (!created_.empty()) created_.pop_back();
}
