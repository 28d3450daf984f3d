// The hardware choice without widgets: number reading, bit rates, the
// parameter records handed to the library, stored choices, placement.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QSettings>
#include <QTemporaryDir>
#include <cstring>

#include "app/hardware_selection.h"
#include "app/window_placement.h"

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

Selection With(std::initializer_list<std::pair<ListId, const char*>> changes) {
    Selection selection = DefaultSelection();
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
        {"378", 0x378, 378}, {"2E8", 0x2E8, 2}, {"3bc", 0x3BC, 3}, {"15", 0x15, 15},
        {"", 0, 0},          {"Any", 0xA, 0},   {"x12", 0, 0},     {"0x10", 0, 0},
        {"12 3", 0x12, 12},  {"FFG", 0xFF, 0},  {"-5", 0, 0},      {"FFFFFFFF", 0xFFFFFFFF, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadHexPrefix(QString::fromLatin1(c.text)), c.hex) << c.text;
        EXPECT_EQ(ReadDecimalPrefix(QString::fromLatin1(c.text)), c.decimal) << c.text;
    }
}

TEST(HwSelectionNumbers, EveryBaudItemHasItsRateAndNoOtherTextDoes) {
    const QStringList items = List(kParallelBaud).items;
    const int32_t rates[] = {1000, 800, 500, 250, 125, 50, 20, 10};
    ASSERT_EQ(items.size(), 8);
    for (int i = 0; i < items.size(); ++i)
        EXPECT_EQ(BaudKbps(items[i]), rates[i]) << items[i].toStdString();
    for (const char* text : {"100kbps", "1mbps", "", "125kbps ", "1000"}) {
        EXPECT_FALSE(BaudKbps(QString::fromLatin1(text))) << text;
    }
}

TEST(HwSelectionTables, EveryDefaultIsAnItemAndKeysAreDistinct) {
    QStringList keys;
    for (int id = 0; id < kListCount; ++id) {
        const ListSpec& list = List(ListId(id));
        EXPECT_TRUE(list.items.contains(list.defaultItem)) << list.objectName.toStdString();
        EXPECT_FALSE(keys.contains(list.settingsKey)) << list.settingsKey.toStdString();
        keys << list.settingsKey;
    }
    // The baud lists share their items but not their keys.
    for (ListId id : {kUsbBaud, kModuleBaud, kPciBaud, kIsaBaud}) {
        EXPECT_EQ(List(id).items, List(kParallelBaud).items);
    }
}

