// Hands work from worker threads to the UI thread, in posting order. The
// work waits under a standard mutex; the UI thread is woken by a queued call
// that carries nothing, so the hand-off is visible to the thread sanitizer.
// Work still waiting when the mailbox is destroyed is dropped: destroy the
// mailbox (with its window) only after its workers have ended.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

class UiMailbox : public QObject {
    Q_OBJECT
public:
    explicit UiMailbox(QObject* parent) : QObject(parent) {}

    // Any thread: `work` runs later on the UI thread.
    void post(std::function<void()> work);

private:
    Q_INVOKABLE void drain();

    std::mutex mailbox_mutex;  // guards pending_
    std::deque<std::function<void()>> pending_;
};
