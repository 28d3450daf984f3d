// The Linux channel in the hardware configuration dialog: what it shows for
// each adapter, the interfaces it offers, and when the choice reaches the
// library's per-user file. The library's channel functions run for real
// (private XDG_CONFIG_HOME); only the interfaces present are made up.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

#include "canlib/morvellchannels.h"
#include "error_dialog_answerer.h"
#include "gui/result_text.h"
#include "gui_support/gui_test_support.h"
#include "hardware/hw_config_dialog.h"
#include "hardware/hw_init_error_dialog.h"

namespace {

// The library's directory with the interfaces of a made-up machine.
class MadeUpMachine : public ChannelDirectory {
public:
    explicit MadeUpMachine(std::vector<CanInterfaceEntry> present) : present_(std::move(present)) {}
    ChannelOrigin resolve(const hwconfig::HardwareRequest& r) override { return real_->resolve(r); }
    std::vector<CanInterfaceEntry> interfaces() override { return present_; }
    ChannelOutcome check(const QString& c) override { return real_->check(c); }
    ChannelOutcome save(int32_t code, const QString& c) override { return real_->save(code, c); }

private:
    std::unique_ptr<ChannelDirectory> real_ = MakeLibraryChannelDirectory();
    std::vector<CanInterfaceEntry> present_;
};

QString ConfigPath() {
    return qEnvironmentVariable("XDG_CONFIG_HOME") + "/Trelvik-System/morvellcanopen.conf";
}

QString ConfigText() {
    QFile file(ConfigPath());
    if (!file.open(QIODevice::ReadOnly)) return QStringLiteral("<none>");
    return QString::fromUtf8(file.readAll());
}

// What Hardware_Initialize would open for a code now.
QString LibraryChannel(int32_t code) {
    ChannelResolution resolution{};
    LibraryResult result{};
    const HwUsbModuleParams record{125, 255};
    Channel_Resolve(code, &record, &resolution, &result);
    return QString::fromUtf8(resolution.channel);
}

class HwConfigChannel : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        QFile::remove(ConfigPath());
        unsetenv("MORVELLCANOPEN_CHANNEL");
    }
    void TearDown() override {
        unsetenv("MORVELLCANOPEN_CHANNEL");
        QFile::remove(ConfigPath());
    }

    TWin_HWConfig& makeDialog() {
        dialog = std::make_unique<TWin_HWConfig>(
            errorDialog,
            [this](int32_t code, const void*, LibraryResult* result) {
                openedChannels << LibraryChannel(code);  // what the library would open now
                *result = answers.empty() ? LibraryResult{} : answers.front();
                if (!answers.empty()) answers.pop_front();
            },
            std::make_unique<MadeUpMachine>(
                std::vector<CanInterfaceEntry>{{"can0", "up", 500000}, {"vcan0", "unknown", 0}}),
            &notifier);
        dialog->show();
        return *dialog;
    }

    QComboBox* box(const char* name) { return guitest::find<QComboBox>(dialog.get(), name); }
    QComboBox* channel() { return box("channel"); }
    QString origin() { return guitest::find<QLabel>(dialog.get(), "channel_origin")->text(); }
    void chooseAdapter(const QString& text) {
        box("hwselect")->setCurrentIndex(box("hwselect")->findText(text));
    }
    void type(const QString& text) {
        channel()->lineEdit()->selectAll();
        QTest::keyClick(channel()->lineEdit(), Qt::Key_Backspace);
        QTest::keyClicks(channel()->lineEdit(), text);
    }
    void pick(int item) {
        channel()->setCurrentIndex(item);
        Q_EMIT channel()->activated(item);
    }
    void clickOk() { guitest::find<QPushButton>(dialog.get(), "ok")->click(); }

    TWin_HWInitError errorDialog;
    guitest::RecordingNotifier notifier;
    std::unique_ptr<TWin_HWConfig> dialog;
    std::deque<LibraryResult> answers;
    QStringList openedChannels;
    ErrorDialogAnswerer errors{errorDialog};
};

TEST_F(HwConfigChannel, ShowsWhatEachAdapterOpensAndTheInterfacesPresent) {
    makeDialog();
    EXPECT_EQ(guitest::find<QLabel>(dialog.get(), "channel_label")->buddy(), channel());
    EXPECT_EQ(guitest::find<QLabel>(dialog.get(), "channel_label")->text(), "Linux Channel:");
    QStringList items;
    for (int i = 0; i < channel()->count(); ++i) items << channel()->itemText(i);
    EXPECT_EQ(items, QStringList({"socketcan:can0 (up, 500 kbit/s)", "socketcan:vcan0 (unknown)",
                                  "virtual:vbus0 (quorbus virtual bus)"}));

    const struct {
        const char* adapter;
        const char* device;
        const char* channel;
    } rows[] = {
        {"Trelvik Kestra Parallel Port Dongle", nullptr, "virtual:vbus0"},
        {"Trelvik Kestra USB", nullptr, "socketcan:can0"},
        {"Ostra USB Module", "3", "socketcan:can3"},
        {"Ostra USB Module", "Any", "socketcan:can0"},
        {"Trelvik Kestra ISA II", nullptr, "socketcan:can0"},
    };
    for (const auto& row : rows) {
        chooseAdapter(row.adapter);
        if (row.device) box("hw2_device")->setCurrentIndex(box("hw2_device")->findText(row.device));
        EXPECT_EQ(channel()->currentText(), row.channel) << row.adapter;
        EXPECT_TRUE(channel()->isEnabled());
        EXPECT_EQ(origin(), "The default for this adapter.");
    }
}

