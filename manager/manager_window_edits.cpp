// The manager window's edits: the node table's clicks, typing and pointer,
// the settings controls, the bridge forwarding table files, and the writes
// they start. UI thread.
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>

#include "manager/core/manager_texts.h"
#include "manager/core/utilities.h"
#include "manager/date_time_dialog.h"
#include "manager/manager_window.h"
#include "manager/node_table_model.h"
#include "manager/ui_mailbox.h"

namespace {

using manager_text::kDateTimeColumn;
using manager_text::kGuardTimeColumn;
using manager_text::kRetryFactorColumn;

bool isCheckColumn(int column) {
    return manager_text::AssignmentBitOfColumn(column) != 0;
}

}  // namespace

// ---- Node table ------------------------------------------------------------

void TWin_CANopenManager::listSelectCell(const QModelIndex& current) {
    if (!current.isValid()) return;
    const int column = current.column();
    const auto node = static_cast<uint8_t>(current.row() + 1);
    if (!manager_text::CellAvailable(config_, node, column)) return;
    if (IsTypedColumn(column)) {
        // The editor shows as soon as the cell is current; the view closes it
        // when another cell becomes current.
        c_.list->edit(current);
    } else if (isCheckColumn(column)) {
        toggleAssignmentBit(node, column);
    } else if (column == kDateTimeColumn) {
        // After the selection has settled: the dialog is modal.
        QTimer::singleShot(0, this, [this, node] { enterDateAndTime(node); });
    }
}

void TWin_CANopenManager::listClickedAgain(const QModelIndex& index) {
    const auto node = static_cast<uint8_t>(index.row() + 1);
    if (isCheckColumn(index.column()) && manager_text::CellAvailable(config_, node, index.column()))
        toggleAssignmentBit(node, index.column());
}

void TWin_CANopenManager::toggleAssignmentBit(uint8_t node, int column) {
    config_.node(node).slaveAssignment ^= manager_text::AssignmentBitOfColumn(column);
    model_->refreshNode(node);
    WriteNodeRow(node);
}

void TWin_CANopenManager::cellTyped(const QModelIndex& index, const QString& text) {
    const auto node = static_cast<uint8_t>(index.row() + 1);
    const int column = index.column();
    if (!manager_text::CellAvailable(config_, node, column)) return;
    ManagerNodeRecord& record = config_.node(node);
    // The cell keeps the typed text until its editor closes.
    if (const uint8_t identity = IdentityEntryOfColumn(column)) {
        record.*IdentityFieldOfColumn(column) = ParseTypedHex(text.toStdString());
        WriteNodeRow(node, identity);
        return;
    }
    const uint32_t typed = ParseTypedNumber(text.toStdString());
    record.slaveAssignment = column == kRetryFactorColumn
                                 ? WithRetryFactor(record.slaveAssignment, typed)
                                 : WithGuardTime(record.slaveAssignment, typed);
    WriteNodeRow(node);
}

void TWin_CANopenManager::listKeyUp() {
    // Any released key writes the current row (assignment, date and time);
    // in columns 7-8 the typed text's own write (cellTyped) is that write.
    const QModelIndex current = c_.list->currentIndex();
    if (!current.isValid() || current.column() == kRetryFactorColumn ||
        current.column() == kGuardTimeColumn)
        return;
    WriteNodeRow(static_cast<uint8_t>(current.row() + 1));
}

void TWin_CANopenManager::listMouseMove(const QPoint& position) {
    const QModelIndex index = c_.list->indexAt(position);
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (index.isValid() && manager_text::CellAvailable(config_, index.row() + 1, index.column())) {
        if (isCheckColumn(index.column())) shape = Qt::PointingHandCursor;
        if (IsTypedColumn(index.column())) shape = Qt::IBeamCursor;
    }
    c_.list->viewport()->setCursor(shape);
}

bool TWin_CANopenManager::eventFilter(QObject* watched, QEvent* event) {
    if (watched == c_.list && event->type() == QEvent::KeyRelease &&
        !static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
        listKeyUp();
    } else if (watched == c_.list->viewport()) {
        switch (event->type()) {
            case QEvent::MouseMove:
                listMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
                break;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick: {
                // A click on a check cell that is current already toggles it
                // too (a click on another cell toggles by making it current).
                const auto* mouse = static_cast<QMouseEvent*>(event);
                const QModelIndex index = c_.list->indexAt(mouse->position().toPoint());
                if (mouse->button() == Qt::LeftButton && index.isValid() &&
                    index == c_.list->currentIndex())
                    listClickedAgain(index);
                break;
            }
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TWin_CANopenManager::enterDateAndTime(uint8_t node) {
    if (dateDialog_ == nullptr)
        dateDialog_ = new TWin_EnterDateAndTime(utilities_, notifier_, this);
    if (dateDialog_->isVisible()) return;  // a second request queued while it was open
    uint32_t date = config_.node(node).configDate;
    uint32_t time = config_.node(node).configTime;
    const QPoint pointer = QCursor::pos();
    if (!dateDialog_->EnterDateAndTime(node, date, time, pointer.x(), pointer.y())) return;
    ManagerNodeRecord& record = config_.node(node);
    record.configDate = date;
    record.configTime = time;
    model_->refreshNode(node);
    WriteNodeRow(node);
}

// ---- Settings --------------------------------------------------------------

void TWin_CANopenManager::connectSettingsControls() {
    // activated / textEdited / clicked come from the user only: filling the
    // controls never reaches here.
    connect(c_.opmode, &QComboBox::activated, this, [this](int index) {
        settingChanged([index](ManagerConfiguration& c) {
            c.configWord = WithOperatingMode(c.configWord, index);
        });
    });
    connect(c_.smartbridge, &QComboBox::activated, this, [this](int index) {
        settingChanged([index](ManagerConfiguration& c) {
            c.configWord = WithSmartBridge(c.configWord, index);
        });
    });
    const std::pair<QCheckBox*, uint16_t> flags[] = {{c_.disablesdochannel, kDisableSdoChannelBit},
                                                     {c_.startsetup, kStartInSetupBit}};
    for (const auto& [box, bit] : flags)
        connect(box, &QCheckBox::clicked, this, [this, bit = bit](bool checked) {
            settingChanged([bit, checked](ManagerConfiguration& c) {
                c.configWord = WithFlag(c.configWord, bit, checked);
            });
        });
    const std::pair<QLineEdit*, uint32_t ManagerConfiguration::*> edits[] = {
        {c_.prebootdelay, &ManagerConfiguration::preBootDelay},
        {c_.postbootdelay, &ManagerConfiguration::postBootDelay},
        {c_.sdotimeout, &ManagerConfiguration::sdoTimeout},
        {c_.sdodelay, &ManagerConfiguration::sdoDelay},
        {c_.defaulthbtime, &ManagerConfiguration::defaultHeartbeatTime},
        {c_.defaulthbfactor, &ManagerConfiguration::defaultHeartbeatFactor}};
    for (const auto& [edit, field] : edits)
        connect(edit, &QLineEdit::textEdited, this, [this, field = field](const QString& text) {
            const uint32_t value = ParseTypedNumber(text.toStdString());
            settingChanged([field, value](ManagerConfiguration& c) { c.*field = value; });
        });
}

void TWin_CANopenManager::setSettingsEditable(bool editable) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             c_.opmode, c_.smartbridge, c_.prebootdelay, c_.postbootdelay, c_.sdotimeout,
             c_.sdodelay, c_.defaulthbtime, c_.defaulthbfactor, c_.disablesdochannel,
             c_.startsetup})
        control->setEnabled(editable);
}

