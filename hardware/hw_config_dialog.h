// "Hardware Configuration": the modal dialog in which the user picks the CAN
// adapter, its parameters and the bit rate, and which opens the interface.
// Below the adapter list it shows the Linux channel the adapter opens and
// lets the user choose another, saved in the library's per-user file before
// the opening (and restored when the opening fails).
// Shown once by the main window; after exec() returns, configured() tells
// whether an interface is open. UI thread only.
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "canlib/morvellcanopen.h"
#include "hardware/channel_directory.h"
#include "hardware/hardware_selection.h"

class QComboBox;
class QLabel;
class QPushButton;
class TWin_HWInitError;
class Notifier;

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
    // values) and centres itself. errorDialog (and notifier, when given) must
    // outlive this dialog. channels: nullptr = the library's; notifier:
    // nullptr = message boxes.
    TWin_HWConfig(TWin_HWInitError& errorDialog, InterfaceOpener opener,
                  std::unique_ptr<ChannelDirectory> channels = nullptr,
                  Notifier* notifier = nullptr, QWidget* parent = nullptr);
    ~TWin_HWConfig() override;

    // True only after an interface was opened here; false after Cancel,
    // closing by the frame and each failed attempt.
    bool configured() const { return configured_; }
    // Bit rate of the last successful opening, kbit/s.
    int32_t baudRateKbps() const { return baudRateKbps_; }
    // The channel of the last successful opening ("socketcan:can0"), empty before.
    QString openedChannel() const { return openedChannel_; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void okClick();
    void applyInterfaceSelection(int row);
    void select(const hwconfig::Selection& selection);
    hwconfig::Selection selection() const;

    // The channel field for the selected row: the user's edit for that
    // adapter, else what the library resolves.
    void showChannel();
    void fillInterfaceList();
    void channelEdited(const QString& text);
    // Saves the chosen channel when it differs from the resolved one.
    // false: refused (reason shown), nothing opened. *saved: whether the file
    // changed, so a failed opening can restore *previous.
    bool applyChannelChoice(const hwconfig::HardwareRequest& request, bool* saved,
                            QString* previous);

    TWin_HWInitError& errorDialog_;
    InterfaceOpener opener_;
    bool configured_ = false;
    int32_t baudRateKbps_ = 0;
    QString openedChannel_;
    std::array<QComboBox*, hwconfig::kListCount> lists_{};
    std::array<QLabel*, hwconfig::kListCount> labels_{};
    QPushButton* ok_;
    QComboBox* channel_ = nullptr;
    QLabel* channelLabel_;
    QLabel* channelOrigin_;
    std::unique_ptr<ChannelDirectory> channels_;
    std::unique_ptr<Notifier> ownNotifier_;
    Notifier* notifier_;
    ChannelOrigin shownOrigin_;
    std::map<int32_t, QString> editedChannels_;  // by hardware code
    bool showingChannel_ = false;                // the field is being set, not edited
    QPushButton* cancel_;
};