TEST(HwSelectionTables, ModuleDevicesAreZeroTo254ThenAny) {
    const QStringList& items = List(kModuleDevice).items;
    ASSERT_EQ(items.size(), 256);
    EXPECT_EQ(items.first(), "0");
    EXPECT_EQ(items[254], "254");
    EXPECT_EQ(items.last(), "Any");
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
    auto withRates = [&](std::initializer_list<std::pair<ListId, const char*>> changes) {
        Selection selection = rates;
        for (const auto& [id, text] : changes) selection[id] = QString::fromLatin1(text);
        return selection;
    };
    const Case cases[] = {
        {"parallel EPP", 0,
         withRates({{kParallelAddress, "2E8"}, {kParallelIrq, "15"}, {kParallelPortType, "EPP"}}),
         HW_PARALLEL_DONGLE, Bytes(HwParallelParams{1000, 0x2E8, 15, 1})},
        {"parallel standard", 0, withRates({}), HW_PARALLEL_DONGLE,
         Bytes(HwParallelParams{1000, 0x378, 7, 0})},
        {"usb", 1, rates, HW_USB, Bytes(HwBaudParams{800})},
        {"pci reads hw3", 2, rates, HW_PCI, Bytes(HwBaudParams{20})},
        {"isa", 3, withRates({{kIsaAddress, "2A0"}, {kIsaIrq, "12"}}), HW_ISA,
         Bytes(HwIsaParams{250, 0x2A0, 12})},
        {"module any", 4, rates, HW_USB_MODULE, Bytes(HwUsbModuleParams{50, 255})},
        {"module 0", 4, withRates({{kModuleDevice, "0"}}), HW_USB_MODULE,
         Bytes(HwUsbModuleParams{50, 0})},
        {"module 254", 4, withRates({{kModuleDevice, "254"}}), HW_USB_MODULE,
         Bytes(HwUsbModuleParams{50, 254})},
        {"irq keeps low 8 bits", 3, withRates({{kIsaIrq, "300"}}), HW_ISA,
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

class HwSelectionSettings : public ::testing::Test {
protected:
    QTemporaryDir folder;
    QSettings settings{folder.filePath("hw.ini"), QSettings::IniFormat};

    QString stored(const char* key) const { return settings.value(key).toString(); }
};

TEST_F(HwSelectionSettings, MissingValuesGetTheirDefaultsWrittenBack) {
    const Selection loaded = LoadHardwareSettings(settings);
    EXPECT_EQ(loaded, DefaultSelection());
    const std::pair<const char*, const char*> expected[] = {
        {"hwselect", "Trelvik Kestra Parallel Port Dongle"},
        {"hw0_portaddr", "378"},
        {"hw0_irq", "7"},
        {"hw0_porttype", "Standard"},
        {"hw0_baudrate", "125kbps"},
        {"hw1_baudrate", "125kbps"},
        {"hw2_device", "Any"},
        {"hw2_baudrate", "125kbps"},
        {"hw3_baudrate", "125kbps"},
        {"hw4_addr", "300"},
        {"hw4_irq", "10"},
        {"hw4_baudrate", "125kbps"},
    };
    EXPECT_EQ(settings.allKeys().size(), 12);
    for (const auto& [key, text] : expected) EXPECT_EQ(stored(key), text) << key;
}

TEST_F(HwSelectionSettings, StoredItemsAreSelectedAndUnknownTextsReplacedByTheDefault) {
    settings.setValue("hwselect", "Ostra USB Module");
    settings.setValue("hw0_portaddr", "3BC");
    settings.setValue("hw0_irq", "16");        // not an item
    settings.setValue("hw0_porttype", "epp");  // case differs
    settings.setValue("hw2_device", "255");    // "Any" is the item
    settings.setValue("hw3_baudrate", "1Mbps");
    settings.setValue("hw4_irq", " 12");  // leading space
    const Selection loaded = LoadHardwareSettings(settings);

    EXPECT_EQ(loaded[kInterfaceList], "Ostra USB Module");
    EXPECT_EQ(loaded[kParallelAddress], "3BC");
    EXPECT_EQ(loaded[kPciBaud], "1Mbps");
    EXPECT_EQ(loaded[kParallelIrq], "7");
    EXPECT_EQ(loaded[kParallelPortType], "Standard");
    EXPECT_EQ(loaded[kModuleDevice], "Any");
    EXPECT_EQ(loaded[kIsaIrq], "10");
    EXPECT_EQ(stored("hw0_irq"), "7");
    EXPECT_EQ(stored("hw0_porttype"), "Standard");
    EXPECT_EQ(stored("hw2_device"), "Any");
    EXPECT_EQ(stored("hw4_irq"), "10");
    EXPECT_EQ(stored("hw0_portaddr"), "3BC");
}

TEST_F(HwSelectionSettings, SavedChoicesLoadBackUnchanged) {
    const Selection chosen = With({{kInterfaceList, "Trelvik Kestra ISA II"},
                                   {kParallelAddress, "100"},
                                   {kModuleDevice, "17"},
                                   {kIsaAddress, "380"},
                                   {kIsaBaud, "10kbps"}});
    SaveHardwareSettings(settings, chosen);
    EXPECT_EQ(settings.allKeys().size(), 12);
    EXPECT_EQ(stored("hw0_portaddr"), "100");
    EXPECT_EQ(stored("hw4_addr"), "380");
    EXPECT_EQ(LoadHardwareSettings(settings), chosen);
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
        {100, 800, 100}, {799, 800, 799}, {800, 800, 0}, {1700, 800, 100},
        {2400, 800, 0},  {-20, 800, 0},   {300, 0, 300}, {-5, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SingleMonitorLeft(c.left, c.width), c.expected) << c.left << " on " << c.width;
    }
}
