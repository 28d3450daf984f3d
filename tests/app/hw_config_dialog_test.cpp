// The hardware configuration dialog: what it proposes, what it hands to the
// library for each adapter, what it stores and when.
#include "app/hw_config_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "app/hw_init_error_dialog.h"
#include "app/result_text.h"
#include "gui_test_support.h"
#include "support/child_process.h"

namespace {

using StoredValues = std::map<QString, QString>;

StoredValues ReadStore() {
    QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    StoredValues values;
    for (const QString& key : settings.allKeys()) values[key] = settings.value(key).toString();
    return values;
}

void Store(const QString& key, const QString& value) {
    QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    settings.setValue(key, value);
}

// Size of the parameter record of each hardware code, as the library reads it.
int RecordSize(int32_t code) {
    switch (code) {
        case 1:
            return 16;
        case 2:
        case 4:
            return 4;
        case 3:
            return 5;
        case 5:
            return 12;
        default:
            return 0;
    }
}

template <class Record>
QByteArray Bytes(const Record& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

struct OpenCall {
    int32_t code;
    QByteArray record;
};

// Records each opening and answers with the queued results (success when
// none is queued).
struct RecordingOpener {
    std::vector<OpenCall> calls;
    std::deque<LibraryResult> answers;

    InterfaceOpener opener() {
        return [this](int32_t code, const void* record, LibraryResult* result) {
            calls.push_back({code, QByteArray(static_cast<const char*>(record), RecordSize(code))});
            *result = answers.empty() ? LibraryResult{} : answers.front();
            if (!answers.empty()) answers.pop_front();
        };
    }
};

const char* const kParameterControls[] = {
    "hw0_addr",     "hw0_irq",      "hw0_porttype", "hw0_baudrate", "hw1_baudrate", "hw2_device",
    "hw2_baudrate", "hw3_baudrate", "hw4_addr",     "hw4_irq",      "hw4_baudrate",
};

class HwConfigDialog : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        // Answers the error dialog whenever the nested event loop of its
        // exec() shows it.
        errorAnswerer.setInterval(5);
        QObject::connect(&errorAnswerer, &QTimer::timeout, [this] {
            if (!errorDialog.isVisible()) return;
            shownErrors << guitest::find<QLabel>(&errorDialog, "error")->text();
            guitest::find<QPushButton>(&errorDialog, "close")->click();
        });
        errorAnswerer.start();
    }

    TWin_HWConfig& makeDialog(InterfaceOpener opener) {
        dialog = std::make_unique<TWin_HWConfig>(errorDialog, std::move(opener));
        return *dialog;
    }
    TWin_HWConfig& makeDialog() { return makeDialog(recorder.opener()); }

    QComboBox* list(const char* name) { return guitest::find<QComboBox>(dialog.get(), name); }

    void choose(const char* name, const QString& text) {
        QComboBox* box = list(name);
        ASSERT_NE(box, nullptr) << name;
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(index, 0) << name << " has no item " << text.toStdString();
        box->setCurrentIndex(index);
    }

    void clickOk() { guitest::find<QPushButton>(dialog.get(), "ok")->click(); }

    std::set<std::string> visibleParameterControls() {
        std::set<std::string> visible;
        for (const char* name : kParameterControls) {
            for (const QString& object :
                 {QString::fromLatin1(name), QString::fromLatin1(name) + "_label"}) {
                QWidget* widget = guitest::find<QWidget>(dialog.get(), object);
                EXPECT_NE(widget, nullptr) << object.toStdString();
                if (widget && widget->isVisibleTo(dialog.get()))
                    visible.insert(object.toStdString());
            }
        }
        return visible;
    }

    RecordingOpener recorder;
    TWin_HWInitError errorDialog;
    std::unique_ptr<TWin_HWConfig> dialog;
    QStringList shownErrors;
    QTimer errorAnswerer;
};

