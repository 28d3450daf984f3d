#include "hardware/hardware_selection.h"

#include <algorithm>

#include "gui/settings_store.h"

namespace hwconfig {
namespace {

// Module device numbers 0..254; the item after them means any device.
constexpr int kModuleDeviceCount = 255;
constexpr uint8_t kAnyModuleDevice = 255;
constexpr uint32_t kIrqMask = 0xFF;

constexpr int kHexBase = 16;
constexpr int kDecimalBase = 10;

struct BaudItem {
    const char* text;
    int32_t kbps;
};

constexpr BaudItem kBaudItems[] = {
    {"1Mbps", 1000},  {"800kbps", 800}, {"500kbps", 500}, {"250kbps", 250},
    {"125kbps", 125}, {"50kbps", 50},   {"20kbps", 20},   {"10kbps", 10},
};

constexpr const char* kDefaultBaud = "125kbps";
constexpr const char* kBaudCaption = "CAN Bus Baud Rate:";
constexpr const char* kBaudHint = "Select the CAN Bus Baud Rate to use";

constexpr const char* kPortTypeItems[] = {"Standard", "EPP"};
constexpr uint32_t kPortTypeStandard = 0;
constexpr uint32_t kPortTypeEpp = 1;

QStringList BaudItems() {
    QStringList items;
    for (const BaudItem& item : kBaudItems) items << QString::fromLatin1(item.text);
    return items;
}

QStringList ModuleDeviceItems() {
    QStringList items;
    for (int device = 0; device < kModuleDeviceCount; ++device) items << QString::number(device);
    items << QStringLiteral("Any");
    return items;
}

QStringList DecimalItems(int first, int last) {
    QStringList items;
    for (int value = first; value <= last; ++value) items << QString::number(value);
    return items;
}

ListSpec BaudList(const char* objectName) {
    const QString name = QString::fromLatin1(objectName);
    return {name,
            name,
            QString::fromLatin1(kBaudCaption),
            QString::fromLatin1(kBaudHint),
            BaudItems(),
            QString::fromLatin1(kDefaultBaud)};
}

constexpr ListId kParallelLists[] = {kParallelAddress, kParallelIrq, kParallelPortType,
                                     kParallelBaud};
constexpr ListId kUsbLists[] = {kUsbBaud};
constexpr ListId kPciLists[] = {kPciBaud};
constexpr ListId kIsaLists[] = {kIsaAddress, kIsaIrq, kIsaBaud};
constexpr ListId kModuleLists[] = {kModuleDevice, kModuleBaud};

const std::array<InterfaceRow, kInterfaceRowCount>& Rows() {
    static const std::array<InterfaceRow, kInterfaceRowCount> rows = {{
        {QStringLiteral("Trelvik Kestra Parallel Port Dongle"), HW_PARALLEL_DONGLE, kParallelLists},
        {QStringLiteral("Trelvik Kestra USB"), HW_USB, kUsbLists},
        {QStringLiteral("Trelvik Kestra PCI"), HW_PCI, kPciLists},
        {QStringLiteral("Trelvik Kestra ISA II"), HW_ISA, kIsaLists},
        {QStringLiteral("Ostra USB Module"), HW_USB_MODULE, kModuleLists},
    }};
    return rows;
}

std::array<ListSpec, kListCount> MakeLists() {
    QStringList rowTexts;
    for (const InterfaceRow& row : Rows()) rowTexts << row.text;
    return {{
        {QStringLiteral("hwselect"), QStringLiteral("hwselect"), QStringLiteral("CAN Interface:"),
         QStringLiteral("Select the CAN interface to use"), rowTexts, rowTexts.first()},
        {QStringLiteral("hw0_addr"),
         QStringLiteral("hw0_portaddr"),
         QStringLiteral("Printer Port Address: 0x"),
         QStringLiteral("Select the address of the printer port that the CAN interface is "
                        "connected to"),
         {"100", "120", "140", "200", "220", "278", "2E8", "2F8", "300", "320", "340", "378", "3BC",
          "3E8", "3F8"},
         QStringLiteral("378")},
        {QStringLiteral("hw0_irq"), QStringLiteral("hw0_irq"),
         QStringLiteral("Printer Port Interrupt (IRQ):"),
         QStringLiteral("Select the IRQ used for the selected printer port"), DecimalItems(0, 15),
         QStringLiteral("7")},
        {QStringLiteral("hw0_porttype"),
         QStringLiteral("hw0_porttype"),
         QStringLiteral("Printer Port Type:"),
         QStringLiteral("Select the printer port type"),
         {kPortTypeItems[0], kPortTypeItems[1]},
         QString::fromLatin1(kPortTypeItems[0])},
        BaudList("hw0_baudrate"),
        BaudList("hw1_baudrate"),
        {QStringLiteral("hw2_device"), QStringLiteral("hw2_device"),
         QStringLiteral("Device Number:"),
         QStringLiteral("Select the number of the USB module to use, or Any for the first one "
                        "found"),
         ModuleDeviceItems(), QStringLiteral("Any")},
        BaudList("hw2_baudrate"),
        BaudList("hw3_baudrate"),
        {QStringLiteral("hw4_addr"),
         QStringLiteral("hw4_addr"),
         QStringLiteral("IO Address: 0x"),
         QStringLiteral("Select the I/O address of the ISA card"),
         {"200", "220", "240", "260", "280", "2A0", "2C0", "2E0", "300", "320", "340", "360",
          "380"},
         QStringLiteral("300")},
        {QStringLiteral("hw4_irq"),
         QStringLiteral("hw4_irq"),
         QStringLiteral("Interrupt (IRQ):"),
         QStringLiteral("Select the IRQ used by the ISA card"),
         {"3", "4", "5", "7", "10", "11", "12", "15"},
         QStringLiteral("10")},
        BaudList("hw4_baudrate"),
    }};
}

// Value of an ASCII digit or letter (0-35), -1 for any other character.
int DigitValue(QChar character) {
    const char16_t code = character.unicode();
    if (code >= u'0' && code <= u'9') return code - u'0';
    if (code >= u'a' && code <= u'z') return code - u'a' + 10;
    if (code >= u'A' && code <= u'Z') return code - u'A' + 10;
    return -1;
}

uint32_t ReadPrefix(const QString& text, int base) {
    uint32_t value = 0;
    for (const QChar character : text) {
        const int digit = DigitValue(character);
        if (digit < 0 || digit >= base) break;
        value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
    }
    return value;
}

HwParallelParams ParallelRecord(int32_t baud, const Selection& selection) {
    HwParallelParams record{};
    record.baudKbps = baud;
    record.portAddress = ReadHexPrefix(selection[kParallelAddress]);
    record.irq = ReadDecimalPrefix(selection[kParallelIrq]) & kIrqMask;
    record.portType = selection[kParallelPortType] == QLatin1String(kPortTypeItems[1])
                          ? kPortTypeEpp
                          : kPortTypeStandard;
    return record;
}

HwIsaParams IsaRecord(int32_t baud, const Selection& selection) {
    HwIsaParams record{};
    record.baudKbps = baud;
    record.ioAddress = ReadHexPrefix(selection[kIsaAddress]);
    record.irq = ReadDecimalPrefix(selection[kIsaIrq]) & kIrqMask;
    return record;
}

HwUsbModuleParams ModuleRecord(int32_t baud, const Selection& selection) {
    HwUsbModuleParams record{};
    record.baudKbps = baud;
    const qsizetype index = List(kModuleDevice).items.indexOf(selection[kModuleDevice]);
    record.deviceNumber =
        index >= 0 && index < kModuleDeviceCount ? static_cast<uint8_t>(index) : kAnyModuleDevice;
    return record;
}

}  // namespace

const ListSpec& List(ListId id) {
    static const std::array<ListSpec, kListCount> lists = MakeLists();
    return lists.at(static_cast<std::size_t>(id));
}

const InterfaceRow* Row(int row) {
    if (row < 0 || row >= kInterfaceRowCount) return nullptr;
    return &Rows()[static_cast<std::size_t>(row)];
}

Selection DefaultSelection() {
    Selection selection;
    for (int id = 0; id < kListCount; ++id) selection[id] = List(ListId(id)).defaultItem;
    return selection;
}

std::optional<int32_t> BaudKbps(const QString& item) {
    for (const BaudItem& baud : kBaudItems) {
        if (item == QLatin1String(baud.text)) return baud.kbps;
    }
    return std::nullopt;
}

uint32_t ReadHexPrefix(const QString& text) {
    return ReadPrefix(text, kHexBase);
}
uint32_t ReadDecimalPrefix(const QString& text) {
    return ReadPrefix(text, kDecimalBase);
}

int32_t HardwareRequest::baudKbps() const {
    return std::visit([](const auto& params) -> int32_t { return params.baudKbps; }, record);
}

const void* HardwareRequest::recordAddress() const {
    return std::visit([](const auto& params) -> const void* { return &params; }, record);
}

std::size_t HardwareRequest::recordSize() const {
    return std::visit([](const auto& params) { return sizeof params; }, record);
}

std::optional<HardwareRequest> BuildRequest(int row, const Selection& selection) {
    const InterfaceRow* interface = Row(row);
    if (interface == nullptr) return std::nullopt;
    const ListId baudList = interface->parameterLists.back();
    const std::optional<int32_t> baud = BaudKbps(selection[baudList]);
    if (!baud) return std::nullopt;
    switch (interface->hardwareCode) {
        case HW_PARALLEL_DONGLE:
            return HardwareRequest{HW_PARALLEL_DONGLE, ParallelRecord(*baud, selection)};
        case HW_USB:
        case HW_PCI:
            return HardwareRequest{interface->hardwareCode, HwBaudParams{*baud}};
        case HW_ISA:
            return HardwareRequest{HW_ISA, IsaRecord(*baud, selection)};
        case HW_USB_MODULE:
            return HardwareRequest{HW_USB_MODULE, ModuleRecord(*baud, selection)};
        default:
            return std::nullopt;
    }
}

Selection LoadHardwareSettings(QSettings& settings) {
    Selection selection;
    for (int id = 0; id < kListCount; ++id) {
        const ListSpec& list = List(ListId(id));
        const std::optional<QString> stored = ReadString(settings, list.settingsKey);
        if (stored && list.items.contains(*stored, Qt::CaseSensitive)) {
            selection[id] = *stored;
        } else {
            selection[id] = list.defaultItem;
            WriteString(settings, list.settingsKey, list.defaultItem);
        }
    }
    return selection;
}

void SaveHardwareSettings(QSettings& settings, const Selection& selection) {
    for (int id = 0; id < kListCount; ++id) {
        WriteString(settings, List(ListId(id)).settingsKey, selection[id]);
    }
}

}  // namespace hwconfig
