// "Enter Date and Time": edits one node's expected configuration date and
// time, or reads them from the node's Verify Configuration entry (0x1020).
// UI thread; the read runs on a worker thread that posts DateTimeRead (and
// its messages) back through a UiMailbox and is joined by the destructor.
#pragma once

#include <QDialog>
#include <atomic>
#include <thread>

#include "manager/core/config_date_time.h"

class Notifier;
class QLineEdit;
class QPushButton;
class TUtilities;
class UiMailbox;

class TWin_EnterDateAndTime : public QDialog {
    Q_OBJECT
public:
    static constexpr int DateTimeRead = 0x0900;  // the read's notification

    TWin_EnterDateAndTime(TUtilities& utilities, Notifier& notifier, QWidget* parent = nullptr);
    ~TWin_EnterDateAndTime() override;

    // Shows the dialog modally for nodeId with date and time; centred on
    // (x, y) when both are non-zero. True when the user accepted: date and
    // time then hold the text's values; false leaves them unchanged.
    bool EnterDateAndTime(uint8_t nodeId, uint32_t& date, uint32_t& time, int x, int y);

    bool reading() const { return reading_; }

private:
    void okClick();
    void readClick();
    void dateTimeRead(ConfigDateTime value);

    TUtilities& utilities_;
    Notifier& notifier_;
    QLineEdit* dateandtime_ = nullptr;
    QPushButton* read_ = nullptr;
    UiMailbox* mailbox_ = nullptr;
    uint8_t nodeId_ = 0;
    bool cancelled_ = true;
    ConfigDateTime lastRead_;
    std::atomic<bool> reading_{false};
    std::thread reader_;
};
