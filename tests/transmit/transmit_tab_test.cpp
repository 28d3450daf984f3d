// The transmit tab: showing a message, storing every change with clamping,
// cleaning hexadecimal boxes, the delayed range messages, the key selector
// and "Transmit Now".
#include "transmit/transmit_tab.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include "gui/key_preview.h"
#include "gui_support/gui_test_support.h"
#include "transmit_test_support.h"

namespace {

using guitest::find;
using guitest::waitFor;
using transmittest::enabledMessage;

constexpr int kMessages = 20;
const char* const kIdRange = "The ID must be in the range 0x000 - 0x7FF.";
const char* const kNodeRange = "The Node ID must be in the range 0x01 - 0x7F.";
const char* const kRxRange = "The ID to check for reception must be in the range 0x000 - 0x7FF.";

class TransmitTabTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }

    // The tab on a page of a window with the main window's key preview.
    void create(int messages = kMessages) {
        table = std::make_unique<TTransmit>(messages, transmittest::settingsStore());
        engine = std::make_unique<TransmitEngine>(*table, log.sender());
        window = std::make_unique<QWidget>();
        auto* page = new QWidget(window.get());
        page->setObjectName("transmit");
        (new QVBoxLayout(window.get()))->addWidget(page);
        timer.setInterval(2000);
        tab = new TransmitTab(page, *table, *engine, notifier, timer);
        new TransmitKeyPreview(window.get(), *engine, TransmitKeyPreview::Mode::ExceptInLineEdits);
    }

    template <class T>
    T* control(const char* name) {
        T* widget = find<T>(window.get(), name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(name); }
    QComboBox* list(const char* name) { return control<QComboBox>(name); }
    QAbstractButton* button(const char* name) { return control<QAbstractButton>(name); }

    // Replaces the text of a box the way a user does: select all, type.
    void type(QLineEdit* box, const QString& text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    // Texts of the boxes and lists that show a message, in tab order.
    QStringList shown() {
        QStringList texts;
        for (const char* name : {"txname", "txidnum", "txnodeid", "txpdoselector", "txkeyselector",
                                 "txrxid", "txdlcselector", "txd0", "txd1", "txd7"}) {
            QWidget* w = find<QWidget>(window.get(), name);
            if (auto* box = qobject_cast<QLineEdit*>(w)) texts << box->text();
            if (auto* choice = qobject_cast<QComboBox*>(w)) texts << choice->currentText();
        }
        return texts;
    }
    // Names of the checked boxes and radio buttons.
    QStringList checked() {
        QStringList names;
        for (const char* name :
             {"txenable", "txid", "txpdo", "txkeytrig", "txrxtrig", "txtimestamp"}) {
            if (button(name)->isChecked()) names << name;
        }
        return names;
    }

    TransmitMessage stored(int i) {
        TransmitMessage m;
        EXPECT_TRUE(table->GetMessage(i, m));
        return m;
    }

    void select(int i) { list("txlist")->setCurrentIndex(i); }
    void enable(int i) {
        select(i);
        button("txenable")->click();
        ASSERT_TRUE(stored(i).enable);
    }

    transmittest::FrameLog log;
    guitest::RecordingNotifier notifier;
    QTimer timer;
    std::unique_ptr<TTransmit> table;
    std::unique_ptr<TransmitEngine> engine;
    std::unique_ptr<QWidget> window;
    TransmitTab* tab = nullptr;
};

TEST_F(TransmitTabTest, CreationShowsMessageZeroWithoutStoring) {
    TransmitMessage first = enabledMessage(0x2A5, "First");
    first.transmitid = false;
    first.transmitpdo = true;
    first.nodeid = 0x0B;
    first.pdotype = 5;
    first.keytrigger = true;
    first.key = 0x7A;  // F11
    first.rxtrigger = true;
    first.rxid = 0x1C;
    first.dlc = 3;
    first.data = {0x0A, 0xB0, 0, 0, 0, 0, 0, 0xFF};
    first.timestamp = 1;
    {
        TTransmit seed(kMessages, transmittest::settingsStore());
        seed.SetMessage(0, first);
    }
    create();
    ASSERT_EQ(list("txlist")->count(), kMessages);
    EXPECT_EQ(list("txlist")->itemText(0), "0 (First)");
    EXPECT_EQ(list("txlist")->itemText(19), "19");

    EXPECT_EQ(shown(),
              (QStringList{"First", "2A5", "0B", "Rx PDO 3", "F11", "01C", "3", "0A", "B0", "FF"}));
    EXPECT_EQ(checked(),
              (QStringList{"txenable", "txpdo", "txkeytrig", "txrxtrig", "txtimestamp"}));
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(stored(0), first);

    // Selecting shows a message without storing it or starting the timer.
    select(1);
    EXPECT_EQ(shown(),
              (QStringList{"Unnamed", "001", "40", "Tx PDO 1", "1", "080", "8", "00", "00", "00"}));
    EXPECT_EQ(checked(), QStringList{"txid"});
    EXPECT_FALSE(edit("txname")->isEnabled());
    EXPECT_FALSE(timer.isActive());
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(TransmitTabTest, EnableAndNameChangeTheListItemAndTheEnabledControls) {
    create();
    select(5);
    auto expectFollowersEnabled = [&](bool enabled) {
        for (const char* name : {"txname", "txidnum", "txnodeid", "txpdoselector", "txkeyselector",
                                 "txrxid", "txdlcselector", "txd0", "txd7", "txnow", "txid",
                                 "txpdo", "txkeytrig", "txrxtrig", "txnamelabel", "txdatalabel"}) {
            EXPECT_EQ(find<QWidget>(window.get(), name)->isEnabled(), enabled) << name;
        }
        EXPECT_TRUE(list("txlist")->isEnabled());
        EXPECT_TRUE(button("txenable")->isEnabled());
        EXPECT_TRUE(button("txtimestamp")->isEnabled());
    };
    expectFollowersEnabled(false);

    button("txenable")->click();
    type(edit("txname"), "Start");
    EXPECT_EQ(list("txlist")->itemText(5), "5 (Start)");
    EXPECT_EQ(stored(5).name, "Start");
    expectFollowersEnabled(true);

    button("txenable")->click();
    EXPECT_EQ(list("txlist")->itemText(5), "5");
    EXPECT_FALSE(stored(5).enable);
    EXPECT_EQ(stored(5).name, "Start");
    expectFollowersEnabled(false);
}

TEST_F(TransmitTabTest, TypedHexIsCleanedClampedAndStored) {
    create();
    enable(1);
    // The stored value each hexadecimal box edits.
    auto valueOf = [](const QString& box, const TransmitMessage& m) -> int64_t {
        if (box == "txidnum") return m.id;
        if (box == "txnodeid") return m.nodeid;
        if (box == "txrxid") return m.rxid;
        return m.data[box.back().digitValue()];  // txd0 .. txd7
    };
    const struct {
        const char* box;
        const char* typed;
        const char* shown;
        int64_t expected;
    } cases[] = {{"txidnum", "7G", "7", 0x007},  {"txidnum", "FFF", "FFF", 0x7FF},
                 {"txidnum", "", "", 0},         {"txnodeid", "00", "00", 1},
                 {"txnodeid", "80", "80", 0x7F}, {"txrxid", "2-8-1", "281", 0x281},
                 {"txd7", "ab", "AB", 0xAB}};
    for (const auto& row : cases) {
        type(edit(row.box), row.typed);
        EXPECT_EQ(edit(row.box)->text(), row.shown) << row.box << " " << row.typed;
        EXPECT_EQ(valueOf(row.box, stored(1)), row.expected) << row.box << " " << row.typed;
    }
    // The caret stays where it was when a character is removed.
    QLineEdit* id = edit("txidnum");
    type(id, "12");
    id->setCursorPosition(1);
    QTest::keyClick(id, Qt::Key_G);
    EXPECT_EQ(id->text(), "12");
    EXPECT_EQ(id->cursorPosition(), 2);
    EXPECT_TRUE(notifier.boxes.empty()) << "range messages come from the timer only";
}

TEST_F(TransmitTabTest, ControlsBuildTheWholeRecordAndTransmitNowSendsIt) {
    create();
    enable(6);
    button("txpdo")->click();
    type(edit("txnodeid"), "0A");
    list("txpdoselector")->setCurrentIndex(1);
    button("txkeytrig")->click();
    list("txkeyselector")->setCurrentIndex(11);
    button("txrxtrig")->click();
    type(edit("txrxid"), "181");
    list("txdlcselector")->setCurrentIndex(3);
    type(edit("txd0"), "01");
    type(edit("txd1"), "02");
    type(edit("txd2"), "03");
    button("txtimestamp")->click();

    TransmitMessage expected{.enable = true,
                             .transmitid = false,
                             .transmitpdo = true,
                             .nodeid = 0x0A,
                             .pdotype = 1,
                             .keytrigger = true,
                             .key = 0x71,
                             .rxtrigger = true,
                             .rxid = 0x181,
                             .dlc = 3,
                             .timestamp = 1};
    expected.data = {1, 2, 3, 0, 0, 0, 0, 0};  // as shown
    EXPECT_EQ(stored(6), expected);
    // "Transmit Now" sends the selected message. A disabled message disables
    // the button: EnableAndName... above.
    button("txnow")->click();
    EXPECT_EQ(log.ids(), std::vector<uint32_t>{0x20A});
}

TEST_F(TransmitTabTest, RangeMessagesAppearWhenTheTimerFires) {
    create();
    enable(2);
    // Each change starts the timer; its expiry shows the messages of all
    // values then out of range.
    auto expectOnTimer = [&](const char* what, const QStringList& messages) {
        EXPECT_TRUE(notifier.boxes.empty()) << what;
        EXPECT_TRUE(timer.isActive()) << what;
        tab->InputCheckTimerTimer();
        EXPECT_FALSE(timer.isActive()) << what;
        EXPECT_EQ(notifier.texts(), messages) << what;
        notifier.boxes.clear();
    };
    button("txid")->click();
    type(edit("txidnum"), "FFF");
    expectOnTimer("id FFF with txid", {kIdRange});
    button("txpdo")->click();  // the identifier no longer counts
    type(edit("txnodeid"), "80");
    expectOnTimer("node 80 with txpdo", {kNodeRange});
    button("txrxtrig")->click();
    type(edit("txrxid"), "FFF");
    expectOnTimer("node and rx", {kNodeRange, kRxRange});
    button("txid")->click();
    expectOnTimer("id and rx", {kIdRange, kRxRange});
}

TEST_F(TransmitTabTest, KeySelectorTakesPressedTriggerKeysAndTheWindowSendsThem) {
    create();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return window->windowHandle() != nullptr; }));
    table->SetMessage(9, transmittest::keyedMessage(0x333, 0x72));
    enable(1);

    QComboBox* keys = list("txkeyselector");
    keys->setFocus();
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* selected;
        uint16_t code;
        std::vector<uint32_t> sent;
    } cases[] = {
        {Qt::Key_F3, Qt::NoModifier, "F3", 0x72, {0x333}},
        {Qt::Key_F12, Qt::NoModifier, "F12", 0x7B, {}},
        {Qt::Key_Return, Qt::NoModifier, "F12", 0x7B, {}},  // not a trigger key: no change
    };
    for (const auto& row : cases) {
        log.clear();
        QTest::keyClick(window->windowHandle(), row.key, row.modifiers);
        EXPECT_EQ(keys->currentText(), row.selected) << row.selected;
        EXPECT_EQ(stored(1).key, row.code) << row.selected;
        EXPECT_EQ(log.ids(), row.sent) << row.selected;
    }

    // No trigger while a single-line edit box has the focus.
    edit("txname")->setFocus();
    log.clear();
    QTest::keyClick(window->windowHandle(), Qt::Key_F3);
    EXPECT_TRUE(log.ids().empty());
    button("txnow")->setFocus();
    QTest::keyClick(window->windowHandle(), Qt::Key_F3);
    EXPECT_EQ(log.ids(), std::vector<uint32_t>{0x333});
}

TEST_F(TransmitTabTest, InvalidTableDisablesEverythingButTheTimestampBox) {
    create(-1);
    EXPECT_FALSE(list("txlist")->isEnabled());
    EXPECT_EQ(list("txlist")->count(), 0);
    EXPECT_FALSE(button("txenable")->isEnabled());
    EXPECT_FALSE(edit("txname")->isEnabled());
    EXPECT_TRUE(button("txtimestamp")->isEnabled());
}

}  // namespace