TEST_F(HwConfigChannel, TheChoiceIsSavedBeforeOpeningSoQuorcmdOpensTheSameBus) {
    makeDialog();
    chooseAdapter("Trelvik Kestra USB");
    pick(1);
    EXPECT_EQ(channel()->currentText(), "socketcan:vcan0");
    clickOk();
    EXPECT_EQ(openedChannels, QStringList{"socketcan:vcan0"});
    EXPECT_TRUE(dialog->configured());
    EXPECT_EQ(ConfigText(), "adapter2 = socketcan:vcan0\n");
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(HwConfigChannel, AnUnchangedDefaultWritesNothing) {
    makeDialog();
    chooseAdapter("Trelvik Kestra PCI");
    clickOk();
    EXPECT_EQ(openedChannels, QStringList{"socketcan:can0"});
    EXPECT_EQ(ConfigText(), "<none>");
}

TEST_F(HwConfigChannel, ATextThatDoesNotParseIsRefusedWithTheReasonBeforeAnythingIsSaved) {
    makeDialog();
    chooseAdapter("Trelvik Kestra USB");
    for (const char* text : {"socketcand:gw", "can0", ""}) {
        notifier.boxes.clear();
        type(text);
        clickOk();
        EXPECT_TRUE(openedChannels.isEmpty()) << text;
        EXPECT_FALSE(dialog->configured());
        ASSERT_EQ(notifier.boxes.size(), 1u) << text;
        EXPECT_EQ(notifier.boxes[0].first, Notifier::Kind::Warning);
        EXPECT_TRUE(notifier.boxes[0].second.startsWith("The CAN channel cannot be used: "))
            << notifier.boxes[0].second.toStdString();
        EXPECT_TRUE(notifier.boxes[0].second.contains(QString("'%1'").arg(text)))
            << notifier.boxes[0].second.toStdString();
    }
    EXPECT_EQ(ConfigText(), "<none>");
    // A socketcand gateway typed in full is taken in its canonical form.
    type("socketcand:gw/can1");
    clickOk();
    EXPECT_EQ(openedChannels, QStringList{"socketcand:gw:29536/can1"});
}

TEST_F(HwConfigChannel, AFailedOpeningRestoresTheFileAndKeepsTheEdit) {
    QDir().mkpath(QFileInfo(ConfigPath()).path());
    QFile file(ConfigPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# lab bench\nadapter2 = socketcan:can1\n");
    file.close();
    answers.push_back(MakeResult(7, "no quorbus"));
    makeDialog();
    chooseAdapter("Trelvik Kestra USB");
    EXPECT_EQ(channel()->currentText(), "socketcan:can1");
    EXPECT_EQ(origin(), QString("Saved in %1.").arg(ConfigPath()));
    type("virtual:lab");
    chooseAdapter("Trelvik Kestra PCI");  // another adapter and back keeps the edit
    chooseAdapter("Trelvik Kestra USB");
    EXPECT_EQ(channel()->currentText(), "virtual:lab");
    clickOk();
    EXPECT_EQ(openedChannels, QStringList{"virtual:lab"});
    EXPECT_EQ(errors.shown.size(), 1);
    EXPECT_EQ(ConfigText(), "# lab bench\nadapter2 = socketcan:can1\n");
    EXPECT_EQ(channel()->currentText(), "virtual:lab");
    clickOk();
    EXPECT_TRUE(dialog->configured());
    EXPECT_EQ(ConfigText(), "# lab bench\nadapter2 = virtual:lab\n");
}

TEST_F(HwConfigChannel, TheEnvironmentWinsAndIsShownReadOnlyWithTheReason) {
    setenv("MORVELLCANOPEN_CHANNEL", "virtual:ci", 1);
    makeDialog();
    chooseAdapter("Trelvik Kestra USB");
    EXPECT_EQ(channel()->currentText(), "virtual:ci");
    EXPECT_FALSE(channel()->isEnabled());
    EXPECT_EQ(origin(),
              "Set by MORVELLCANOPEN_CHANNEL in the environment; unset it to choose the channel "
              "here.");
    clickOk();
    EXPECT_EQ(openedChannels, QStringList{"virtual:ci"});
    EXPECT_EQ(ConfigText(), "<none>");
}

TEST(ChannelTexts, InterfaceItems) {
    const std::pair<CanInterfaceEntry, const char*> rows[] = {
        {{"can0", "up", 500000}, "socketcan:can0 (up, 500 kbit/s)"},
        {{"vcan0", "unknown", 0}, "socketcan:vcan0 (unknown)"},
        {{"slcan0", "", 125000}, "socketcan:slcan0 (125 kbit/s)"},
        {{"can1", "", 0}, "socketcan:can1"},
    };
    for (const auto& [entry, text] : rows) EXPECT_EQ(InterfaceItemText(entry), text);
}

}  // namespace