void TWin_CANopenManager::settingChanged(const std::function<void(ManagerConfiguration&)>& change) {
    if (!config_.configValid) return;
    change(config_);
    WriteSettings();
}

// ---- Bridge forwarding tables ----------------------------------------------

void TWin_CANopenManager::bftbrowseClick(int port) {
    QFileDialog dialog(this, QStringLiteral("Open Bridge Forwarding Table"));
    dialog.setObjectName(QStringLiteral("Win_OpenBFT"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(
        {QStringLiteral("Bridge Forwarding Tables (*.txt)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    c_.ports[port - 1].bft->setText(dialog.selectedFiles().first().left(256));
    bftChange(port);
}

void TWin_CANopenManager::bftChange(int port) {
    if (!QFileInfo::exists(c_.ports[port - 1].bft->text())) return;
    pendingTables_[port - 1] = true;
    startPendingWork(true);
}

// ---- The writes ------------------------------------------------------------

void TWin_CANopenManager::WriteNodeRow(uint8_t node, uint8_t entries) {
    pendingRows_[node] |= entries;
    startPendingWork(true);
}

void TWin_CANopenManager::WriteSettings() {
    pendingSettings_ = true;
    startPendingWork(true);
}

void TWin_CANopenManager::startPendingWork(bool clearLog) {
    if (busy_) return;  // started again when the running operation ends
    // The edits first, then the tables, then a read asked for meanwhile.
    if (pendingRows_.empty() && !pendingSettings_) {
        for (int port = 1; port <= 2; ++port) {
            if (!pendingTables_[port - 1]) continue;
            pendingTables_[port - 1] = false;
            WriteBridgeTable(port, clearLog);
            return;
        }
        if (pendingRead_) ReadManager();
        return;
    }
    beginOperation(clearLog);
    // The values in memory now; edits made while the worker runs wait for the next write.
    struct Row {
        uint8_t node;
        uint8_t entries;
        ManagerNodeRecord record;
    };
    std::vector<Row> rows;
    for (const auto& [node, entries] : pendingRows_)
        rows.push_back({node, entries, config_.node(node)});
    std::optional<ManagerSettings> settings;
    if (pendingSettings_) settings = SettingsOf(config_);
    pendingRows_.clear();
    pendingSettings_ = false;
    const uint8_t manager = configManager_;
    startWorker([this, manager, rows = std::move(rows), counts = config_.entryCounts, settings,
                 control = workerControl()] {
        std::vector<std::pair<uint8_t, RowWriteOutcome>> outcomes;
        for (const Row& row : rows)
            outcomes.emplace_back(
                row.node, ::WriteNodeRow(utilities_, manager, row.node, row.record, counts, control,
                                         row.entries));
        if (settings) ::WriteSettings(utilities_, manager, *settings, control);
        mailbox_->post([this, outcomes] { RowWriteDone(outcomes); });
    });
}

void TWin_CANopenManager::RowWriteDone(
    const std::vector<std::pair<uint8_t, RowWriteOutcome>>& rows) {
    for (const auto& [node, outcome] : rows) {
        uint8_t& marks = unwritten_[node - 1];
        marks = static_cast<uint8_t>((marks & ~outcome.written) | outcome.failed);
        model_->refreshNode(node);
    }
    endOperation();
}

void TWin_CANopenManager::WriteBridgeTable(int port, bool clearLog) {
    beginOperation(clearLog);
    if (port == 2) setOperationControlsEnabled(false);
    const uint8_t manager = configManager_;
    const BridgeTableJob job{port, QFile::encodeName(c_.ports[port - 1].bft->text()).toStdString()};
    startWorker([this, manager, job, control = workerControl()] {
        ::WriteBridgeTable(utilities_, manager, job, control);
        mailbox_->post([this] { TableWriteDone(); });
    });
}

void TWin_CANopenManager::TableWriteDone() {
    endOperation();
}
