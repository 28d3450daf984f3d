#include "trace/trace_recording.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include "gui/notifier.h"

namespace {

constexpr const char* kDefaultBusName = "can0";

}  // namespace

TraceRecording::TraceRecording(QMenu& options, QWidget& window, Notifier& notifier,
                               std::function<void()> titleChanged)
    : QObject(&window),
      window_(window),
      notifier_(notifier),
      titleChanged_(std::move(titleChanged)) {
    options.addSeparator();
    record_ = options.addAction(QStringLiteral("&Record to candump Log..."));
    record_->setObjectName(QStringLiteral("recordcandump"));
    stop_ = options.addAction(QStringLiteral("Stop Re&cording"));
    stop_->setObjectName(QStringLiteral("stoprecording"));
    connect(record_, &QAction::triggered, this, &TraceRecording::recordClick);
    connect(stop_, &QAction::triggered, this, &TraceRecording::stopRecording);
    poll_ = new QTimer(this);
    poll_->setInterval(kPollInterval_ms);
    connect(poll_, &QTimer::timeout, this, &TraceRecording::poll);
    updateItems();
}

TraceRecording::~TraceRecording() {
    recorder_.Stop();
}

void TraceRecording::recordClick() {
    QString fileName =
        QFileDialog::getSaveFileName(&window_, QStringLiteral("Record to candump Log"), QString(),
                                     QStringLiteral("candump Log Files (*.log);;All Files (*.*)"));
    if (fileName.isEmpty()) return;
    if (QFileInfo(fileName).suffix().isEmpty()) fileName += QStringLiteral(".log");
    startRecording(fileName);
}

bool TraceRecording::startRecording(const QString& fileName) {
    if (recording()) return false;
    std::string error;
    auto sink = canopen_trace::CreateRecordFile(QFile::encodeName(fileName).toStdString(), &error);
    if (!sink) {
        notifier_.warning(QStringLiteral("The candump log cannot be recorded: %1")
                              .arg(QString::fromLocal8Bit(error.c_str())));
        return false;
    }
    const std::string bus = busName_ ? busName_() : std::string();
    recorder_.Start(std::move(sink), bus.empty() ? kDefaultBusName : bus);
    fileName_ = fileName;
    shownCount_ = 0;
    shownDropped_ = 0;
    poll_->start();
    updateItems();
    titleChanged_();
    return true;
}

void TraceRecording::stopRecording() {
    if (!recording()) return;
    poll_->stop();
    const std::string error = recorder_.Stop();
    const QString name = fileName_;
    fileName_.clear();
    updateItems();
    titleChanged_();
    if (!error.empty()) {
        notifier_.warning(QStringLiteral("Recording to %1 failed: %2")
                              .arg(name, QString::fromLocal8Bit(error.c_str())));
    }
}

void TraceRecording::poll() {
    const canopen_trace::RecorderStatus status = recorder_.Status();
    if (!status.failure.empty()) {
        poll_->stop();
        recorder_.Stop();
        const QString name = fileName_;
        fileName_.clear();
        updateItems();
        titleChanged_();
        notifier_.warning(QStringLiteral("Recording to %1 stopped: %2. The %3 frames written "
                                         "before are kept.")
                              .arg(name, QString::fromLocal8Bit(status.failure.c_str()))
                              .arg(status.written));
        return;
    }
    if (status.written != shownCount_ || status.dropped != shownDropped_) {
        shownCount_ = status.written;
        shownDropped_ = status.dropped;
        titleChanged_();
    }
}

QString TraceRecording::titleSuffix() const {
    if (!recording()) return {};
    QString suffix = QStringLiteral(" - recording %1 (%2 frame%3)")
                         .arg(QFileInfo(fileName_).fileName())
                         .arg(shownCount_)
                         .arg(shownCount_ == 1 ? QString() : QStringLiteral("s"));
    // Only when the disk fell behind by kMaxPendingFrames.
    if (shownDropped_ != 0)
        suffix += QStringLiteral(" - %1 frames not recorded").arg(shownDropped_);
    return suffix;
}

void TraceRecording::updateItems() {
    record_->setEnabled(!recording());
    stop_->setEnabled(recording());
}
