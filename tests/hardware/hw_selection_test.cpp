// The hardware choice without widgets: number reading, bit rates, the
// parameter records handed to the library, stored choices, placement.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>

#include "hardware/hardware_selection.h"
#include "gui/window_placement.h"

using namespace hwconfig;

namespace {

template <class Record>
QByteArray Bytes(const Record& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

QByteArray Bytes(const HardwareRequest& request) {
    return QByteArray(static_cast<const char*>(request.recordAddress()),
                      static_cast<qsizetype>(request.recordSize()));
}

Selection With(std::initializer_list<std::pair<ListId, const char*>> changes,
               Selection selection = DefaultSelection()) {
    for (const auto& [id, text] : changes) selection[id] = QString::fromLatin1(text);
    return selection;
}

}  // namespace

TEST(HwSelectionNumbers, ReadingStopsAtTheFirstCharacterOutsideTheBase) {
    struct Case {
        const char* text;
        uint32_t hex;
        uint32_t decimal;
    };
    const Case cases[] = {
        {"2E8", 0x2E8, 2}, {"3bc", 0x3BC, 3},           {"", 0, 0},
        {"0x10", 0, 0},    {"FFFFFFFF", 0xFFFFFFFF, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadHexPrefix(QString::fromLatin1(c.text)), c.hex) << c.text;
        EXPECT_EQ(ReadDecimalPrefix(QString::fromLatin1(c.text)), c.decimal) << c.text;
    }
}

// Rates of the items: the records below.
TEST(HwSelectionNumbers, OnlyBaudItemsHaveARate) {
    EXPECT_EQ(BaudKbps("10kbps"), 10);
    for (const char* text : {"100kbps", "1mbps", "125kbps "})
        EXPECT_FALSE(BaudKbps(QString::fromLatin1(text))) << text;
}

TEST(HwSelectionRequest, EachRowBuildsItsCodeAndRecord) {
    struct Case {
        const char* name;
        int row;
        Selection selection;
        int32_t code;
        QByteArray record;
    };
    // Every baud list holds a different rate, so a row reading the wrong
    // list shows up in the record.
    const Selection rates = With({{kParallelBaud, "1Mbps"},
                                  {kUsbBaud, "800kbps"},
                                  {kModuleBaud, "50kbps"},
                                  {kPciBaud, "20kbps"},
                                  {kIsaBaud, "250kbps"}});
    const Case cases[] = {
        {"parallel EPP", 0,
         With({{kParallelAddress, "2E8"}, {kParallelIrq, "15"}, {kParallelPortType, "EPP"}}, rates),
         HW_PARALLEL_DONGLE, Bytes(HwParallelParams{1000, 0x2E8, 15, 1})},
        {"usb", 1, rates, HW_USB, Bytes(HwBaudParams{800})},
        {"pci reads hw3", 2, rates, HW_PCI, Bytes(HwBaudParams{20})},
        {"isa", 3, With({{kIsaAddress, "2A0"}, {kIsaIrq, "12"}}, rates), HW_ISA,
         Bytes(HwIsaParams{250, 0x2A0, 12})},
        {"module any", 4, rates, HW_USB_MODULE, Bytes(HwUsbModuleParams{50, 255})},
        {"module 0", 4, With({{kModuleDevice, "0"}}, rates), HW_USB_MODULE,
         Bytes(HwUsbModuleParams{50, 0})},
        {"irq keeps low 8 bits", 3, With({{kIsaIrq, "300"}}, rates), HW_ISA,
         Bytes(HwIsaParams{250, 0x300, 300 & 0xFF})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<HardwareRequest> request = BuildRequest(c.row, c.selection);
        ASSERT_TRUE(request);
        EXPECT_EQ(request->hardwareCode, c.code);
        EXPECT_EQ(Bytes(*request).toHex(' '), c.record.toHex(' '));
        int32_t baud = 0;
        std::memcpy(&baud, c.record.constData(), sizeof baud);
        EXPECT_EQ(request->baudKbps(), baud);
    }
}

TEST(HwSelectionRequest, NoRequestForAnUnknownRowOrBaudText) {
    EXPECT_FALSE(BuildRequest(-1, DefaultSelection()));
    EXPECT_FALSE(BuildRequest(kInterfaceRowCount, DefaultSelection()));
    EXPECT_FALSE(BuildRequest(2, With({{kPciBaud, "100kbps"}})));
    EXPECT_TRUE(BuildRequest(2, With({{kUsbBaud, "100kbps"}})));
}

// Defaults written into an empty store: hw_config_dialog_test (FirstStart...).
TEST(HwSelectionSettings, StoredItemsAreSelectedAndUnknownTextsReplacedByTheDefault) {
    QTemporaryDir folder;
    QSettings settings{folder.filePath("hw.ini"), QSettings::IniFormat};
    settings.setValue("hwselect", "Ostra USB Module");
    settings.setValue("hw0_portaddr", "3BC");
    settings.setValue("hw0_irq", "16");        // not an item
    settings.setValue("hw0_porttype", "epp");  // case differs
    settings.setValue("hw2_device", "255");    // "Any" is the item
    settings.setValue("hw3_baudrate", "1Mbps");
    settings.setValue("hw4_irq", " 12");  // leading space
    EXPECT_EQ(LoadHardwareSettings(settings), With({{kInterfaceList, "Ostra USB Module"},
                                                    {kParallelAddress, "3BC"},
                                                    {kPciBaud, "1Mbps"}}));
    EXPECT_EQ(settings.value("hw0_irq").toString(), "7");
}

TEST(WindowPlacement, CentredWithHalvesRoundedTowardZero) {
    EXPECT_EQ(CentredTopLeft(QRect(0, 0, 801, 600), QSize(300, 201)), QPoint(250, 199));
    EXPECT_EQ(CentredTopLeft(QRect(0, 0, 800, 600), QSize(900, 601)), QPoint(-50, 0));
}

TEST(WindowPlacement, LeftEdgeComesBackOntoTheSingleMonitor) {
    struct Case {
        int left, width, expected;
    };
    const Case cases[] = {
        {799, 800, 799}, {800, 800, 0}, {1700, 800, 100}, {-20, 800, 0}, {300, 0, 300}, {-5, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SingleMonitorLeft(c.left, c.width), c.expected) << c.left << " on " << c.width;
    }
}
