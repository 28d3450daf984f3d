#include "manager/manager_window.h"

#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <algorithm>
#include <memory>

#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"
#include "manager/core/manager_texts.h"
#include "manager/core/utilities.h"
#include "manager/node_table_model.h"
#include "manager/ui_mailbox.h"

namespace {

constexpr int kWidth = 835;
constexpr int kHeight = 512;
constexpr int kStoredColumns = 15;  // columns 0-14; the filler is not stored
constexpr char kLayoutGroup[] = "canopenmanager";

QString columnKey(int column) {
    return QStringLiteral("nodecol%1width").arg(column);
}

}  // namespace

TWin_CANopenManager::TWin_CANopenManager(TUtilities& utilities, TWin_Progress& progress,
                                         Notifier& notifier, QWidget* parent)
    : QWidget(parent, Qt::Window), utilities_(utilities), progress_(progress), notifier_(notifier) {
    setObjectName(QStringLiteral("TWin_CANopenManager"));
    setWindowTitle(QStringLiteral("CANopen Manager"));
    mailbox_ = new UiMailbox(this);
    c_ = BuildManagerControls(this);
    model_ = new NodeTableModel(config_, unwritten_, this);
    c_.list->setModel(model_);
    auto* delegate = new NodeCellDelegate(c_.list);
    c_.list->setItemDelegate(delegate);
    rebuildSelector();

    connect(c_.list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { listSelectCell(current); });
    connect(delegate, &NodeCellDelegate::typed, this, &TWin_CANopenManager::cellTyped);
    connect(delegate, &NodeCellDelegate::keyReleased, this, &TWin_CANopenManager::listKeyUp);
    c_.list->installEventFilter(this);
    c_.list->viewport()->installEventFilter(this);
    c_.list->viewport()->setMouseTracking(true);
    connectSettingsControls();
    for (int port = 1; port <= 2; ++port)
        connect(c_.ports[port - 1].bftbrowse, &QPushButton::clicked, this,
                [this, port] { bftbrowseClick(port); });

    connect(c_.nodelist, &QComboBox::activated, this, &TWin_CANopenManager::nodelistChange);
    connect(c_.reread, &QPushButton::clicked, this, &TWin_CANopenManager::rereadClick);
    connect(c_.closelog, &QPushButton::clicked, this, &TWin_CANopenManager::closelogClick);
    connect(c_.dateandtimeread, &QPushButton::clicked, this,
            &TWin_CANopenManager::dateandtimereadClick);
    using manager_map::ManagerCommand;
    const std::pair<QPushButton*, ManagerCommand> commands[] = {
        {c_.hwreset, ManagerCommand::HardwareReset},
        {c_.clearnetwork, ManagerCommand::ClearNetwork},
        {c_.scannetwork, ManagerCommand::ScanNetwork},
        {c_.scannetworkstore, ManagerCommand::ScanNetworkAndStore}};
    for (const auto& [button, command] : commands)
        connect(button, &QPushButton::clicked, this, [this, c = command] { sendCommand(c); });

    resize(kWidth, kHeight);
    CentreOnScreen(this);
    loadLayout();
}

TWin_CANopenManager::~TWin_CANopenManager() {
    // A running operation stops after the transfer in flight, which is cut short.
    abortRequested_ = true;
    if (worker_.joinable()) {
        utilities_.CancelTransfer();
        worker_.join();
    }
    if (progressShown_) progress_.EndOperation();
    saveLayout();
}

uint8_t TWin_CANopenManager::managerNode() const {
    return static_cast<uint8_t>(std::max(0, c_.nodelist->currentIndex()) + 1);
}

// ---- Opening and the selector ---------------------------------------------

void TWin_CANopenManager::rebuildSelector() {
    const int selected = c_.nodelist->currentIndex();
    const QSignalBlocker quiet(c_.nodelist);
    c_.nodelist->clear();
    for (int node = 1; node <= manager_map::kMaxNode; ++node)
        c_.nodelist->addItem(
            QString::fromStdString(manager_text::NodeTitle(static_cast<uint8_t>(node))));
    c_.nodelist->setCurrentIndex(std::max(0, selected));
}

void TWin_CANopenManager::OpenForNode(uint8_t nodeId) {
    rebuildSelector();
    refresh();
    if (nodeId >= 1 && nodeId <= manager_map::kMaxNode && !busy_) {
        const QSignalBlocker quiet(c_.nodelist);
        c_.nodelist->setCurrentIndex(nodeId - 1);
    }
    show();
    raise();
    activateWindow();
    ReadManager();
}

void TWin_CANopenManager::nodelistChange() {
    requestRead();
}

void TWin_CANopenManager::rereadClick() {
    requestRead();
}

void TWin_CANopenManager::requestRead() {
    // While a write runs the configuration shown stays that of the manager
    // read last (its edits still go there); the read follows the write.
    if (busy_) {
        pendingRead_ = true;
        return;
    }
    ReadManager();
}

void TWin_CANopenManager::closelogClick() {
    c_.logpanel->hide();
}

void TWin_CANopenManager::refresh() {
    model_->refresh();
    // Settings can only be changed once they were read: a write sends all
    // seven values.
    setSettingsEditable(config_.configValid);
    if (config_.configValid) FillSettingsControls(c_, config_);
}

void TWin_CANopenManager::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    c_.list->setColumnWidth(manager_text::kFillerColumn, width());
}

// ---- The background-operation scheme --------------------------------------

