// "Record to candump Log..." and "Stop Recording" of the trace window's
// Options menu: every frame the station sees while recording goes to a
// can-utils candump log (trace/core/candump_recorder.h), written by the
// recorder's own thread. The file name and frame count go into the title; a
// write error stops the recording with a message and keeps the file. The
// recording runs whether the window is shown or not. UI thread.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "trace/core/candump_recorder.h"

class QAction;
class QMenu;
class QTimer;
class QWidget;
class Notifier;

class TraceRecording : public QObject {
    Q_OBJECT
public:
    // Adds the two items to `options`. titleChanged runs when the suffix
    // changes. window parents the save dialog.
    TraceRecording(QMenu& options, QWidget& window, Notifier& notifier,
                   std::function<void()> titleChanged);
    ~TraceRecording() override;

    // Fed by the library's callbacks (LibraryEvents) on the library's thread.
    canopen_trace::CandumpRecorder& recorder() { return recorder_; }
    // The bus name written in each line, asked at each start; "can0" when unset.
    void setBusName(std::function<std::string()> busName) { busName_ = std::move(busName); }

    // Starts recording into fileName. A file that cannot be created is
    // refused with a message; false then.
    bool startRecording(const QString& fileName);
    // Stops and closes the file (a close error is reported).
    void stopRecording();
    bool recording() const { return !fileName_.isEmpty(); }

    // " - recording trace.log (1234 frames)" while recording, else empty.
    QString titleSuffix() const;

    static constexpr int kPollInterval_ms = 250;

private:
    void recordClick();
    void poll();
    void updateItems();

    QWidget& window_;
    Notifier& notifier_;
    std::function<void()> titleChanged_;
    std::function<std::string()> busName_;
    canopen_trace::CandumpRecorder recorder_;
    QString fileName_;         // while recording
    uint64_t shownCount_ = 0;  // frames written, as in the title
    uint64_t shownDropped_ = 0;
    QAction* record_ = nullptr;
    QAction* stop_ = nullptr;
    QTimer* poll_ = nullptr;
};
