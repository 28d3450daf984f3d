// "Hardware Configuration": the modal dialog in which the user picks the CAN
// adapter, its parameters and the bit rate, and which opens the interface.
// Shown once by the main window; after exec() returns, configured() tells
// whether an interface is open. UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>

#include "hardware/hardware_selection.h"
#include "canlib/morvellcanopen.h"

class QComboBox;
class QLabel;
class QPushButton;
class TWin_HWInitError;

// Opens interface `code` (HW_PARALLEL_DONGLE .. HW_ISA) with its parameter
// record and fills *result (code 0 = open). Called synchronously on the UI
// thread from the OK click.
using InterfaceOpener =
    std::function<void(int32_t code, const void* record, LibraryResult* result)>;

// The opener that calls Hardware_Initialize.
InterfaceOpener LibraryInterfaceOpener();

class TWin_HWConfig : public QDialog {
    Q_OBJECT
public:
    using InterfaceOpener = ::InterfaceOpener;

    // Loads the stored choices (writing back defaults for missing or unknown
    // values) and centres itself. errorDialog must outlive this dialog.
    TWin_HWConfig(TWin_HWInitError& errorDialog, InterfaceOpener opener, QWidget* parent = nullptr);

    // True only after an interface was opened here; false after Cancel,
    // closing by the frame and each failed attempt.
    bool configured() const { return configured_; }
    // Bit rate of the last successful opening, kbit/s.
    int32_t baudRateKbps() const { return baudRateKbps_; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void okClick();
    void applyInterfaceSelection(int row);
    void select(const hwconfig::Selection& selection);
    hwconfig::Selection selection() const;

    TWin_HWInitError& errorDialog_;
    InterfaceOpener opener_;
    bool configured_ = false;
    int32_t baudRateKbps_ = 0;
    std::array<QComboBox*, hwconfig::kListCount> lists_{};
    std::array<QLabel*, hwconfig::kListCount> labels_{};
    QPushButton* ok_;
    QPushButton* cancel_;
};