bool TWin_CANopenManager::beginOperation(bool clearLog) {
    if (busy_) return false;
    busy_ = true;
    abortRequested_ = false;
    if (clearLog) {
        c_.log->clear();
        logLines_ = 0;
        c_.logpanel->hide();
    }
    return true;
}

void TWin_CANopenManager::startWorker(std::function<void()> work) {
    // The previous worker posted its completion as its last act.
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread(std::move(work));
}

OperationControl TWin_CANopenManager::workerControl() {
    OperationControl control;
    control.abortRequested = &abortRequested_;
    // The dialog shows whole percents: a step that does not change them is not posted.
    control.progress = [this, shown = std::make_shared<int>(-1)](float percent) {
        const int whole = static_cast<int>(percent);
        if (whole == *shown) return;
        *shown = whole;
        mailbox_->post([this, percent] { progress_.SetProgress(percent); });
    };
    control.log = [this](std::string line) {
        mailbox_->post([this, text = QString::fromStdString(line)] { appendLog(text); });
    };
    return control;
}

void TWin_CANopenManager::appendLog(const QString& line) {
    c_.log->appendPlainText(line);
    ++logLines_;
}

void TWin_CANopenManager::endOperation() {
    if (progressShown_) progress_.EndOperation();
    progressShown_ = false;
    if (logLines_ > 0) c_.logpanel->show();
    setOperationControlsEnabled(true);
    busy_ = false;
    // Edits made meanwhile are written now; the log keeps this operation's lines.
    startPendingWork(false);
}

void TWin_CANopenManager::setOperationControlsEnabled(bool enabled) {
    c_.nodelist->setEnabled(enabled);
    c_.reread->setEnabled(enabled);
    c_.pages->setEnabled(enabled);
}

// ---- ReadManager -----------------------------------------------------------

void TWin_CANopenManager::ReadManager() {
    if (!beginOperation()) return;
    config_ = ManagerConfiguration();
    configManager_ = managerNode();
    unwritten_.fill(0);
    pendingRows_.clear();
    pendingSettings_ = false;
    pendingRead_ = false;
    refresh();
    progress_.StartOperation([this] { abortRequested_ = true; });
    progressShown_ = true;
    setOperationControlsEnabled(false);
    const uint8_t manager = configManager_;
    startWorker([this, manager, control = workerControl()] {
        ManagerConfiguration read;
        ::ReadManager(utilities_, manager, read, control);
        mailbox_->post([this, read] { ReadDone(read); });
    });
}

void TWin_CANopenManager::ReadDone(const ManagerConfiguration& read) {
    config_ = read;
    refresh();
    endOperation();
}

// ---- ReadDatesFromNodes ----------------------------------------------------

void TWin_CANopenManager::dateandtimereadClick() {
    ReadDatesFromNodes();
}

void TWin_CANopenManager::ReadDatesFromNodes() {
    if (!beginOperation()) return;
    progress_.StartOperation([this] { abortRequested_ = true; });
    progressShown_ = true;
    setOperationControlsEnabled(false);
    const uint8_t manager = configManager_;
    const uint8_t count = config_.entryCounts[kDateTimeCount];
    startWorker([this, manager, count, control = workerControl()] {
        ::ReadDatesFromNodes(utilities_, manager, count, control, [this](const NodeDateTime& d) {
            mailbox_->post([this, d] { dateStored(d); });
        });
        mailbox_->post([this] { DatesReadDone(); });
    });
}

void TWin_CANopenManager::dateStored(const NodeDateTime& value) {
    ManagerNodeRecord& record = config_.node(value.node);
    record.configDate = value.value.date;
    record.configTime = value.value.time;
    model_->refreshNode(value.node);
}

void TWin_CANopenManager::DatesReadDone() {
    endOperation();
}

// ---- Commands --------------------------------------------------------------

void TWin_CANopenManager::sendCommand(manager_map::ManagerCommand command) {
    // TUtilities serves one transfer at a time: a running operation has it.
    if (busy_) {
        notifier_.warning(QStringLiteral(
            "The CANopen Manager is busy. Send the command again when the running operation "
            "has ended."));
        return;
    }
    if (::SendManagerCommand(utilities_, managerNode(), command).code != 0)
        notifier_.warning(QStringLiteral("Failed to send command to CANopen Manager"));
}

// ---- Layout ----------------------------------------------------------------

void TWin_CANopenManager::loadLayout() {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    settings->beginGroup(QLatin1String(kLayoutGroup));
    for (int column = 0; column < kStoredColumns; ++column) {
        if (const auto w = ReadInt(*settings, columnKey(column)))
            c_.list->setColumnWidth(column, *w);
    }
    const auto w = ReadInt(*settings, QStringLiteral("width"));
    const auto h = ReadInt(*settings, QStringLiteral("height"));
    resize(w.value_or(width()), h.value_or(height()));
    const auto left = ReadInt(*settings, QStringLiteral("left"));
    const auto top = ReadInt(*settings, QStringLiteral("top"));
    move(left.value_or(x()), top.value_or(y()));
    settings->endGroup();
}

void TWin_CANopenManager::saveLayout() const {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    settings->beginGroup(QLatin1String(kLayoutGroup));
    for (int column = 0; column < kStoredColumns; ++column)
        WriteInt(*settings, columnKey(column), c_.list->columnWidth(column));
    WriteInt(*settings, QStringLiteral("width"), width());
    WriteInt(*settings, QStringLiteral("height"), height());
    WriteInt(*settings, QStringLiteral("left"), x());
    WriteInt(*settings, QStringLiteral("top"), y());
    settings->endGroup();
    settings->sync();
}
