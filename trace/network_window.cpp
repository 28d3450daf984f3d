#include "trace/network_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <new>

#include "canlib/morvellcanopen.h"
#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"
#include "sync/callback_target.h"

namespace {

constexpr int kWidth = 622;
constexpr int kHeight = 177;
constexpr int kRowHeightAt96Dpi = 18;
constexpr double kReferenceDpi = 96.0;
constexpr int kUpdateMs = 500;
constexpr int kSigTickMs = 5;
// How long destruction waits for a cancelled upload to end (the library
// writes into the window's buffer until then).
constexpr std::chrono::seconds kCancelWait{5};

enum Column {
    kNodeId,
    kStatus,
    kDeviceType,
    kErrorRegister,
    kManufacturer,
    kProduct,
    kRevision,
    kSerial,
    kFiller
};

const char* const kHeaders[TWin_Network::kColumns] = {
    "Node ID",        "NMT Status",      "Device Type",
    "Error Register", "Manufacturer ID", "Product ID",
    "Revision ID",    "Serial Number",   ""};

// The window whose scan upload runs (the completion callback has no context).
quorvane::CallbackTarget<ScanCompletion> scanOwner;

QString columnKey(int column) {
    return QStringLiteral("nodecol%1width").arg(column);
}

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

}  // namespace

TWin_Network::TWin_Network(TWin_Progress& progress, Notifier& notifier,
                           std::function<void(bool)> scanRunning, QWidget* parent)
    : QWidget(parent, Qt::Window),
      progress_(progress),
      notifier_(notifier),
      scanRunning_(std::move(scanRunning)),
      uploadBuffer_(new (std::nothrow) uint8_t[NetworkScan::kUploadCapacity]) {
    setObjectName(QStringLiteral("TWin_Network"));
    setWindowTitle(QStringLiteral("Network Overview"));
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    buildControls();
    resize(kWidth, kHeight);
    loadLayout();
    CentreOnScreen(this);

    UpdateTimer.setObjectName(QStringLiteral("UpdateTimer"));
    UpdateTimer.setInterval(kUpdateMs);
    connect(&UpdateTimer, &QTimer::timeout, this, &TWin_Network::UpdateTimerTimer);
    UpdateTimer.start();
    ThreadSigTimer.setObjectName(QStringLiteral("ThreadSigTimer"));
    ThreadSigTimer.setInterval(kSigTickMs);
    connect(&ThreadSigTimer, &QTimer::timeout, this, &TWin_Network::ThreadSigTimerTimer);
    ThreadSigTimer.start();
    completion_.wake = [this] {
        QMetaObject::invokeMethod(this, &TWin_Network::ThreadSigTimerTimer, Qt::QueuedConnection);
    };
    scanOwner.attach(&completion_);
}

TWin_Network::~TWin_Network() {
    if (uploadInFlight_) {
        // The upload writes into our buffer until it ends: stop it and wait.
        CANopen_Cancel();
        if (!completion_.operationcompleted_event.wait_for(kCancelWait)) {
            (void)uploadBuffer_.release();  // still the library's: never freed
        }
    }
    scanOwner.detach(&completion_);
    saveLayout();
}

void TWin_Network::buildControls() {
    auto* toolbar = new QWidget(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    scanbutton_ = new QPushButton(QStringLiteral("Scan Network Now"), toolbar);
    scanbutton_->setObjectName(QStringLiteral("scanbutton"));
    connect(scanbutton_, &QPushButton::clicked, this, &TWin_Network::scanbuttonClick);
    auto* toolbarRow = new QHBoxLayout(toolbar);
    toolbarRow->setContentsMargins(4, 4, 4, 4);
    toolbarRow->addWidget(scanbutton_);
    toolbarRow->addStretch(1);

    nodelist_ = new QTableWidget(1, kColumns, this);
    nodelist_->setObjectName(QStringLiteral("nodelist"));
    nodelist_->setAccessibleName(QStringLiteral("Nodes found"));
    QStringList headers;
    for (const char* header : kHeaders) headers << QString::fromLatin1(header);
    nodelist_->setHorizontalHeaderLabels(headers);
    nodelist_->verticalHeader()->hide();
    nodelist_->setShowGrid(true);
    nodelist_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    nodelist_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    nodelist_->horizontalHeader()->setStretchLastSection(true);
    const int rowHeight = std::max(1, qRound(kRowHeightAt96Dpi * logicalDpiY() / kReferenceDpi));
    nodelist_->verticalHeader()->setMinimumSectionSize(1);
    nodelist_->verticalHeader()->setDefaultSectionSize(rowHeight);
    QPalette white = nodelist_->palette();
    white.setColor(QPalette::Base, Qt::white);
    nodelist_->setPalette(white);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(nodelist_, 1);
}

// ---- Layout ---------------------------------------------------------------

void TWin_Network::loadLayout() {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    for (int column = 0; column < kFiller; ++column) {
        if (const auto width = ReadInt(*settings, columnKey(column)))
            nodelist_->setColumnWidth(column, *width);
    }
    const auto width = ReadInt(*settings, QStringLiteral("nodelistwidth"));
    const auto height = ReadInt(*settings, QStringLiteral("nodelistheight"));
    resize(width.value_or(this->width()), height.value_or(this->height()));
}

void TWin_Network::saveLayout() const {
    const std::unique_ptr<QSettings> settings = OpenSettings();
    if (!settings) return;
    for (int column = 0; column < kFiller; ++column)
        WriteInt(*settings, columnKey(column), nodelist_->columnWidth(column));
    WriteInt(*settings, QStringLiteral("nodelistwidth"), width());
    WriteInt(*settings, QStringLiteral("nodelistheight"), height());
    settings->sync();
}

void TWin_Network::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    nodelist_->setColumnWidth(kFiller, nodelist_->width());
}

