// The transmit messages window: row texts, refresh on stored changes, no
// selection, key preview to the engine, layout across a restart.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QWindow>

#include "gui/settings_store.h"
#include "gui_support/gui_test_support.h"
#include "transmit/transmit_grid.h"
#include "transmit/transmit_messages_window.h"
#include "transmit_test_support.h"

namespace {

using guitest::waitFor;
using transmittest::enabledMessage;
using transmittest::keyedMessage;

constexpr int kMessages = 20;

class TransmitWindowTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }

    void create() { window = std::make_unique<TWin_TransmitMessages>(table, engine); }

    QStringList row(int r) {
        QStringList texts;
        for (int column = 0; column < 7; ++column) texts << window->cellText(r, column);
        return texts;
    }

    TTransmit table{kMessages, transmittest::settingsStore()};
    transmittest::FrameLog log;
    TransmitEngine engine{table, log.sender()};
    std::unique_ptr<TWin_TransmitMessages> window;
};

TEST_F(TransmitWindowTest, RowsShowEachMessage) {
    table.SetMessage(2, {.name = "Speed",
                         .enable = true,
                         .transmitid = false,
                         .nodeid = 0x0A,
                         .pdotype = 1,
                         .keytrigger = true,
                         .key = 0x71,
                         .dlc = 3,
                         .data = {0x01, 0x02, 0x03, 0xAA}});
    table.SetMessage(3, {.name = "Clock",
                         .enable = true,
                         .id = 0x100,
                         .rxtrigger = true,
                         .rxid = 0x81,
                         .timestamp = 1});
    table.SetMessage(6, {.name = "Hidden", .id = 0x123});

    create();
    const struct {
        int row;
        QStringList texts;
    } cases[] = {
        {0, {"", "Message", "ID", "Length", "Data", "Key Trig", "ID Trig"}},
        {3, {"2", "Speed", "20A", "3", "01 02 03 ", "F2", " -"}},
        {4, {"3", "Clock", "100", "8", "Timestamp", " -", "081"}},
        {7, {"6", "Disabled", " -", " -", " -", " -", " -"}},
    };
    for (const auto& c : cases) EXPECT_EQ(row(c.row), c.texts) << c.row;
}

TEST_F(TransmitWindowTest, StoredChangesRewriteTheRowsWhileHidden) {
    create();
    ASSERT_FALSE(window->isVisible());
    TransmitMessage m = enabledMessage(0x222, "Now");
    table.SetMessage(1, m);
    EXPECT_EQ(row(2),
              (QStringList{"1", "Now", "222", "8", "00 00 00 00 00 00 00 00 ", " -", " -"}));
    m.enable = false;
    table.SetMessage(1, m);
    EXPECT_EQ(window->cellText(2, 1), "Disabled");
    window.reset();  // the table forgets the window
    m.enable = true;
    EXPECT_TRUE(table.SetMessage(1, m));
}

// Which keys trigger what: transmit_engine_test.
TEST_F(TransmitWindowTest, KeysPressedInTheWindowFireKeyTriggeredMessages) {
    table.SetMessage(12, keyedMessage(0x112, 0x74));
    table.SetMessage(4, keyedMessage(0x104, 0x74));
    create();
    window->show();
    ASSERT_NE(window->windowHandle(), nullptr);
    QTest::keyClick(window->windowHandle(), Qt::Key_F5);
    EXPECT_EQ(log.ids(), (std::vector<uint32_t>{0x104, 0x112}));
}

// Trigger codes name physical keys: Shift, the layout and NumLock change the
// character, never the code. Events that carry the XKB keycode (evdev + 8)
// are mapped by it; events without native codes (synthesised) by their Qt key.
TEST_F(TransmitWindowTest, TriggerKeysFollowThePhysicalKey) {
    table.SetMessage(0, keyedMessage(0x131, 0x31));  // digit row 1
    table.SetMessage(1, keyedMessage(0x132, 0x32));  // digit row 2
    table.SetMessage(2, keyedMessage(0x135, 0x35));  // digit row 5
    table.SetMessage(3, keyedMessage(0x165, 0x65));  // keypad 5
    table.SetMessage(4, keyedMessage(0x172, 0x72));  // F3
    table.SetMessage(5, keyedMessage(0x141, 0x41));  // A
    create();
    window->show();
    ASSERT_NE(window->windowHandle(), nullptr);
    const struct {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        quint32 keycode;  // 0: no native codes
        const char* text;
        std::vector<uint32_t> sent;
    } cases[] = {
        {"Shift+1, US layout", Qt::Key_Exclam, Qt::ShiftModifier, 10, "!", {0x131}},
        {"1 key, French layout", Qt::Key_Ampersand, Qt::NoModifier, 10, "&", {0x131}},
        {"2 key, French layout", Qt::Key_Eacute, Qt::NoModifier, 11, "\xC3\xA9", {0x132}},
        {"Shift+2, French layout", Qt::Key_2, Qt::ShiftModifier, 11, "2", {0x132}},
        {"keypad 5", Qt::Key_5, Qt::KeypadModifier, 84, "5", {0x165}},
        {"keypad 5, NumLock off", Qt::Key_Clear, Qt::KeypadModifier, 84, "", {0x165}},
        {"Ctrl+Shift+F3", Qt::Key_F3, Qt::ControlModifier | Qt::ShiftModifier, 69, "", {0x172}},
        {"A key, AZERTY (where Q is on US)", Qt::Key_A, Qt::NoModifier, 24, "a", {0x141}},
        {"a 1 typed off the digit row", Qt::Key_1, Qt::NoModifier, 24, "1", {}},
        {"Return", Qt::Key_Return, Qt::NoModifier, 36, "\r", {}},
        {"no native codes: 1", Qt::Key_1, Qt::NoModifier, 0, "1", {0x131}},
        {"no native codes: keypad 5", Qt::Key_5, Qt::KeypadModifier, 0, "5", {0x165}},
        {"no native codes: Shift+1", Qt::Key_Exclam, Qt::ShiftModifier, 0, "!", {}},
    };
    for (const auto& row : cases) {
        log.clear();
        for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, row.key, row.modifiers, row.keycode, 0, 0,
                            QString::fromUtf8(row.text));
            QCoreApplication::sendEvent(window->windowHandle(), &event);
        }
        EXPECT_EQ(log.ids(), row.sent) << row.what;
    }
}

TEST_F(TransmitWindowTest, FirstStartSizesAndLayoutAcrossARestart) {
    create();
    const QScreen* screen = window->screen();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(screen->logicalDotsPerInch(), 96.0);
    EXPECT_EQ(window->grid()->columnWidth(0), 20);
    EXPECT_EQ(window->height(), 18 * 21);  // every row visible
    window->show();
    window->resize(700, 300);
    EXPECT_TRUE(waitFor([&] { return window->grid()->width() == 700; }));
    EXPECT_EQ(window->grid()->columnWidth(7), 700);  // the filler column

    const int widths[] = {31, 150, 45, 61, 200, 70, 66};
    for (int column = 0; column < 7; ++column) {
        window->grid()->setColumnWidth(column, widths[column]);
    }
    window.reset();
    EXPECT_EQ(ReadInt(*OpenSettings(), "txcol4width"), 200);

    create();
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(window->grid()->columnWidth(column), widths[column]) << column;
    }
    EXPECT_EQ(window->size(), QSize(700, 300));
}

}  // namespace
