// The transmit messages window: row texts, refresh on stored changes, no
// selection, key preview to the engine, layout across a restart.
#include <gtest/gtest.h>

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
