// The controls of the main window's transmit tab and their behaviour: one
// message of the transmit table edited at a time, every change stored at
// once, range checks on the main window's input check timer. UI thread.
#pragma once

#include <QObject>
#include <array>

#include "transmit/transmit_edit_rules.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;
class QWidget;
class Notifier;
class TTransmit;
class TransmitEngine;

class TransmitTab : public QObject {
    Q_OBJECT
public:
    // Fills `page` with the controls and is owned by it. `inputCheckTimer`
    // (2000 ms, stopped) is restarted on every stored change; its timeout runs
    // the range checks. The table, engine and notifier outlive the page.
    TransmitTab(QWidget* page, TTransmit& table, TransmitEngine& engine, Notifier& notifier,
                QTimer& inputCheckTimer);

    // The timer's handler: stops the timer, then shows the range messages.
    void InputCheckTimerTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls(QWidget* page);
    void connectControls();
    void setTabOrder();

    void FillTransmitList();
    void ShowTransmitMessage();
    void UpdateTransmitControls();
    void StoreTransmitEdits();
    void StripNonHex(QLineEdit* edit);
    void CheckTransmitInput();

    TransmitControlValues currentControls() const;
    void showControls(const TransmitControlValues& values);

    TTransmit& table_;
    TransmitEngine& engine_;
    Notifier& notifier_;
    QTimer& inputCheckTimer_;
    bool loading_ = false;

    QLabel* Label1 = nullptr;
    QComboBox* txlist = nullptr;
    QCheckBox* txenable = nullptr;
    QLabel* txnamelabel = nullptr;
    QLineEdit* txname = nullptr;
    QLabel* txmsgidlabel = nullptr;
    QRadioButton* txid = nullptr;
    QLabel* txidlabel = nullptr;
    QLineEdit* txidnum = nullptr;
    QRadioButton* txpdo = nullptr;
    QButtonGroup* idChoice = nullptr;  // txid and txpdo
    QLabel* txpdolabel = nullptr;
    QLineEdit* txnodeid = nullptr;
    QLabel* txpdolabel2 = nullptr;
    QComboBox* txpdoselector = nullptr;
    QLabel* txtriglabel = nullptr;
    QCheckBox* txkeytrig = nullptr;
    QLabel* txkeytriglabel = nullptr;
    QComboBox* txkeyselector = nullptr;
    QCheckBox* txrxtrig = nullptr;
    QLabel* txrxtriglabel = nullptr;
    QLineEdit* txrxid = nullptr;
    QLabel* txcontentslabel = nullptr;
    QLabel* txdlclabel = nullptr;
    QComboBox* txdlcselector = nullptr;
    QLabel* txdatalabel = nullptr;
    std::array<QLineEdit*, transmitwire::kDataBytes> txd{};
    QCheckBox* txtimestamp = nullptr;
    QPushButton* txnow = nullptr;
};
