// The hardware configuration dialog: what it proposes, what it hands to the
// library for each adapter, what it stores and when.
#include "hardware/hw_config_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "error_dialog_answerer.h"
#include "gui/result_text.h"
#include "gui_support/gui_test_support.h"
#include "hardware/hw_init_error_dialog.h"

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
    constexpr int kSizes[] = {0, 16, 4, 5, 4, 12};
    return code > 0 && code <= 5 ? kSizes[code] : 0;
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
    void SetUp() override { guitest::clearSettings(); }

    TWin_HWConfig& makeDialog() {
        dialog = std::make_unique<TWin_HWConfig>(errorDialog, recorder.opener());
        return *dialog;
    }

    QComboBox* list(const QString& name) { return guitest::find<QComboBox>(dialog.get(), name); }

    void choose(const char* name, const QString& text) {
        QComboBox* box = list(name);
        ASSERT_NE(box, nullptr) << name;
        const int index = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        ASSERT_GE(index, 0) << name << " has no item " << text.toStdString();
        box->setCurrentIndex(index);
    }

    void clickOk() { guitest::find<QPushButton>(dialog.get(), "ok")->click(); }

    // The parameter lists shown; each label shows and hides with its list.
    std::set<std::string> visibleParameterControls() {
        std::set<std::string> visible;
        for (const char* name : kParameterControls) {
            QWidget* box = list(name);
            QWidget* label = guitest::find<QWidget>(dialog.get(), QString(name) + "_label");
            if (!box || !label) {
                ADD_FAILURE() << name;
                continue;
            }
            EXPECT_EQ(label->isVisibleTo(dialog.get()), box->isVisibleTo(dialog.get())) << name;
            if (box->isVisibleTo(dialog.get())) visible.insert(name);
        }
        return visible;
    }

    RecordingOpener recorder;
    TWin_HWInitError errorDialog;
    std::unique_ptr<TWin_HWConfig> dialog;
    ErrorDialogAnswerer errors{errorDialog};
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

// Item matching rules per list: hw_selection_test.
TEST_F(HwConfigDialog, ProposesAndStoresTheStoredOrDefaultItemsBeforeOk) {
    Store("hwselect", "Trelvik Kestra Firewire");  // no such item
    Store("hw1_baudrate", "20kbps");
    TWin_HWConfig& d = makeDialog();
    EXPECT_EQ(d.windowTitle(), "Hardware Configuration");
    EXPECT_FALSE(d.configured());
    StoredValues expected = kDefaultStore;
    expected["hw1_baudrate"] = "20kbps";
    EXPECT_EQ(ReadStore(), expected);
    for (const auto& [key, text] : expected) {
        const QString name = key == "hw0_portaddr" ? "hw0_addr" : key;
        EXPECT_EQ(list(name)->currentText(), text) << name.toStdString();
    }
    EXPECT_EQ(list("hw2_device")->count(), 256);
    EXPECT_TRUE(recorder.calls.empty());
}

// The record of every row: hw_selection_test. Here: what reaches the opener.
TEST_F(HwConfigDialog, OkHandsTheAdapterItsCodeAndRecordAndStoresTheChoices) {
    TWin_HWConfig& d = makeDialog();
    d.show();
    choose("hwselect", "Trelvik Kestra Parallel Port Dongle");
    choose("hw0_addr", "2E8");
    choose("hw0_irq", "15");
    choose("hw0_porttype", "EPP");
    choose("hw0_baudrate", "1Mbps");
    clickOk();

    ASSERT_EQ(recorder.calls.size(), 1u);
    EXPECT_EQ(recorder.calls[0].code, HW_PARALLEL_DONGLE);
    EXPECT_EQ(recorder.calls[0].record.toHex(' '),
              Bytes(HwParallelParams{1000, 0x2E8, 15, 1}).toHex(' '));
    EXPECT_TRUE(d.configured());
    EXPECT_EQ(d.baudRateKbps(), 1000);
    EXPECT_FALSE(d.isVisible());
    StoredValues expected = kDefaultStore;
    expected["hw0_portaddr"] = "2E8";
    expected["hw0_irq"] = "15";
    expected["hw0_porttype"] = "EPP";
    expected["hw0_baudrate"] = "1Mbps";
    EXPECT_EQ(ReadStore(), expected);
    EXPECT_TRUE(errors.shown.isEmpty());
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
    ASSERT_EQ(errors.shown.size(), 1);
    EXPECT_EQ(errors.shown[0], ResultText(failure));
    EXPECT_FALSE(errorDialog.isVisible());
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(d.configured());
    EXPECT_EQ(ReadStore(), before);
    EXPECT_EQ(list("hw4_addr")->currentText(), "380");

    clickOk();  // a second try that opens stores and closes
    EXPECT_EQ(errors.shown.size(), 1);
    EXPECT_TRUE(d.configured());
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(ReadStore()["hw4_addr"], "380");
}

TEST_F(HwConfigDialog, LeavingWithoutOpeningConfiguresNothingAndStoresNothing) {
    // Cancel ending the program: main_window_test.
    TWin_HWConfig& d = makeDialog();
    const StoredValues before = ReadStore();
    choose("hwselect", "Trelvik Kestra USB");
    choose("hw1_baudrate", "10kbps");
    QTimer::singleShot(0, &d, [&d] { QTest::keyClick(&d, Qt::Key_Escape); });
    EXPECT_EQ(d.exec(), QDialog::Rejected);
    EXPECT_FALSE(d.configured());
    EXPECT_EQ(ReadStore(), before);
    EXPECT_TRUE(recorder.calls.empty());
}

TEST_F(HwConfigDialog, EachRowShowsOnlyItsControlsAndHiddenChoicesAreKept) {
    const std::pair<const char*, std::set<std::string>> rows[] = {
        {"Trelvik Kestra Parallel Port Dongle",
         {"hw0_addr", "hw0_irq", "hw0_porttype", "hw0_baudrate"}},
        {"Trelvik Kestra USB", {"hw1_baudrate"}},
        {"Trelvik Kestra PCI", {"hw3_baudrate"}},
        {"Trelvik Kestra ISA II", {"hw4_addr", "hw4_irq", "hw4_baudrate"}},
        {"Ostra USB Module", {"hw2_device", "hw2_baudrate"}},
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
    const auto* label = guitest::find<QLabel>(&d, "hw0_addr_label");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Printer Port Address: 0x");
    EXPECT_EQ(label->buddy(), list("hw0_addr"));
    EXPECT_EQ(list("hw0_addr")->toolTip(),
              "Select the address of the printer port that the CAN interface is connected to");
    const auto* ok = guitest::find<QPushButton>(&d, "ok");
    const auto* cancel = guitest::find<QPushButton>(&d, "cancel");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(ok->toolTip(), "Click to configure the CAN interface");
    EXPECT_EQ(cancel->text(), "Cancel");
    EXPECT_EQ(cancel->toolTip(), "Click to ignore changes and close the application");
}

}  // namespace
