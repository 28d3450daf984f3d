// The main window of quorvane: LEDs, node status and NMT, the read, write
// and transmit tabs, menus and the hint banner. UI thread; library callbacks
// reach it only through SignalState, polled every 5 ms.
#pragma once

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <cstdint>
#include <memory>

#include "canlib/morvellcanopen.h"
#include "gui/activity_led.h"
#include "gui/signal_state.h"
#include "node/main_settings.h"
#include "node/main_window_controls.h"
#include "node/main_window_host.h"
#include "sharing/core/forwarding_schedule.h"

class HintBanner;
class QLineEdit;
class Notifier;

class TWin_Main : public QMainWindow {
    Q_OBJECT
public:
    // Bytes a read or write of the main window can hold.
    static constexpr uint32_t kDataBufferSize = 174080;

    // `host` gives the windows this one opens; the ones created after it are
    // used from the first show on.
    TWin_Main(const MainWindowObjects& objects, MainWindowHost& host, Notifier& notifier,
              QWidget* parent = nullptr);
    ~TWin_Main() override;

    const MainControls& controls() const { return c_; }
    // The sum of the 5 ms tick intervals so far.
    uint32_t elapsedTicks() const { return elapsedTicks_; }
    bool bannerActive() const;
    // Disables (true) or re-enables the controls a transfer disables, while
    // an operation of another window runs (the network scan).
    void setOperationRunning(bool running) { setTransferControlsEnabled(!running); }
    // LED states, for tests and accessibility tools.
    bool txLit() const { return txLed_->lit(); }
    bool rxLit() const { return rxLed_->lit(); }
    bool busLit() const { return busLed_->lit(); }
    bool errorLit() const { return errorLed_->lit(); }

Q_SIGNALS:
    // The close steps have run (interface closed, settings saved).
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class LedTimer;

    void setUpLeds();
    void FormShow();
    void ThreadSigTimerTimer();
    void updateNodeStatus(const SignalSnapshot& signals);
    void clearReadDisplay();
    void NodeStateTimerTimer();
    void nodelistChange(int row);
    void sendNmt(int32_t command);
    void applyEnablingRule();
    void updateWriteDataLabel();

    // Read and write tabs (main_window_transfers.cpp).
    void readbuttonClick();
    void writebuttonClick();
    // The current node and the entry's address, or false after the refusal's message.
    bool readTarget(const QLineEdit* indexEdit, const QLineEdit* subindexEdit, uint8_t& node,
                    uint32_t& index, uint8_t& subindex);
    bool loadWriteFile();
    void beginTransfer();
    void refusedTransfer(const LibraryResult& result);
    void setTransferControlsEnabled(bool enabled);
    void finishTransfer(const LibraryResult& result);
    // Writes the read data to the read tab's file; false after the message
    // naming the file and the reason (the display then stays as it was).
    bool storeReadData();
    void showReadData();
    void viewmorebuttonClick();
    void readbrowseClick();
    void writebrowseClick();
    void writebaseChange();
    // The library's completion callback (library thread): hands the result
    // to the UI thread.
    static void transferCompleted(const LibraryResult* result);
    void forgetTransferOwner();

    void applySettings(const MainSettings& values);
    MainSettings currentSettings() const;
    void startBanner();
    void setWindowHeight(bool withBanner);

    void connectControls();
    void viewpennorakClick();
    void manualClick();
    MainWindowObjects objects_;
    SignalState& signals_;
    MainWindowHost& host_;
    Notifier& notifier_;
    MainControls c_;

    std::array<QPixmap, 8> ledImages_;
    std::unique_ptr<LedTimer> TxTimer, RxTimer, BusTimer;
    std::unique_ptr<ActivityLed> txLed_, rxLed_, busLed_;
    std::unique_ptr<ErrorLed> errorLed_;
    QTimer ThreadSigTimer;
    QTimer NodeStateTimer;
    QTimer InputCheckTimer;
    uint32_t elapsedTicks_ = 0;  // ms since creation, in steps of the 5 ms tick
    sharing::ForwardingSchedule forwarding_;

    HintBanner* banner_ = nullptr;
    bool usepennorak_ = true;

    // Transfer data of reads and writes.
    std::unique_ptr<uint8_t[]> dataBuffer;
    uint32_t dataLength = 0;
    uint32_t transferMode = 0;
    QString currentBase_;  // the writebase item selected last

    bool firstShowDone_ = false;
    bool closeStepsDone_ = false;
};