void TWin_Network::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!uploadBuffer_) {
        notifier_.warning(QStringLiteral("Failed to allocate memory"));
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void TWin_Network::closeEvent(QCloseEvent* event) {
    // A scan ends with the window: after the upload in flight.
    if (scan_.running()) scan_.Cancel();
    QWidget::closeEvent(event);
}

// ---- The scan -------------------------------------------------------------

void TWin_Network::scanbuttonClick() {
    if (scan_.running() || !uploadBuffer_) return;
    nodelist_->clearContents();
    nodelist_->setRowCount(1);
    scanbutton_->setEnabled(false);
    if (scanRunning_) scanRunning_(true);
    progress_.StartOperation([this] { scan_.Cancel(); });
    startUpload(scan_.Start());
}

void TWin_Network::startUpload(const ScanUpload& upload) {
    // Nothing of an earlier upload can show through a short reply.
    std::memset(uploadBuffer_.get(), 0, NetworkScan::kUploadCapacity);
    uploadLength_ = NetworkScan::kUploadCapacity;
    LibraryResult result{};
    uploadInFlight_ = true;
    CANopen_SDOUpload(upload.node, upload.index, upload.subindex, uploadBuffer_.get(),
                      &uploadLength_, nullptr, &TWin_Network::scanCompleted, &result);
    if (result.code != 0) {
        // Refused at once, no completion follows: the node did not answer.
        completion_.code = result.code;
        completion_.operationcompleted_event.set();
    }
}

void TWin_Network::scanCompleted(const LibraryResult* result) {
    scanOwner.invoke([result](ScanCompletion& completion) {
        completion.code = result->code;
        completion.operationcompleted_event.set();
        if (completion.wake) completion.wake();
    });
}

void TWin_Network::ThreadSigTimerTimer() {
    if (!uploadInFlight_) return;
    if (!completion_.operationcompleted_event.wait_for(std::chrono::milliseconds(0))) return;
    uploadInFlight_ = false;
    const int32_t code = completion_.code.load();
    const uint32_t length = code == 0 ? uploadLength_ : 0;
    const std::optional<ScanUpload> next = scan_.Complete(code, uploadBuffer_.get(), length);
    showFoundNodes();
    if (!next) {
        endScan();
        return;
    }
    progress_.SetProgress(static_cast<float>(scan_.percent()));
    startUpload(*next);
}

void TWin_Network::showFoundNodes() {
    const std::vector<ScannedNode>& found = scan_.found();
    if (found.empty()) return;
    nodelist_->setRowCount(static_cast<int>(found.size()));
    // Only the last node changes with an upload.
    const int row = static_cast<int>(found.size()) - 1;
    const ScannedNode& node = found.back();
    const std::string* values[] = {&node.deviceType, &node.errorRegister, &node.manufacturerId,
                                   &node.productId,  &node.revisionId,    &node.serialNumber};
    auto set = [&](int column, const QString& value) {
        QTableWidgetItem* item = nodelist_->item(row, column);
        if (item == nullptr) {
            nodelist_->setItem(row, column, new QTableWidgetItem(value));
        } else if (item->text() != value) {
            item->setText(value);
        }
    };
    set(kNodeId, text(NodeIdColumnText(node.node)));
    if (nodelist_->item(row, kStatus) == nullptr)
        set(kStatus, QString::fromLatin1(LiveStateText(liveStates_.GetLiveState(node.node))));
    for (int i = 0; i < 6; ++i) set(kDeviceType + i, text(*values[i]));
}

void TWin_Network::endScan() {
    progress_.EndOperation();
    scanbutton_->setEnabled(true);
    if (scanRunning_) scanRunning_(false);
}

void TWin_Network::UpdateTimerTimer() {
    const std::vector<ScannedNode>& found = scan_.found();
    for (int row = 0; row < static_cast<int>(found.size()); ++row) {
        QTableWidgetItem* item = nodelist_->item(row, kStatus);
        const QString state =
            QString::fromLatin1(LiveStateText(liveStates_.GetLiveState(found[row].node)));
        if (item != nullptr && item->text() != state) item->setText(state);
    }
}
