// The CANopen Manager window: reads one manager's configuration into memory
// and shows it on three pages, writes the user's edits of the node table and
// the settings back at once, downloads bridge forwarding tables, sends the
// manager's control commands, and copies the slaves' configuration dates and
// times into the manager.
//
// Threads: UI thread, except the worker of each background operation (one
// at a time, serialised by busy()), which makes its transfers through
// TUtilities and posts its progress, log lines and completion back through a
// UiMailbox. The destructor cancels a running operation and joins its
// worker, so nothing is posted to a destroyed window.
//
// Edits: every edit changes the configuration in memory first. Its write
// starts at once when no operation runs; otherwise the node row, the
// settings or the chosen table is remembered and written when the running
// operation ends, with the values then in memory. Filling the controls from
// a read never starts a write (only the user's own changes do). Writes go to
// the manager the configuration was read from; choosing another manager or
// "Re-read Manager" while an operation runs reads once it has ended.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <map>
#include <thread>

#include "manager/core/manager_configuration.h"
#include "manager/core/manager_map.h"
#include "manager/core/manager_operations.h"
#include "manager/core/manager_writes.h"
#include "manager/manager_controls.h"

class Notifier;
class NodeTableModel;
class QModelIndex;
class TUtilities;
class TWin_EnterDateAndTime;
class TWin_Progress;
class UiMailbox;

class TWin_CANopenManager : public QWidget {
    Q_OBJECT
public:
    // The window is built hidden, centred, then placed by its stored layout.
    TWin_CANopenManager(TUtilities& utilities, TWin_Progress& progress, Notifier& notifier,
                        QWidget* parent = nullptr);
    ~TWin_CANopenManager() override;

    // Opens the window for the main window's current node (1-127) and reads
    // that manager. Node 0 (none current) keeps the selection and reads the
    // manager selected.
    void OpenForNode(uint8_t nodeId);

    // The date and time dialog of column 9 (the window makes its own when
    // none is given).
    void setDateTimeDialog(TWin_EnterDateAndTime* dialog) { dateDialog_ = dialog; }

    const ManagerConfiguration& configuration() const { return config_; }
    bool busy() const { return busy_; }
    // The selected manager: selector index + 1.
    uint8_t managerNode() const;
    // The manager whose configuration is shown (and edited): the one read last.
    uint8_t configManager() const { return configManager_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void nodelistChange();
    void rereadClick();
    void requestRead();
    void closelogClick();
    void dateandtimereadClick();
    void sendCommand(manager_map::ManagerCommand command);

    // Node table (manager_window_edits.cpp).
    void listSelectCell(const QModelIndex& current);
    void listKeyUp();
    void listMouseMove(const QPoint& position);
    void listClickedAgain(const QModelIndex& index);
    void cellTyped(const QModelIndex& index, const QString& text);
    void toggleAssignmentBit(uint8_t node, int column);
    void enterDateAndTime(uint8_t node);
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Settings page.
    void connectSettingsControls();
    void setSettingsEditable(bool editable);
    void settingChanged(const std::function<void(ManagerConfiguration&)>& change);
    // Bridge forwarding tables.
    void bftbrowseClick(int port);
    void bftChange(int port);

    // The writes: remembered, then started when nothing runs.
    void WriteNodeRow(uint8_t node, uint8_t entries = kRowWriteEntries);
    void WriteSettings();
    void startPendingWork(bool clearLog);
    void WriteBridgeTable(int port, bool clearLog);
    // The completions, posted by the workers: the node rows and settings of
    // one write, a table download.
    void RowWriteDone(const std::vector<std::pair<uint8_t, RowWriteOutcome>>& rows);
    void TableWriteDone();

    void ReadManager();
    void ReadDone(const ManagerConfiguration& read);
    void ReadDatesFromNodes();
    void dateStored(const NodeDateTime& value);
    void DatesReadDone();

    // The background-operation scheme: busy set, log cleared, worker started.
    bool beginOperation(bool clearLog = true);
    void startWorker(std::function<void()> work);
    OperationControl workerControl();
    void appendLog(const QString& line);
    void endOperation();
    void setOperationControlsEnabled(bool enabled);

    void rebuildSelector();
    void refresh();
    void loadLayout();
    void saveLayout() const;

    TUtilities& utilities_;
    TWin_Progress& progress_;
    Notifier& notifier_;
    ManagerControls c_;
    NodeTableModel* model_ = nullptr;
    TWin_EnterDateAndTime* dateDialog_ = nullptr;
    UiMailbox* mailbox_ = nullptr;  // the workers' posts to the UI thread
    ManagerConfiguration config_;
    std::array<uint8_t, manager_map::kMaxNode> unwritten_{};  // RowEntry bits per node
    // Writes waiting for the running operation to end.
    std::map<uint8_t, uint8_t> pendingRows_;  // node -> RowEntry bits
    bool pendingSettings_ = false;
    std::array<bool, 2> pendingTables_{};  // [port - 1]
    bool pendingRead_ = false;
    // The manager config_ was read from: the one every write goes to, even
    // when the selector was changed since.
    uint8_t configManager_ = 1;
    bool busy_ = false;
    bool progressShown_ = false;
    int logLines_ = 0;
    std::atomic<bool> abortRequested_{false};
    std::thread worker_;
};
