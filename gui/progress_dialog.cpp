#include "gui/progress_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "sync/callback_target.h"

namespace {
constexpr int kSigTimerMs = 100;
// The dialog's pending progress (the progress callback carries no context).
quorvane::CallbackTarget<PendingProgress> libraryTarget;
}  // namespace

TWin_Progress::TWin_Progress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TWin_Progress"));
    setWindowTitle(QStringLiteral("Progress"));

    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("bar"));
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    bar_->setToolTip(QStringLiteral("This bar indicates the progress of the operation"));
    bar_->setMinimumWidth(260);

    percent_ = new QLabel(QStringLiteral("0%"), this);
    percent_->setObjectName(QStringLiteral("percent"));
    percent_->setMinimumWidth(40);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setToolTip(QStringLiteral("Click to cancel the operation"));
    connect(cancel_, &QPushButton::clicked, this, &TWin_Progress::cancelClick);

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(bar_, 1);
    barRow->addWidget(percent_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(barRow);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    setFixedSize(sizeHint());

    SigTimer.setObjectName(QStringLiteral("SigTimer"));
    SigTimer.setInterval(kSigTimerMs);
    connect(&SigTimer, &QTimer::timeout, this, &TWin_Progress::SigTimerTimer);
    SigTimer.start();
    libraryTarget.attach(&pending_);
}

TWin_Progress::~TWin_Progress() {
    libraryTarget.detach(&pending_);
}

void TWin_Progress::SetProgress(float percent) {
    const int position = static_cast<int>(percent);
    bar_->setValue(position);
    percent_->setText(QStringLiteral("%1%").arg(position));
    pending_.store(percent);
}

void TWin_Progress::SetCancelAction(std::function<void()> action) {
    cancelAction_ = std::move(action);
}

void TWin_Progress::StartOperation(std::function<void()> cancel) {
    SetProgress(0);
    SetCancelAction(std::move(cancel));
    running_ = true;
    if (parentWidget() != nullptr) {
        move(parentWidget()->geometry().center() - rect().center());
    }
    show();
}

void TWin_Progress::EndOperation() {
    running_ = false;
    hide();
    cancelAction_ = nullptr;
}

void TWin_Progress::reject() {
    if (running_) {
        cancelClick();
        return;
    }
    QDialog::reject();
}

void TWin_Progress::SigTimerTimer() {
    if (const std::optional<float> percent = pending_.take()) SetProgress(*percent);
}

void TWin_Progress::cancelClick() {
    if (cancelAction_) cancelAction_();
}

void TWin_Progress::progressHandler(float percent) {
    libraryTarget.invoke([percent](PendingProgress& target) { target.offer(percent); });
}

ProgressCallback TWin_Progress::LibraryProgressHandler() {
    return &TWin_Progress::progressHandler;
}
