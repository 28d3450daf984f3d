#include "trace/trace_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QMenuBar>
#include <QShowEvent>
#include <QTableView>
#include <QTimer>
#include <ctime>
#include <fstream>

#include "gui/notifier.h"
#include "gui/settings_store.h"
#include "gui/window_placement.h"
#include "trace/core/trace_export.h"
#include "trace/trace_columns.h"
#include "trace/trace_recording.h"
#include "trace/trace_settings.h"
#include "trace/trace_view_model.h"

namespace {

constexpr int kInitialWidth = 674;
constexpr int kInitialHeight = 365;
constexpr int kRowHeightAt96Dpi = 18;
constexpr double kReferenceDpi = 96.0;

const QString kWorkingCopyFailed =
    QStringLiteral("Failed to allocate trace buffer memory (trace window)");
const QString kUnusableOnShow = QStringLiteral(
    "The trace window memory allocation failed. Close some applications and restart Quorvane to "
    "use the Trace window.");

}  // namespace

TWin_Trace::TWin_Trace(TTraceBuffer& buffer, TEmergencyCodes& codes, const MessageNames* names,
                       KeyHandler keyHandler, Notifier& notifier, QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      codes_(codes),
      keyHandler_(std::move(keyHandler)),
      notifier_(notifier) {
    setObjectName(QStringLiteral("TWin_Trace"));
    setWindowTitle(QStringLiteral("CAN Bus Trace"));
    resize(kInitialWidth, kInitialHeight);
    rowHeight_ = std::max(1, qRound(kRowHeightAt96Dpi * logicalDpiY() / kReferenceDpi));

    updateTimer_ = new QTimer(this);
    updateTimer_->setObjectName(QStringLiteral("UpdateTimer"));
    updateTimer_->setInterval(TraceDisplay::kTimerInterval_ms);
    connect(updateTimer_, &QTimer::timeout, this, &TWin_Trace::UpdateTimerTimer);

    buildGrid();
    buildMenu();
    const TraceSettings settings = LoadTraceSettings(OpenSettings().get(), defaultSettings());
    resize(settings.tracewidth, settings.traceheight);
    CentreOnScreen(this);
    // Lays the hidden window out, so the grid's height is known.
    if (QLayout* frame = layout()) frame->activate();

    display_ = std::make_unique<TraceDisplay>(buffer, trace_->height() / rowHeight_, names);
    model_ = new TraceViewModel(*display_, codes_, this);
    trace_->setModel(model_);
    for (int i = 0; i < TraceSettings::kColumns; ++i) {
        trace_->setColumnWidth(i, settings.columnWidths[static_cast<std::size_t>(i)]);
    }
    trace_->setColumnWidth(TraceViewModel::kFillerColumn, trace_->width());
    setExportEnabled(false);
    if (!display_->usable()) notifier_.warning(kWorkingCopyFailed);
}

TWin_Trace::~TWin_Trace() {
    TraceSettings settings;
    for (int i = 0; i < TraceSettings::kColumns; ++i) {
        settings.columnWidths[static_cast<std::size_t>(i)] = trace_->columnWidth(i);
    }
    settings.tracewidth = width();
    settings.traceheight = height();
    SaveTraceSettings(OpenSettings().get(), settings);
}

void TWin_Trace::buildGrid() {
    trace_ = new QTableView(this);
    trace_->setObjectName(QStringLiteral("trace"));
    trace_->setAccessibleName(QStringLiteral("Trace lines"));
    trace_->setFrameShape(QFrame::NoFrame);
    trace_->setShowGrid(false);
    trace_->setSelectionMode(QAbstractItemView::NoSelection);
    trace_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    trace_->setWordWrap(false);
    trace_->setItemDelegate(new TraceCellDelegate(trace_));
    QPalette palette = trace_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    trace_->setPalette(palette);

    QHeaderView* rows = trace_->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(rowHeight_);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    QHeaderView* columns = trace_->horizontalHeader();
    columns->setMinimumSectionSize(1);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    columns->setSectionsClickable(false);
    columns->setFixedHeight(rowHeight_);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setTextElideMode(Qt::ElideRight);
    AddHeaderToolTips(*columns);

    // Keys reach the window through the grid, which holds its focus.
    trace_->installEventFilter(this);
    setFocusProxy(trace_);
    setCentralWidget(trace_);
}

void TWin_Trace::buildMenu() {
    QMenu* options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("optionsmenu"));
    const auto addItem = [this, options](const char* name, const QString& caption) {
        QAction* action = options->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    startstop_ = addItem("startstop", QStringLiteral("&Stop Trace"));
    monitor_ = addItem("monitor", QStringLiteral("&Monitor Current Node"));
    stat_ = addItem("stat", QStringLiteral("S&tatic Trace"));
    options->addSeparator();
    exportasctrace_ = addItem("exportasctrace", QStringLiteral("&Export Ascending Trace..."));
    exportdesctrace_ = addItem("exportdesctrace", QStringLiteral("Export &Descending Trace..."));

    connect(startstop_, &QAction::triggered, this, &TWin_Trace::startstopClick);
    connect(monitor_, &QAction::triggered, this, &TWin_Trace::monitorClick);
    connect(stat_, &QAction::triggered, this, &TWin_Trace::statClick);
    connect(exportasctrace_, &QAction::triggered, this, [this] { exportClick(false); });
    connect(exportdesctrace_, &QAction::triggered, this, [this] { exportClick(true); });
    recording_ = new TraceRecording(*options, *this, notifier_, [this] { updateTitle(); });
}

TraceSettings TWin_Trace::defaultSettings() const {
    TraceSettings defaults;
    std::array<QString, kTraceTextColumns> titles;
    for (int i = 0; i < kTraceTextColumns; ++i) titles[i] = TraceViewModel::HeaderText(i);
    defaults.columnWidths =
        DefaultTraceColumnWidths(defaults.columnWidths, titles, *trace_->horizontalHeader(),
                                 trace_->fontMetrics(), logicalDpiX());
    return defaults;
}

GridMetrics TWin_Trace::gridMetrics() const {
    GridMetrics grid;
    grid.gridRows = trace_->height() / rowHeight_;
    grid.visibleRows = trace_->viewport()->height() / rowHeight_;
    return grid;
}

void TWin_Trace::displayChanged() {
    model_->displayChanged();
    updateTitle();
}

void TWin_Trace::updateTitle() {
    if (!display_) return;
    setWindowTitle(QString::fromStdString(display_->title()) + recording_->titleSuffix());
}

void TWin_Trace::setExportEnabled(bool enabled) {
    exportasctrace_->setEnabled(enabled);
    exportdesctrace_->setEnabled(enabled);
}

// ---- Showing, closing, resizing --------------------------------------------

void TWin_Trace::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TWin_Trace::FormShow() {
    if (!display_->usable()) {
        notifier_.information(kUnusableOnShow);
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    display_->Show();
    model_->displayChanged();
    updateTimer_->start();
}

void TWin_Trace::closeEvent(QCloseEvent* event) {
    updateTimer_->stop();
    QMainWindow::closeEvent(event);
}

void TWin_Trace::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TWin_Trace::FormResize() {
    if (!display_) return;
    const bool scrollToEnd = display_->Resize(gridMetrics(), isVisible());
    displayChanged();
    if (scrollToEnd) trace_->scrollToBottom();
    trace_->setColumnWidth(TraceViewModel::kFillerColumn, trace_->width());
}

void TWin_Trace::UpdateTimerTimer() {
    if (!display_->running()) return;
    display_->Tick(gridMetrics());
    displayChanged();
}

// ---- Keys -------------------------------------------------------------------

bool TWin_Trace::eventFilter(QObject* watched, QEvent* event) {
    if (watched == trace_ && event->type() == QEvent::KeyPress && keyHandler_) {
        keyHandler_(*static_cast<QKeyEvent*>(event));
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Options menu -------------------------------------------------------------

void TWin_Trace::startstopClick() {
    if (display_->running()) {
        display_->StopTrace(gridMetrics());
        startstop_->setText(QStringLiteral("&Start Trace"));
        displayChanged();
        trace_->scrollToBottom();
        setExportEnabled(true);
    } else {
        startstop_->setText(QStringLiteral("&Stop Trace"));
        display_->StartTrace(gridMetrics());
        displayChanged();
        setExportEnabled(false);
    }
}

void TWin_Trace::monitorClick() {
    display_->ToggleMonitor();
    monitor_->setText(display_->monitorAll() ? QStringLiteral("&Monitor Current Node")
                                             : QStringLiteral("&Monitor All Nodes"));
}

void TWin_Trace::statClick() {
    display_->ToggleStatic();
    model_->displayChanged();
    stat_->setText(display_->staticMode() ? QStringLiteral("&Continuous Trace")
                                          : QStringLiteral("S&tatic Trace"));
}

// ---- Export -------------------------------------------------------------------

void TWin_Trace::exportClick(bool descending) {
    QString fileName = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save Trace"), QString(),
        QStringLiteral("Comma Seperated Values Files (*.csv);;All Files (*.*)"));
    if (fileName.isEmpty()) return;
    if (QFileInfo(fileName).suffix().isEmpty()) fileName += QStringLiteral(".csv");
    ExportTrace(fileName, descending);
}

void TWin_Trace::ExportTrace(const QString& fileName, bool descending) {
    if (display_->running()) return;
    std::size_t count = 0;
    const TraceRecord* rows = display_->ExportRows(count);
    std::ofstream out(QFile::encodeName(fileName).toStdString(), std::ios::out | std::ios::trunc);
    if (!out) return;
    // Like a file that cannot be created, a failed write is not reported.
    const bool written = WriteTraceExport(out, rows, count, descending, codes_,
                                          display_->ExportNames(), std::time(nullptr));
    (void)written;
}
