// The CANopen Manager window on a simulated network: quorsim plays a manager
// (node 16) and two slaves on quorbus; a second hub client sees the frames
// the window's operations put on the bus.
#include "manager/manager_window.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <memory>
#include <string>
#include <vector>

#include "gui/progress_dialog.h"
#include "manager/node_table_model.h"
#include "manager_window_fixture.h"

namespace {

using guitest::find;
using guitest::waitFor;

using managertest::TimeZone;

constexpr uint8_t kManager = managertest::kManagerNode;
const char* const kTimeoutMs = managertest::kSdoTimeoutMs;

using ManagerWindowTest = managertest::ManagerWindowFixture;

TEST_F(ManagerWindowTest, OpeningReadsTheWholeConfigurationOfTheCurrentNode) {
    write32(kManager, 0x1F81, 5, 0x00C82D1D);  // bits 0, 2-4; retry factor 45; guard 200
    write32(kManager, 0x1F26, 5, 9132);
    write32(kManager, 0x1F27, 5, 36000000);
    write32(kManager, 0x1F84, 5, 0x00000191);
    write32(kManager, 0x1F88, 5, 0x00001005);
    simCommand("entry 16 0x1F85 0 u8 4");
    TimeZone utc("UTC0");

    EXPECT_EQ(window->windowTitle(), "CANopen Manager");
    EXPECT_FALSE(window->isVisible());
    window->OpenForNode(kManager);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(selector()->currentIndex(), 15);
    EXPECT_EQ(selector()->currentText(), "0x10 (16d)");
    EXPECT_EQ(selector()->count(), 127);
    EXPECT_TRUE(window->busy());
    EXPECT_TRUE(progress.isVisible());
    EXPECT_FALSE(selector()->isEnabled());
    EXPECT_FALSE(find<QPushButton>(window.get(), "reread")->isEnabled());
    EXPECT_FALSE(find<QTabWidget>(window.get(), "pages")->isEnabled());
    // The read addresses node 16.
    EXPECT_EQ(nextUpload(kManager), "1F81 sub 00");
    ASSERT_TRUE(idle());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(selector()->isEnabled());
    EXPECT_TRUE(find<QTabWidget>(window.get(), "pages")->isEnabled());

    const ManagerConfiguration& config = window->configuration();
    EXPECT_TRUE(config.configValid);
    EXPECT_EQ(std::vector<int>(config.entryCounts.begin(), config.entryCounts.end()),
              (std::vector<int>{127, 127, 127, 4, 127, 127, 127}));
    const QStringList row5 = {
        "0x05 (5d)", "1",        "1",        "1",        "1",
        "0",         "0",        "45",       "200",      "01-Jan-2009 10:00:00:000",
        "00000191",  "00000000", "00000000", "00000000", "00001005"};
    for (int column = 0; column < row5.size(); ++column)
        EXPECT_EQ(cell(5, column), row5[column]) << column;
    EXPECT_EQ(cell(6, 1), "0");
    EXPECT_TRUE(available(4, 11));
    EXPECT_FALSE(available(5, 11)) << "beyond the vendor ID count";
    EXPECT_FALSE(available(5, 0));

    // Pages 2 and 3: the manager's settings, ports and status.
    EXPECT_EQ(find<QComboBox>(window.get(), "opmode")->currentText(), "Setup");
    EXPECT_EQ(find<QComboBox>(window.get(), "smartbridge")->currentText(), "Disabled");
    const std::pair<const char*, const char*> fields[] = {
        {"prebootdelay", "500"},     {"postbootdelay", "1000"},
        {"sdotimeout", "500"},       {"sdodelay", "0"},
        {"defaulthbtime", "1000"},   {"defaulthbfactor", "150"},
        {"can1enabled", "Yes"},      {"can1bitrate", "125kbps"},
        {"can1errorbits", "00"},     {"can2enabled", "No"},
        {"can2bitrate", "Disabled"}, {"can1currentload", "12"},
        {"can1maxload", "40"},       {"can1burst", "7"},
        {"can2currentload", "0"},    {"statusmsg", "Quorsim Manager node 16: ready"}};
    for (const auto& [name, value] : fields) EXPECT_EQ(text(name), value) << name;
    EXPECT_FALSE(logShown());
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(ManagerWindowTest, CountsAboveTheTableAreCappedAndAMissingTableEmptiesTheNodeTable) {
    simCommand("entry 16 0x1F81 0 u8 200");
    write32(kManager, 0x1F81, 127, 0x00000001);
    ASSERT_TRUE(openAndRead());
    EXPECT_EQ(window->configuration().entryCounts[0], 127);
    EXPECT_EQ(cell(127, 1), "1");

    simCommand("noentry 16 0x1F88");
    simCommand("entry 16 0x2000 2 u16 1234");
    find<QPushButton>(window.get(), "reread")->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(window->configuration().entryCounts, (std::array<uint8_t, 7>{}));
    EXPECT_FALSE(available(1, 1));
    EXPECT_EQ(text("prebootdelay"), "1234");
    EXPECT_EQ(text("statusmsg"), "Quorsim Manager node 16: ready");
    EXPECT_TRUE(logShown());
    EXPECT_EQ(logLines(), QStringList{"Failed to read 0x1F88 sub 0 from the CANopen Manager: "
                                      "Object does not exist in the object dictionary "
                                      "(0x06020000)"});
    find<QPushButton>(window.get(), "closelog")->click();
    EXPECT_FALSE(logShown());
}

TEST_F(ManagerWindowTest, SilentAndShortEntriesAreLoggedAndTheReadGoesOn) {
    simCommand("silent 16 0x2101 2");
    simCommand("entry 16 0x1F84 3 u16 5");
    simCommand("entry 16 0x2011 2 u16 6");
    ASSERT_TRUE(openAndRead());
    EXPECT_TRUE(window->configuration().configValid);
    EXPECT_EQ(text("can1maxload"), "0");
    EXPECT_EQ(text("can1burst"), "7");
    EXPECT_EQ(cell(3, 10), "00000000");
    EXPECT_TRUE(logShown());
    EXPECT_EQ(logLines(),
              (QStringList{"Unexpected reply of 2 bytes from the CANopen Manager for 0x1F84 sub 3 "
                           "(4 expected)",
                           QStringLiteral("Failed to read 0x2101 sub 2 from the CANopen Manager: "
                                          "No response from node 16 within %1 ms")
                               .arg(kTimeoutMs),
                           "Unexpected reply of 2 bytes from the CANopen Manager for 0x2011 sub 2 "
                           "(1 expected)"}));
    EXPECT_TRUE(find<QPushButton>(window.get(), "reread")->isEnabled());
}

TEST_F(ManagerWindowTest, CancelDuringTheDateTableLeavesNoCountsAndKeepsTheSettingsShown) {
    ASSERT_TRUE(openAndRead());
    EXPECT_EQ(text("prebootdelay"), "500");
    simCommand("entry 16 0x2000 2 u16 999");
    simCommand("silent 16 0x1F26 2");  // the read waits there for its time-out
    listen();
    find<QPushButton>(window.get(), "reread")->click();
    // Wait for the request of 0x1F26 sub 2, then cancel.
    std::string request;
    for (int i = 0; i < 400 && request != "1F26 sub 02"; ++i) request = nextUpload(kManager);
    ASSERT_EQ(request, "1F26 sub 02");
    find<QPushButton>(&progress, "cancel")->click();
    ASSERT_TRUE(idle());
    const ManagerConfiguration& config = window->configuration();
    EXPECT_FALSE(config.configValid);
    EXPECT_EQ(config.entryCounts, (std::array<uint8_t, 7>{}));
    EXPECT_FALSE(available(1, 1));
    EXPECT_EQ(cell(1, 1), "");
    EXPECT_EQ(text("prebootdelay"), "500") << "the controls keep what they showed";
    EXPECT_FALSE(progress.isVisible());
    EXPECT_TRUE(find<QTabWidget>(window.get(), "pages")->isEnabled());
}

TEST_F(ManagerWindowTest, EachCommandWritesItsWordAndTheManagerActsOnIt) {
    ASSERT_TRUE(openAndRead());
    find<QTabWidget>(window.get(), "pages")->setCurrentIndex(2);
    // button, frame on the bus
    const std::pair<const char*, const char*> rows[] = {
        {"hwreset", "610#23501F0552534554"},
        {"clearnetwork", "610#23501F05436C724E"},
        {"scannetwork", "610#23501F0553636E4E"},
        {"scannetworkstore", "610#23501F055772744E"},
    };
    for (const auto& [name, frame] : rows) {
        find<QPushButton>(window.get(), name)->click();
        EXPECT_EQ(listener->waitForFrame(0x610, 0x23), frame) << name;
        EXPECT_EQ(listener->waitForFrame(0x590, 0x60), "590#60501F0500000000") << name;
        if (std::string(name) == "hwreset") {
            EXPECT_EQ(listener->waitForFrame(0x710), "710#00");
        }
    }
    EXPECT_TRUE(notifier.boxes.empty());
    // The scan made the two slaves on the bus the manager's slaves.
    EXPECT_TRUE(waitFor(
        [&] {
            find<QPushButton>(window.get(), "reread")->click();
            return idle() && cell(5, 1) == "1" && cell(7, 1) == "1";
        },
        std::chrono::seconds(30)));
    EXPECT_EQ(cell(6, 1), "0");
    EXPECT_EQ(text("statusmsg"), "Scan found 2 nodes, configuration stored");
}

TEST_F(ManagerWindowTest, AFailedCommandShowsItsMessage) {
    ASSERT_TRUE(openAndRead());
    simCommand("silent 16 0x1F50 5");
    find<QPushButton>(window.get(), "hwreset")->click();
    EXPECT_EQ(notifier.texts(), QStringList{"Failed to send command to CANopen Manager"});
    EXPECT_FALSE(window->busy());
}

TEST_F(ManagerWindowTest, OpeningWithoutACurrentNodeKeepsTheSelection) {
    ASSERT_TRUE(openAndRead(5));  // a slave, not a manager: every read fails at once
    EXPECT_EQ(selector()->currentIndex(), 4);
    EXPECT_EQ(nextUpload(5), "1F81 sub 00");
    EXPECT_EQ(window->configuration().entryCounts, (std::array<uint8_t, 7>{}));
    ASSERT_TRUE(openAndRead(kManager));
    listen();
    ASSERT_TRUE(openAndRead(0));
    EXPECT_EQ(nextUpload(kManager), "1F81 sub 00");
    EXPECT_EQ(selector()->currentIndex(), 15);
    EXPECT_EQ(window->managerNode(), kManager);
    EXPECT_EQ(window->configuration().entryCounts[0], 127);
}

TEST_F(ManagerWindowTest, ReadConfigDatesCopiesEachSlavesDateIntoTheManager) {
    TimeZone utc("UTC0");
    simCommand("entry 16 0x1F26 0 u8 8");
    simCommand("entry 16 0x1F27 0 u8 8");
    write32(5, 0x1020, 1, 9132);
    write32(5, 0x1020, 2, 36000000);
    simCommand("noentry 7 0x1020");  // a slave without Verify Configuration
    ASSERT_TRUE(openAndRead());
    EXPECT_EQ(window->configuration().entryCounts[1], 8);
    find<QPushButton>(window.get(), "dateandtimeread")->click();
    EXPECT_TRUE(window->busy());
    EXPECT_TRUE(progress.isVisible());
    EXPECT_FALSE(find<QTabWidget>(window.get(), "pages")->isEnabled());
    ASSERT_TRUE(idle());
    EXPECT_EQ(cell(5, 9), "01-Jan-2009 10:00:00:000");
    EXPECT_EQ(logLines(), QStringList{"Failed to read date from node 0x07 (7d)"});
    EXPECT_TRUE(logShown());
    EXPECT_FALSE(progress.isVisible());
    // The manager holds it now.
    find<QPushButton>(window.get(), "reread")->click();
    ASSERT_TRUE(idle());
    EXPECT_EQ(window->configuration().node(5).configDate, 9132u);
    EXPECT_EQ(window->configuration().node(5).configTime, 36000000u);
}

TEST_F(ManagerWindowTest, ClosingDuringAReadStopsTheWorkerCleanly) {
    simCommand("silent 16 0x1F81 1");
    window->OpenForNode(kManager);
    ASSERT_EQ(nextUpload(kManager), "1F81 sub 00");
    window.reset();  // joins the worker, no notification left behind
    EXPECT_FALSE(progress.isVisible());
    QApplication::processEvents();
    // The next window reads again from the start.
    window = std::make_unique<TWin_CANopenManager>(utilities, progress, notifier);
    simCommand("silent 16 none");
    ASSERT_TRUE(openAndRead());
    EXPECT_TRUE(window->configuration().configValid);
}

TEST_F(ManagerWindowTest, LayoutIsStoredUnderCanopenmanager) {
    EXPECT_EQ(window->size(), QSize(835, 512));
    window->findChild<QTableView*>("list")->setColumnWidth(3, 77);
    window->resize(700, 400);
    window->move(20, 30);
    window.reset();
    {
        QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
        settings.beginGroup(QStringLiteral("canopenmanager"));
        QStringList keys = settings.childKeys();
        keys.sort();
        QStringList expected = {"width", "height", "left", "top"};
        for (int c = 0; c < 15; ++c) expected << QStringLiteral("nodecol%1width").arg(c);
        expected.sort();
        EXPECT_EQ(keys, expected);
        EXPECT_EQ(settings.value("nodecol3width").toInt(), 77);
        EXPECT_EQ(settings.value("width").toInt(), 700);
    }
    window = std::make_unique<TWin_CANopenManager>(utilities, progress, notifier);
    EXPECT_EQ(window->size(), QSize(700, 400));
    EXPECT_EQ(window->pos(), QPoint(20, 30));
    EXPECT_EQ(window->findChild<QTableView*>("list")->columnWidth(3), 77);
}

}  // namespace
