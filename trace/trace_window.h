// The "CAN Bus Trace" window: the frames of the trace buffer, one interpreted
// line each, refreshed every 500 ms; continuous or static trace, stop to
// scroll back through 13000 frames and export them. Created hidden at
// start-up. UI thread; the trace buffer's lock covers the library thread.
#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>

#include "trace/core/trace_display.h"

class QAction;
class QKeyEvent;
class QMenu;
class QTableView;
class QTimer;
class Notifier;
class TEmergencyCodes;
class MessageNames;
class TraceViewModel;
class TraceRecording;
struct TraceSettings;

class TWin_Trace : public QMainWindow {
    Q_OBJECT
public:
    // Receives every key pressed while the window is active (the transmit
    // engine's key triggers).
    using KeyHandler = std::function<void(const QKeyEvent& key)>;

    // `names` may be nullptr (frames are then not named after transmit
    // messages); `keyHandler` may be empty. Reads the remembered sizes.
    TWin_Trace(TTraceBuffer& buffer, TEmergencyCodes& codes, const MessageNames* names,
               KeyHandler keyHandler, Notifier& notifier, QWidget* parent = nullptr);
    // Writes the remembered sizes.
    ~TWin_Trace() override;

    // Writes the stopped trace to `fileName` (overwritten) in ascending or
    // descending message numbers; nothing while running or when the file
    // cannot be created.
    void ExportTrace(const QString& fileName, bool descending);

    // The 500 ms tick; refreshes while running.
    void UpdateTimerTimer();

    const TraceDisplay& display() const { return *display_; }
    // Options > "Record to candump Log...": its recorder takes the frames.
    TraceRecording& recording() { return *recording_; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGrid();
    void buildMenu();
    void applySettings();
    void FormShow();
    void FormResize();
    void startstopClick();
    void monitorClick();
    void statClick();
    void exportClick(bool descending);
    void setExportEnabled(bool enabled);
    void displayChanged();
    void updateTitle();
    GridMetrics gridMetrics() const;
    // The remembered sizes of a first run: column widths fitted to the fonts.
    TraceSettings defaultSettings() const;

    TEmergencyCodes& codes_;
    KeyHandler keyHandler_;
    Notifier& notifier_;
    int rowHeight_ = 1;
    std::unique_ptr<TraceDisplay> display_;
    QTableView* trace_ = nullptr;
    TraceViewModel* model_ = nullptr;
    QTimer* updateTimer_ = nullptr;
    QAction* startstop_ = nullptr;
    QAction* monitor_ = nullptr;
    QAction* stat_ = nullptr;
    QAction* exportasctrace_ = nullptr;
    QAction* exportdesctrace_ = nullptr;
    TraceRecording* recording_ = nullptr;
};
