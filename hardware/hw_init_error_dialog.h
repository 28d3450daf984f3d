// "Hardware Error": tells why the CAN interface could not be opened and links
// to the adapter makers' driver pages. Shown modally by the hardware
// configuration dialog after a failed opening. UI thread only.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

class TWin_HWInitError : public QDialog {
    Q_OBJECT
public:
    explicit TWin_HWInitError(QWidget* parent = nullptr);

    // Puts text into the `error` label, which wraps at the width of the
    // `description` label.
    void setErrorText(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* error_;
    QLabel* description_;
    QLabel* trelvikDownload_;
    QLabel* ostraDownload_;
    QPushButton* close_;
};
