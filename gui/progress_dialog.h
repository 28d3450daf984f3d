// The progress dialog every SDO transfer of the main and manager windows
// shows while it runs. UI thread, except LibraryProgressHandler.
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>

#include "canlib/morvellcanopen.h"
#include "gui/pending_progress.h"

class QLabel;
class QProgressBar;
class QPushButton;

class TWin_Progress : public QDialog {
    Q_OBJECT
public:
    explicit TWin_Progress(QWidget* parent = nullptr);
    ~TWin_Progress() override;

    // Bar position and "%d%%" label from the percentage (truncated), and the
    // pending value so the timer does not move the bar back.
    void SetProgress(float percent);
    // What Cancel runs; an empty function makes Cancel do nothing.
    void SetCancelAction(std::function<void()> action);
    // Shows the dialog at 0 % with `cancel` as its cancel action, not modal,
    // centred on its parent.
    void StartOperation(std::function<void()> cancel);
    // Ends the operation: hides the dialog and forgets the cancel action.
    void EndOperation();

    // Escape and the window's close button act as Cancel while an operation
    // runs: the dialog stays until EndOperation.
    void reject() override;

    // The progress callback to hand to the library: stores the percentage for
    // the dialog created last, without waiting. Any thread.
    static ProgressCallback LibraryProgressHandler();

private:
    void SigTimerTimer();
    void cancelClick();
    static void progressHandler(float percent);

    QProgressBar* bar_;
    QLabel* percent_;
    QPushButton* cancel_;
    QTimer SigTimer;
    std::function<void()> cancelAction_;
    bool running_ = false;  // between StartOperation and EndOperation
    PendingProgress pending_;
};
