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

#include "gui_test_support.h"
#include "transmit/key_preview.h"
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
    void create() {
        table = std::make_unique<TTransmit>(kMessages);
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
        TTransmit seed(kMessages);
        seed.SetMessage(0, first);
    }
    create();
    QComboBox* messages = list("txlist");
    ASSERT_EQ(messages->count(), kMessages);
    EXPECT_EQ(messages->currentIndex(), 0);
    EXPECT_EQ(messages->itemText(0), "0 (First)");
    EXPECT_EQ(messages->itemText(19), "19");

    const struct {
        const char* name;
        QString text;
    } boxes[] = {{"txname", "First"}, {"txidnum", "2A5"}, {"txnodeid", "0B"}, {"txrxid", "01C"},
                 {"txd0", "0A"},      {"txd1", "B0"},     {"txd7", "FF"}};
    for (const auto& row : boxes) EXPECT_EQ(edit(row.name)->text(), row.text) << row.name;
    EXPECT_EQ(list("txpdoselector")->currentText(), "Rx PDO 3");
    EXPECT_EQ(list("txkeyselector")->currentText(), "F11");
    EXPECT_EQ(list("txdlcselector")->currentText(), "3");
    EXPECT_FALSE(button("txid")->isChecked());
    EXPECT_TRUE(button("txpdo")->isChecked());
    for (const char* box : {"txenable", "txkeytrig", "txrxtrig", "txtimestamp"}) {
        EXPECT_TRUE(button(box)->isChecked()) << box;
    }
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(stored(0), first);
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(TransmitTabTest, SelectingShowsTheMessageWithoutStoringOrStartingTheTimer) {
    create();
    TransmitMessage four = enabledMessage(0x7FF, "Four");
    four.transmitid = false;  // neither radio button was chosen
    four.nodeid = 0x7F;
    four.key = 0x39;
    four.dlc = 0;
    table->SetMessage(4, four);
    select(4);
    EXPECT_EQ(edit("txname")->text(), "Four");
    EXPECT_EQ(edit("txidnum")->text(), "7FF");
    EXPECT_FALSE(button("txid")->isChecked());
    EXPECT_FALSE(button("txpdo")->isChecked());
    EXPECT_EQ(list("txkeyselector")->currentText(), "9");
    EXPECT_EQ(list("txdlcselector")->currentText(), "0");
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(stored(4), four);
    EXPECT_TRUE(edit("txname")->isEnabled());

    select(0);
    EXPECT_EQ(edit("txname")->text(), "Unnamed");
    EXPECT_TRUE(button("txid")->isChecked());
    EXPECT_FALSE(edit("txname")->isEnabled());
    EXPECT_FALSE(timer.isActive());
}

TEST_F(TransmitTabTest, EnableAndNameChangeTheListItemAndTheEnabledControls) {
    create();
    select(5);
    const char* const followers[] = {"txname",        "txidnum",  "txnodeid",      "txpdoselector",
                                     "txkeyselector", "txrxid",   "txdlcselector", "txd0",
                                     "txd7",          "txnow",    "txid",          "txpdo",
                                     "txkeytrig",     "txrxtrig", "txnamelabel",   "txdatalabel"};
    for (const char* name : followers) {
        EXPECT_FALSE(find<QWidget>(window.get(), name)->isEnabled()) << name;
    }
    EXPECT_TRUE(button("txenable")->isEnabled());
    EXPECT_TRUE(button("txtimestamp")->isEnabled());

    button("txenable")->click();
    type(edit("txname"), "Start");
    EXPECT_EQ(list("txlist")->itemText(5), "5 (Start)");
    EXPECT_EQ(list("txlist")->currentIndex(), 5);
    EXPECT_EQ(stored(5).name, "Start");
    for (const char* name : followers) {
        EXPECT_TRUE(find<QWidget>(window.get(), name)->isEnabled()) << name;
    }

    button("txenable")->click();
    EXPECT_EQ(list("txlist")->itemText(5), "5");
    EXPECT_FALSE(stored(5).enable);
    EXPECT_EQ(stored(5).name, "Start");
    for (const char* name : followers) {
        EXPECT_FALSE(find<QWidget>(window.get(), name)->isEnabled()) << name;
    }
    EXPECT_TRUE(list("txlist")->isEnabled());
    EXPECT_TRUE(button("txtimestamp")->isEnabled());
}

