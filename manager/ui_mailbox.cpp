#include "manager/ui_mailbox.h"

void UiMailbox::post(std::function<void()> work) {
    {
        std::lock_guard guard(mailbox_mutex);
        pending_.push_back(std::move(work));
    }
    QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void UiMailbox::drain() {
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard guard(mailbox_mutex);
            if (pending_.empty()) return;
            work = std::move(pending_.front());
            pending_.pop_front();
        }
        work();
    }
}