const StoredValues kDefaultStore = {
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

TEST_F(HwConfigDialog, FirstStartProposesAndStoresTheDefaultsBeforeOk) {
    TWin_HWConfig& d = makeDialog();
    EXPECT_EQ(d.windowTitle(), "Hardware Configuration");
    EXPECT_FALSE(d.configured());
    EXPECT_EQ(ReadStore(), kDefaultStore);
    const std::pair<const char*, const char*> selected[] = {
        {"hwselect", "Trelvik Kestra Parallel Port Dongle"},
        {"hw0_addr", "378"},
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
    for (const auto& [name, text] : selected) EXPECT_EQ(list(name)->currentText(), text) << name;
    EXPECT_EQ(list("hw2_device")->count(), 256);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(HwConfigDialog, StoredTextsMatchingNoItemSelectTheDefaultAndAreWrittenBack) {
    Store("hwselect", "Trelvik Kestra Firewire");
    Store("hw0_porttype", "epp");
    Store("hw2_device", "255");
    Store("hw4_irq", "9");
    Store("hw1_baudrate", "20kbps");
    TWin_HWConfig& d = makeDialog();
    EXPECT_EQ(list("hwselect")->currentIndex(), 0);
    EXPECT_EQ(list("hw0_porttype")->currentText(), "Standard");
    EXPECT_EQ(list("hw2_device")->currentText(), "Any");
    EXPECT_EQ(list("hw4_irq")->currentText(), "10");
    EXPECT_EQ(list("hw1_baudrate")->currentText(), "20kbps");
    StoredValues expected = kDefaultStore;
    expected["hw1_baudrate"] = "20kbps";
    EXPECT_EQ(ReadStore(), expected);

    d.show();
    clickOk();
    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].code, 1);
    EXPECT_TRUE(d.configured());
}

TEST_F(HwConfigDialog, OkHandsEachAdapterItsCodeAndRecord) {
    struct Case {
        const char* row;
        std::vector<std::pair<const char*, const char*>> choices;
        int32_t code;
        QByteArray record;
        int32_t kbps;
    };
    const Case cases[] = {
        {"Trelvik Kestra Parallel Port Dongle",
         {{"hw0_addr", "2E8"},
          {"hw0_irq", "15"},
          {"hw0_porttype", "EPP"},
          {"hw0_baudrate", "1Mbps"}},
         1,
         Bytes(HwParallelParams{1000, 0x2E8, 15, 1}),
         1000},
        {"Trelvik Kestra USB", {{"hw1_baudrate", "800kbps"}}, 2, Bytes(HwBaudParams{800}), 800},
        {"Trelvik Kestra PCI",
         {{"hw3_baudrate", "20kbps"}, {"hw2_baudrate", "50kbps"}},
         4,
         Bytes(HwBaudParams{20}),
         20},
        {"Trelvik Kestra ISA II",
         {{"hw4_addr", "2A0"}, {"hw4_irq", "12"}, {"hw4_baudrate", "250kbps"}},
         5,
         Bytes(HwIsaParams{250, 0x2A0, 12}),
         250},
        {"Ostra USB Module",
         {{"hw2_device", "Any"}, {"hw2_baudrate", "50kbps"}},
         3,
         Bytes(HwUsbModuleParams{50, 255}),
         50},
        {"Ostra USB Module",
         {{"hw2_device", "0"}, {"hw2_baudrate", "10kbps"}},
         3,
         Bytes(HwUsbModuleParams{10, 0}),
         10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        guitest::clearSettings();
        recorder.calls.clear();
        TWin_HWConfig& d = makeDialog();
        d.show();
        // Every baud list off its default and off the expected rate, so a
        // row reading the wrong list is caught.
        for (const char* baud :
             {"hw0_baudrate", "hw1_baudrate", "hw2_baudrate", "hw3_baudrate", "hw4_baudrate"}) {
            choose(baud, "500kbps");
        }
        choose("hwselect", c.row);
        for (const auto& [name, text] : c.choices) choose(name, text);
        clickOk();

        ASSERT_EQ(recorder.calls.size(), 1u);
        EXPECT_EQ(recorder.calls[0].code, c.code);
        EXPECT_EQ(recorder.calls[0].record.toHex(' '), c.record.toHex(' '));
        EXPECT_TRUE(d.configured());
        EXPECT_EQ(d.baudRateKbps(), c.kbps);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(ReadStore()["hwselect"], c.row);
        for (const auto& [name, text] : c.choices) {
            const QString key = QString::fromLatin1(name) == "hw0_addr" ? "hw0_portaddr" : name;
            EXPECT_EQ(ReadStore()[key], text) << name;
        }
    }
    EXPECT_TRUE(shownErrors.isEmpty());
}

TEST_F(HwConfigDialog, FailedOpeningShowsTheErrorAndKeepsStoreAndDialog) {
    const LibraryResult failure = MakeResult(7, "no adapter answered on can0");
    recorder.answers.push_back(failure);
    TWin_HWConfig& d = makeDialog();
    d.show();
    choose("hwselect", "Trelvik Kestra ISA II");
    choose("hw4_addr", "380");
    choose("hw4_baudrate", "1Mbps");
    const StoredValues before = ReadStore();

    clickOk();
    ASSERT_EQ(shownErrors.size(), 1);
    EXPECT_EQ(shownErrors[0], ResultText(failure));
    EXPECT_FALSE(errorDialog.isVisible());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.configured());
    EXPECT_EQ(ReadStore(), before);
    EXPECT_EQ(list("hw4_addr")->currentText(), "380");

    clickOk();
    EXPECT_EQ(shownErrors.size(), 1);
    ASSERT_EQ(recorder.calls.size(), 2u);
    EXPECT_EQ(recorder.calls[1].record, recorder.calls[0].record);
    EXPECT_TRUE(d.configured());
    EXPECT_EQ(d.baudRateKbps(), 1000);
    EXPECT_FALSE(d.isVisible());
    StoredValues expected = kDefaultStore;
    expected["hwselect"] = "Trelvik Kestra ISA II";
    expected["hw4_addr"] = "380";
    expected["hw4_baudrate"] = "1Mbps";
    EXPECT_EQ(ReadStore(), expected);
}

TEST_F(HwConfigDialog, LeavingWithoutOpeningConfiguresNothingAndStoresNothing) {
    struct Case {
        const char* name;
        std::function<void(TWin_HWConfig&)> leave;
    };
    const Case cases[] = {
        {"cancel button",
         [](TWin_HWConfig& d) { guitest::find<QPushButton>(&d, "cancel")->click(); }},
        {"window frame", [](TWin_HWConfig& d) { d.close(); }},
        {"escape key", [](TWin_HWConfig& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        guitest::clearSettings();
        TWin_HWConfig& d = makeDialog();
        const StoredValues before = ReadStore();
        choose("hwselect", "Trelvik Kestra USB");
        choose("hw1_baudrate", "10kbps");
        QTimer::singleShot(0, &d, [&d, &c] { c.leave(d); });
        EXPECT_EQ(d.exec(), QDialog::Rejected);
        EXPECT_FALSE(d.configured());
        EXPECT_EQ(ReadStore(), before);
    }
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(HwConfigDialog, ExecReturnsAcceptedOnceTheInterfaceIsOpen) {
    TWin_HWConfig& d = makeDialog();
    QTimer::singleShot(0, &d, [this] { clickOk(); });
    EXPECT_EQ(d.exec(), QDialog::Accepted);
    EXPECT_TRUE(d.configured());
    EXPECT_EQ(d.baudRateKbps(), 125);
}

TEST_F(HwConfigDialog, EachRowShowsOnlyItsControlsAndHiddenChoicesAreKept) {
    const std::pair<const char*, std::set<std::string>> rows[] = {
        {"Trelvik Kestra Parallel Port Dongle",
         {"hw0_addr", "hw0_addr_label", "hw0_irq", "hw0_irq_label", "hw0_porttype",
          "hw0_porttype_label", "hw0_baudrate", "hw0_baudrate_label"}},
        {"Trelvik Kestra USB", {"hw1_baudrate", "hw1_baudrate_label"}},
        {"Trelvik Kestra PCI", {"hw3_baudrate", "hw3_baudrate_label"}},
        {"Trelvik Kestra ISA II",
         {"hw4_addr", "hw4_addr_label", "hw4_irq", "hw4_irq_label", "hw4_baudrate",
          "hw4_baudrate_label"}},
        {"Ostra USB Module",
         {"hw2_device", "hw2_device_label", "hw2_baudrate", "hw2_baudrate_label"}},
    };
    TWin_HWConfig& d = makeDialog();
    EXPECT_EQ(visibleParameterControls(), rows[0].second);
    d.show();
    choose("hw0_addr", "100");
    choose("hw4_irq", "3");
    for (const auto& [row, controls] : rows) {
        choose("hwselect", row);
        EXPECT_EQ(visibleParameterControls(), controls) << row;
        EXPECT_TRUE(guitest::find<QWidget>(&d, "hwselect")->isVisible());
    }
    EXPECT_EQ(list("hw0_addr")->currentText(), "100");
    clickOk();
    EXPECT_EQ(ReadStore()["hw0_portaddr"], "100");
    EXPECT_EQ(ReadStore()["hw4_irq"], "3");
    EXPECT_EQ(ReadStore()["hwselect"], "Ostra USB Module");
}

TEST_F(HwConfigDialog, LabelsHintsAndButtons) {
    TWin_HWConfig& d = makeDialog();
    const std::pair<const char*, const char*> labels[] = {
        {"hwselect", "CAN Interface:"},
        {"hw0_addr", "Printer Port Address: 0x"},
        {"hw0_irq", "Printer Port Interrupt (IRQ):"},
        {"hw0_porttype", "Printer Port Type:"},
        {"hw0_baudrate", "CAN Bus Baud Rate:"},
        {"hw1_baudrate", "CAN Bus Baud Rate:"},
        {"hw2_device", "Device Number:"},
        {"hw2_baudrate", "CAN Bus Baud Rate:"},
        {"hw3_baudrate", "CAN Bus Baud Rate:"},
        {"hw4_addr", "IO Address: 0x"},
        {"hw4_irq", "Interrupt (IRQ):"},
        {"hw4_baudrate", "CAN Bus Baud Rate:"},
    };
    for (const auto& [name, caption] : labels) {
        const auto* label = guitest::find<QLabel>(&d, QString::fromLatin1(name) + "_label");
        ASSERT_NE(label, nullptr) << name;
        EXPECT_EQ(label->text(), caption) << name;
        EXPECT_EQ(label->buddy(), list(name)) << name;
    }
    EXPECT_EQ(list("hwselect")->toolTip(), "Select the CAN interface to use");
    EXPECT_EQ(list("hw0_addr")->toolTip(),
              "Select the address of the printer port that the CAN interface is connected to");
    EXPECT_EQ(list("hw0_irq")->toolTip(), "Select the IRQ used for the selected printer port");
    EXPECT_EQ(list("hw0_porttype")->toolTip(), "Select the printer port type");
    EXPECT_EQ(list("hw3_baudrate")->toolTip(), "Select the CAN Bus Baud Rate to use");
    const auto* ok = guitest::find<QPushButton>(&d, "ok");
    const auto* cancel = guitest::find<QPushButton>(&d, "cancel");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->toolTip(), "Click to configure the CAN interface");
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(cancel->toolTip(), "Click to ignore changes and close the application");
}

TEST_F(HwConfigDialog, CentredWhenCreatedAndOnTheMonitorWhenShown) {
    TWin_HWConfig& d = makeDialog();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(d.pos(),
              QPoint((screen.width() - d.width()) / 2, (screen.height() - d.height()) / 2));
    d.move(screen.width() * 2 + 40, 10);
    d.show();
    // Moved left by whole monitor widths (the offscreen frame adds a margin
    // once shown, so the client area is compared).
    EXPECT_EQ(d.geometry().x(), 40);
}

// Restores an environment variable when the test ends.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(HwConfigDialog, OpensTheVirtualBusThroughTheLibrary) {
    const int port = testsupport::freeLoopbackPort();
    ScopedEnvironment channel("MORVELLCANOPEN_CHANNEL", "virtual:hwtest@" + std::to_string(port));
    ScopedEnvironment quorbus("MORVELLCANOPEN_QUORBUS", testsupport::programPath("quorbus"));
    TWin_HWConfig& d = makeDialog(LibraryInterfaceOpener());
    d.show();
    choose("hw0_baudrate", "250kbps");
    clickOk();
    EXPECT_TRUE(shownErrors.isEmpty()) << shownErrors.join('\n').toStdString();
    EXPECT_TRUE(d.configured());
    EXPECT_EQ(d.baudRateKbps(), 250);
    Hardware_Close();
}

}  // namespace
