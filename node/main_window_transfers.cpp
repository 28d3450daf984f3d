// The read and write tabs of the main window: checks, the SDO transfer with
// its progress dialog, the completion and the display of read data.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <mutex>

#include "gui/notifier.h"
#include "gui/progress_dialog.h"
#include "gui/result_text.h"
#include "node/data_display.h"
#include "node/data_entry.h"
#include "node/display_window.h"
#include "node/main_window.h"
#include "sync/callback_target.h"

namespace {

// Transfer modes: what the completion does.
constexpr uint32_t kModeReadToFile = 0;
constexpr uint32_t kModeReadToDisplay = 1;
constexpr uint32_t kModeWriteFromFile = 2;
constexpr uint32_t kModeWriteEntered = 3;

// The window whose transfer runs; the library's completion carries no context.
// The window whose transfer runs (the completion callback carries no context).
quorvane::CallbackTarget<TWin_Main> transferOwner;

}  // namespace

void TWin_Main::transferCompleted(const LibraryResult* result) {
    const LibraryResult copy = *result;
    transferOwner.invoke([&copy](TWin_Main& window) {
        QMetaObject::invokeMethod(
            &window, [&window, copy] { window.finishTransfer(copy); }, Qt::QueuedConnection);
    });
}

void TWin_Main::forgetTransferOwner() {
    transferOwner.detach(this);
}

bool TWin_Main::readTarget(const QLineEdit* indexEdit, const QLineEdit* subindexEdit, uint8_t& node,
                           uint32_t& index, uint8_t& subindex) {
    node = CurrentNodeId(signals_);
    if (node == 0) {
        notifier_.warning(ResultText(MakeResult(kResultNoNode)));
        return false;
    }
    if (!IsHexText(indexEdit->text())) {
        notifier_.warning(ResultText(MakeResult(kResultBadIndex)));
        return false;
    }
    if (!IsHexText(subindexEdit->text())) {
        notifier_.warning(ResultText(MakeResult(kResultBadSubindex)));
        return false;
    }
    index = HexValue(indexEdit->text());
    subindex = static_cast<uint8_t>(HexValue(subindexEdit->text()));
    return true;
}

void TWin_Main::readbuttonClick() {
    uint8_t node = 0;
    uint32_t index = 0;
    uint8_t subindex = 0;
    if (!readTarget(c_.readindex, c_.readsubindex, node, index, subindex)) return;
    transferMode = c_.readdisplay->isChecked() ? kModeReadToDisplay : kModeReadToFile;

    beginTransfer();
    dataLength = kDataBufferSize;
    LibraryResult result{};
    CANopen_SDOUpload(node, index, subindex, dataBuffer.get(), &dataLength,
                      TWin_Progress::LibraryProgressHandler(), &TWin_Main::transferCompleted,
                      &result);
    if (result.code != 0) refusedTransfer(result);
}

void TWin_Main::writebuttonClick() {
    uint8_t node = 0;
    uint32_t index = 0;
    uint8_t subindex = 0;
    if (!readTarget(c_.writeindex, c_.writesubindex, node, index, subindex)) return;
    transferMode = c_.writeenter->isChecked() ? kModeWriteEntered : kModeWriteFromFile;

    if (transferMode == kModeWriteFromFile) {
        if (!loadWriteFile()) return;
    } else {
        const EntryConversion entry =
            ConvertEntry(currentBase_, c_.writedata->text(), c_.writelength->text(),
                         dataBuffer.get(), kDataBufferSize);
        if (entry.code != 0) {
            notifier_.warning(ResultText(MakeResult(entry.code)));
            return;
        }
        if (!entry.message.isEmpty()) {
            notifier_.warning(entry.message);
            return;
        }
        dataLength = entry.length;
    }

    beginTransfer();
    LibraryResult result{};
    CANopen_SDODownload(node, index, subindex, dataBuffer.get(), dataLength,
                        TWin_Progress::LibraryProgressHandler(), &TWin_Main::transferCompleted,
                        &result);
    if (result.code != 0) refusedTransfer(result);
}

bool TWin_Main::loadWriteFile() {
    const QString path = c_.writepath->text();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        notifier_.warning(ResultText(MakeResult(kResultFileNotOpened, path)));
        return false;
    }
    // One byte more than fits tells a file that is too long: it is refused,
    // never sent cut short.
    const qint64 read = file.read(reinterpret_cast<char*>(dataBuffer.get()), kDataBufferSize);
    char extra = 0;
    if (read < 0 || (read == kDataBufferSize && file.read(&extra, 1) == 1)) {
        notifier_.warning(read < 0 ? ResultText(MakeResult(kResultFileNotOpened, path))
                                   : QStringLiteral("The file %1 is larger than %2 bytes, the "
                                                    "largest entry Quorvane can write.")
                                         .arg(path)
                                         .arg(kDataBufferSize));
        return false;
    }
    dataLength = static_cast<uint32_t>(read);
    return true;
}

