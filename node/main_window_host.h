// What the main window uses from the program around it: the process-wide
// objects and the windows of other subsystems it opens. The composition root
// implements it; every call is made on the UI thread.
#pragma once

class QTimer;
class QWidget;
class TEmergencyCodes;
class TMessaging;
class TransmitEngine;
class TWin_Display;
class TWin_HWConfig;
class TWin_Progress;
struct SignalState;

// The process-wide objects of the main window. They outlive it.
struct MainWindowObjects {
    SignalState& signals;  // written by the library callbacks, polled every 5 ms
    TEmergencyCodes& emergencyCodes;
    TMessaging& messaging;
    TransmitEngine& transmitEngine;  // trigger keys of the window
};

class MainWindowHost {
public:
    // The windows the menus open: shown modeless in front, the about box modal.
    enum class Window { Trace, TransmitMessages, NetworkOverview, CanopenManager, About };

    virtual ~MainWindowHost() = default;

    // Fills the Transmit tab's page; `inputCheck` is the window's 2000 ms
    // input check timer. Called once, from the main window's constructor.
    virtual void buildTransmitTab(QWidget* page, QTimer& inputCheck) = 0;

    // Windows created after the main window, used from its first show on.
    virtual TWin_HWConfig& hardwareDialog() = 0;
    virtual TWin_Progress& progressDialog() = 0;
    virtual TWin_Display& displayWindow() = 0;

    virtual void openWindow(Window window) = 0;
    // Whether the menu item that opens `window` can be used.
    virtual bool canOpen(Window window) const = 0;
    // The close steps of the main window: the trace stops and closes.
    virtual void closeTraceWindow() = 0;
    virtual void showSplash() = 0;
    virtual void hideSplash() = 0;
};
