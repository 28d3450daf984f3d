// The network overview: the nodes a scan found, with their identity, and the
// live NMT state of each. UI thread; the library reaches it only through the
// live states (receive callback) and the scan's completion (ScanCompletion).
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "canlib/morvellcanopen.h"
#include "trace/core/network_live_states.h"
#include "trace/core/network_scan.h"

class Notifier;
class QPushButton;
class QTableWidget;
class TWin_Progress;

class TWin_Network : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 9;  // the last, empty one fills the width

    // `progress` shows the scan; `scanRunning(true/false)` disables and
    // re-enables the main window's controls around it.
    TWin_Network(TWin_Progress& progress, Notifier& notifier,
                 std::function<void(bool running)> scanRunning, QWidget* parent = nullptr);
    ~TWin_Network() override;

    // Fed by the receive callback (library thread) from creation on.
    NetworkLiveStates& liveStates() { return liveStates_; }
    bool scanning() const { return scan_.running(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void scanbuttonClick();
    void startUpload(const ScanUpload& upload);
    void ThreadSigTimerTimer();
    void UpdateTimerTimer();
    void showFoundNodes();
    void endScan();
    void loadLayout();
    void saveLayout() const;
    static void scanCompleted(const LibraryResult* result);

    TWin_Progress& progress_;
    Notifier& notifier_;
    std::function<void(bool)> scanRunning_;
    NetworkLiveStates liveStates_;
    NetworkScan scan_;
    ScanCompletion completion_;
    bool uploadInFlight_ = false;
    std::unique_ptr<uint8_t[]> uploadBuffer_;  // NetworkScan::kUploadCapacity bytes
    uint32_t uploadLength_ = 0;

    QPushButton* scanbutton_ = nullptr;
    QTableWidget* nodelist_ = nullptr;
    QTimer UpdateTimer;
    QTimer ThreadSigTimer;
};