TEST_F(TransmitTabTest, TypedHexIsCleanedClampedAndStored) {
    create();
    enable(1);
    using Field = std::function<int64_t(const TransmitMessage&)>;
    const struct {
        const char* box;
        const char* typed;
        const char* shown;
        Field field;
        int64_t expected;
    } cases[] = {
        {"txidnum", "7G", "7", [](const TransmitMessage& m) { return m.id; }, 0x007},
        {"txidnum", "FFF", "FFF", [](const TransmitMessage& m) { return m.id; }, 0x7FF},
        {"txidnum", "1a3", "1A3", [](const TransmitMessage& m) { return m.id; }, 0x1A3},
        {"txidnum", "", "", [](const TransmitMessage& m) { return m.id; }, 0},
        {"txnodeid", "00", "00", [](const TransmitMessage& m) { return m.nodeid; }, 1},
        {"txnodeid", "80", "80", [](const TransmitMessage& m) { return m.nodeid; }, 0x7F},
        {"txnodeid", "x5", "5", [](const TransmitMessage& m) { return m.nodeid; }, 5},
        {"txrxid", "FFF", "FFF", [](const TransmitMessage& m) { return m.rxid; }, 0x7FF},
        {"txrxid", "2-8-1", "281", [](const TransmitMessage& m) { return m.rxid; }, 0x281},
        {"txd0", "ab", "AB", [](const TransmitMessage& m) { return m.data[0]; }, 0xAB},
        {"txd7", "Z9", "9", [](const TransmitMessage& m) { return m.data[7]; }, 0x09},
    };
    for (const auto& row : cases) {
        type(edit(row.box), row.typed);
        EXPECT_EQ(edit(row.box)->text(), row.shown) << row.box << " " << row.typed;
        EXPECT_EQ(row.field(stored(1)), row.expected) << row.box << " " << row.typed;
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

TEST_F(TransmitTabTest, ControlsBuildTheWholeRecord) {
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

    const TransmitMessage m = stored(6);
    EXPECT_FALSE(m.transmitid);
    EXPECT_TRUE(m.transmitpdo);
    EXPECT_EQ(m.nodeid, 0x0A);
    EXPECT_EQ(m.pdotype, 1);
    EXPECT_EQ(table->EffectiveId(6), 0x20Au);
    EXPECT_TRUE(m.keytrigger);
    EXPECT_EQ(m.key, 0x71);
    EXPECT_TRUE(m.rxtrigger);
    EXPECT_EQ(m.rxid, 0x181u);
    EXPECT_EQ(m.dlc, 3);
    EXPECT_EQ(m.data[0], 1);
    EXPECT_EQ(m.data[2], 3);
    EXPECT_EQ(m.data[3], 0);  // as shown
    EXPECT_EQ(m.timestamp, 1);
}

TEST_F(TransmitTabTest, RangeMessagesAppearWhenTheTimerFires) {
    create();
    enable(2);
    const struct {
        const char* what;
        std::function<void()> setUp;
        QStringList messages;
    } cases[] = {
        {"id FFF with txid",
         [&] {
             button("txid")->click();
             type(edit("txidnum"), "FFF");
         },
         {kIdRange}},
        {"id FFF with txpdo", [&] { button("txpdo")->click(); }, {}},
        {"node 00 with txpdo", [&] { type(edit("txnodeid"), "00"); }, {kNodeRange}},
        {"node 80 with txpdo", [&] { type(edit("txnodeid"), "80"); }, {kNodeRange}},
        {"node 7F with txpdo", [&] { type(edit("txnodeid"), "7F"); }, {}},
        {"rx FFF with trigger",
         [&] {
             button("txrxtrig")->click();
             type(edit("txrxid"), "FFF");
         },
         {kRxRange}},
        {"id and rx",
         [&] {
             button("txid")->click();
             type(edit("txidnum"), "800");
             type(edit("txnodeid"), "0");
         },
         {kIdRange, kRxRange}},
        {"node with txpdo and the others",
         [&] { button("txpdo")->click(); },
         {kNodeRange, kRxRange}},
    };
    for (const auto& row : cases) {
        notifier.boxes.clear();
        row.setUp();
        EXPECT_TRUE(notifier.boxes.empty()) << row.what;
        EXPECT_TRUE(timer.isActive()) << row.what;
        tab->InputCheckTimerTimer();
        EXPECT_FALSE(timer.isActive()) << row.what;
        EXPECT_EQ(notifier.texts(), row.messages) << row.what;
    }
}

TEST_F(TransmitTabTest, ContinuousTypingShowsOneMessageAfterTheLastChange) {
    create();
    enable(3);
    timer.setInterval(100);
    QLineEdit* id = edit("txidnum");
    id->clear();
    for (const char* key : {"F", "F", "F"}) {
        QTest::keyClicks(id, key);
        EXPECT_TRUE(timer.isActive());
        EXPECT_TRUE(notifier.boxes.empty());
    }
    EXPECT_TRUE(waitFor([&] { return !notifier.boxes.empty(); }));
    EXPECT_FALSE(timer.isActive());
    EXPECT_EQ(notifier.texts(), QStringList{kIdRange});
}

TEST_F(TransmitTabTest, KeySelectorTakesPressedTriggerKeysAndTheWindowSendsThem) {
    create();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(waitFor([&] { return window->windowHandle() != nullptr; }));
    TransmitMessage onF3 = enabledMessage(0x333);
    onF3.keytrigger = true;
    onF3.key = 0x72;
    table->SetMessage(9, onF3);
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
        {Qt::Key_7, Qt::NoModifier, "7", 0x37, {}},
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

TEST_F(TransmitTabTest, TransmitNowSendsTheSelectedEnabledMessage) {
    create();
    table->SetMessage(8, enabledMessage(0x188));
    TransmitMessage off = enabledMessage(0x177);
    off.enable = false;
    table->SetMessage(7, off);
    select(8);
    button("txnow")->click();
    EXPECT_EQ(log.ids(), std::vector<uint32_t>{0x188});
    select(7);
    EXPECT_FALSE(button("txnow")->isEnabled());
}

TEST_F(TransmitTabTest, InvalidTableDisablesEverythingButTheTimestampBox) {
    table = std::make_unique<TTransmit>(-1);
    engine = std::make_unique<TransmitEngine>(*table, log.sender());
    window = std::make_unique<QWidget>();
    auto* page = new QWidget(window.get());
    tab = new TransmitTab(page, *table, *engine, notifier, timer);
    EXPECT_FALSE(list("txlist")->isEnabled());
    EXPECT_EQ(list("txlist")->count(), 0);
    EXPECT_FALSE(button("txenable")->isEnabled());
    EXPECT_FALSE(edit("txname")->isEnabled());
    EXPECT_TRUE(button("txtimestamp")->isEnabled());
}

}  // namespace
