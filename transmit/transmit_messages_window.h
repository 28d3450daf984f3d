// "Transmit Messages": a read-only grid of every message of the transmit
// table, rewritten whenever a message is stored. Key presses in the window
// go to the transmit engine first. Created hidden at start-up, hidden when
// closed, layout saved when destroyed. UI thread.
#pragma once

#include <QPointer>
#include <QWidget>

class QTableWidget;
class TTransmit;
class TransmitEngine;

class TWin_TransmitMessages : public QWidget {
    Q_OBJECT
public:
    // Listens to the table's changes until destroyed. `centreOver` (the main
    // window) is where the window first appears; nullptr: where Qt puts it.
    TWin_TransmitMessages(TTransmit& table, TransmitEngine& engine, QWidget* centreOver = nullptr);
    ~TWin_TransmitMessages() override;

    // Rewrites columns 1-6 of every message row from the table.
    void RefreshTransmitGrid();

    // The text of a grid cell; row 0 is the header row, row r is message r-1.
    QString cellText(int row, int column) const;
    QTableWidget* grid() const { return txlist; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadTransmitLayout();
    void SaveTransmitLayout() const;

    TTransmit& table_;
    QPointer<QWidget> centreOver_;
    QTableWidget* txlist = nullptr;
    bool placed_ = false;
};
