// The hex dump of a read entry: offset, 16 bytes in hex and as characters
// per line. Modal, opened by "View more". UI thread.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QPlainTextEdit;
class QPushButton;

class TWin_Display : public QDialog {
    Q_OBJECT
public:
    explicit TWin_Display(QWidget* parent = nullptr);

    // The entry the data came from, named in the caption.
    void setEntry(uint8_t nodeId, uint32_t index, uint8_t subindex);
    // The data to dump; read when the window is shown, so it must stay valid
    // while the window is open.
    void setData(const uint8_t* data, uint32_t length);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fill();

    QPlainTextEdit* display_;
    QPushButton* close_;
    uint8_t nodeId_ = 0;
    uint32_t index_ = 0;
    uint8_t subindex_ = 0;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
};
