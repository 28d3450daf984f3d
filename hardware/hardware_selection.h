// What the hardware configuration dialog offers and how a choice becomes a
// call of Hardware_Initialize: the twelve drop-down lists, the interface rows,
// the parameter records and the stored choices. No widgets; UI thread only
// where a QSettings is involved, otherwise any thread.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSettings>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "canlib/morvellcanopen.h"

namespace hwconfig {

// The twelve lists, in the order their settings values are read and written.
enum ListId : int {
    kInterfaceList,     // hwselect: the adapter
    kParallelAddress,   // hw0_addr: printer port address, hexadecimal
    kParallelIrq,       // hw0_irq
    kParallelPortType,  // hw0_porttype
    kParallelBaud,      // hw0_baudrate
    kUsbBaud,           // hw1_baudrate
    kModuleDevice,      // hw2_device: USB module number, "Any" last
    kModuleBaud,        // hw2_baudrate
    kPciBaud,           // hw3_baudrate
    kIsaAddress,        // hw4_addr: I/O address, hexadecimal
    kIsaIrq,            // hw4_irq
    kIsaBaud,           // hw4_baudrate
    kListCount
};

struct ListSpec {
    QString objectName;    // of the list; its label is objectName + "_label"
    QString settingsKey;   // string value holding the selected item's text
    QString labelCaption;  // label in front of the list
    QString hint;          // tool tip; empty for none
    QStringList items;     // in display order
    QString defaultItem;   // one of items
};

const ListSpec& List(ListId id);

// One row of the interface list: its text, the hardware code passed to the
// library and the parameter lists shown for it.
struct InterfaceRow {
    QString text;
    int32_t hardwareCode;  // HW_PARALLEL_DONGLE .. HW_ISA
    std::span<const ListId> parameterLists;
};

inline constexpr int kInterfaceRowCount = 5;
// nullptr for a row outside 0..kInterfaceRowCount-1.
const InterfaceRow* Row(int row);

// The visible text of the selected item of each list, indexed by ListId.
using Selection = std::array<QString, kListCount>;
Selection DefaultSelection();

// Bit rate of a baud rate item ("1Mbps" -> 1000, "125kbps" -> 125), nullopt
// for any other text.
std::optional<int32_t> BaudKbps(const QString& item);

// Digits of the base from the start of text up to the first other character
// ("2E8" -> 0x2E8, "12x" -> 12); empty or no leading digit -> 0. Wraps
// modulo 2^32.
uint32_t ReadHexPrefix(const QString& text);
uint32_t ReadDecimalPrefix(const QString& text);

using HardwareRecord = std::variant<HwParallelParams, HwBaudParams, HwUsbModuleParams, HwIsaParams>;

// The arguments of one Hardware_Initialize call.
struct HardwareRequest {
    int32_t hardwareCode;
    HardwareRecord record;

    int32_t baudKbps() const;
    // The record as the library reads it; valid while this object lives.
    const void* recordAddress() const;
    std::size_t recordSize() const;
};

// The request for interface row `row` from the selected texts: addresses
// read as hexadecimal, IRQs as decimal with the low 8 bits kept, the module
// device as the item's index ("Any" -> 255). nullopt for a row outside the
// table or a baud rate text that is not an item.
std::optional<HardwareRequest> BuildRequest(int row, const Selection& selection);

// Reads the twelve values in ListId order. A value that is missing, or whose
// text matches no item exactly, selects the list's default, which is written
// back at once.
Selection LoadHardwareSettings(QSettings& settings);
// Writes the twelve values, those of the interfaces not in use included.
void SaveHardwareSettings(QSettings& settings, const Selection& selection);

}  // namespace hwconfig