void TWin_Main::beginTransfer() {
    transferOwner.attach(this);
    host_.progressDialog().StartOperation([] { CANopen_Cancel(); });
    setTransferControlsEnabled(false);
}

void TWin_Main::refusedTransfer(const LibraryResult& result) {
    notifier_.warning(ResultText(result));
    host_.progressDialog().EndOperation();
    setTransferControlsEnabled(true);
}

void TWin_Main::setTransferControlsEnabled(bool enabled) {
    c_.tabs->setEnabled(enabled);
    c_.nodelist->setEnabled(enabled);
    c_.nodelistLabel->setEnabled(enabled);
    c_.fileMenu->setEnabled(enabled);
    c_.helpMenu->setEnabled(enabled);
    if (enabled) applyEnablingRule();
}

void TWin_Main::finishTransfer(const LibraryResult& result) {
    host_.progressDialog().EndOperation();
    if (result.code == 0) {
        if (transferMode == kModeReadToFile) {
            if (!storeReadData()) {
                setTransferControlsEnabled(true);
                return;
            }
            std::lock_guard guard(signals_.clear_signal_mutex);
            signals_.clearRequest = true;
        } else if (transferMode == kModeReadToDisplay) {
            std::lock_guard guard(signals_.display_signal_mutex);
            signals_.showRequest = true;
        }
    } else if (result.code != 1) {
        notifier_.warning(ResultText(result));
    }
    setTransferControlsEnabled(true);
}

bool TWin_Main::storeReadData() {
    QFile file(c_.readpath->text());
    // Unbuffered: a full disk shows in write() itself, not in a silent flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        notifier_.warning(ResultText(MakeResult(kResultFileNotOpened, file.fileName())));
        return false;
    }
    const qint64 written = file.write(reinterpret_cast<const char*>(dataBuffer.get()), dataLength);
    QString reason;
    if (written != static_cast<qint64>(dataLength)) {
        reason =
            file.error() != QFileDevice::NoError
                ? file.errorString()
                : QStringLiteral("only %1 of %2 bytes were written").arg(written).arg(dataLength);
    }
    file.close();
    if (reason.isEmpty() && file.error() != QFileDevice::NoError) reason = file.errorString();
    if (reason.isEmpty()) return true;
    notifier_.warning(
        QStringLiteral("Unable to store the data in %1: %2").arg(file.fileName(), reason));
    return false;
}

void TWin_Main::showReadData() {
    const ReadDisplay shown = FormatReadDisplay(dataBuffer.get(), dataLength);
    c_.readlength->setText(shown.length);
    c_.first16label->setVisible(shown.onlyFirst16);
    c_.viewmorebutton->setVisible(shown.onlyFirst16);
    if (shown.onlyFirst16) {
        host_.displayWindow().setEntry(CurrentNodeId(signals_), HexValue(c_.readindex->text()),
                                       static_cast<uint8_t>(HexValue(c_.readsubindex->text())));
    }
    c_.displayhex->setText(shown.hex);
    c_.displayascii->setText(shown.ascii);
    c_.displaydecimal->setText(shown.unsignedValue);
    c_.displaysdecimal->setText(shown.signedValue);
}

void TWin_Main::viewmorebuttonClick() {
    host_.displayWindow().setData(dataBuffer.get(), dataLength);
    host_.displayWindow().exec();
}

void TWin_Main::readbrowseClick() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Create File"), c_.readpath->text(), QStringLiteral("All Files (*)"));
    if (!path.isEmpty()) c_.readpath->setText(path);
}

void TWin_Main::writebrowseClick() {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Select File"), c_.writepath->text(), QStringLiteral("All Files (*)"));
    if (!path.isEmpty()) c_.writepath->setText(path);
}

void TWin_Main::writebaseChange() {
    const QString base = c_.writebase->currentText();
    const auto length = static_cast<uint32_t>(ParseLength(c_.writelength->text()));
    if (base == kBaseDecimal && length > 4) c_.writelength->setText(QStringLiteral("4"));
    c_.writedata->clear();
    updateWriteDataLabel();
    currentBase_ = base;
}
