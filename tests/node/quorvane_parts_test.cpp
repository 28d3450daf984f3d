// The windows of quorvane working together on the simulated network: a
// transmit message stored in the settings goes out on "Transmit Now", on its
// key and on its trigger identifier, and the trace window shows the traffic
// decoded and named.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "main_window_fixture.h"
#include "sim/quorbus_test_client.h"
#include "trace/core/canopen_interpreter.h"
#include "trace/network_window.h"
#include "trace/trace_window.h"

namespace {

using guitest::find;
using guitest::waitFor;

class QuorvanePartsTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (HasFatalFailure()) return;
        // Message 0 "Ping": 0x123 with AA BB, on F5 and on reception of 0x181.
        QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
        const std::pair<const char*, QVariant> values[] = {
            {"0_name", "Ping"}, {"0_enable", 1},   {"0_id", 0x123},     {"0_dlc", 2},
            {"0_data0", 0xAA},  {"0_data1", 0xBB}, {"0_keytrigger", 1}, {"0_key", 0x74},
            {"0_rxtrigger", 1}, {"0_rxid", 0x181},
        };
        for (const auto& [key, value] : values) settings.setValue(key, value);
        settings.sync();
        // Absent nodes of the network scan cost one time-out each.
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "100", 1);
        createApp();
        openInterface();
        observer =
            std::make_unique<quorbustest::HubClient>(static_cast<std::uint16_t>(network->port));
        ASSERT_TRUE(observer->connected());
        ASSERT_TRUE(observer->join("gui"));
    }

    // The texts of column `column` of the trace grid.
    QStringList traceColumn(int column) {
        QAbstractItemModel* model = find<QTableView>(app->windows().trace, "trace")->model();
        QStringList texts;
        for (int row = 0; row < model->rowCount(); ++row) {
            texts << model->index(row, column).data().toString();
        }
        return texts;
    }

    std::unique_ptr<quorbustest::HubClient> observer;
};

TEST_F(QuorvanePartsTest, StoredMessageGoesOutOnRequestKeyAndTrigger) {
    find<QPushButton>(main(), "txnow")->click();
    EXPECT_EQ(observer->waitForFrame(0x123), "123#AABB");

    controls().tabs->setFocus();
    QTest::keyClick(main()->windowHandle(), Qt::Key_F5);
    EXPECT_EQ(observer->waitForFrame(0x123), "123#AABB");

    simCommand("send 181#11");
    EXPECT_EQ(observer->waitForFrame(0x123), "123#AABB");
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(QuorvanePartsTest, TraceShowsLiveTrafficDecodedAndNamed) {
    find<QAction>(main(), "trace")->trigger();
    ASSERT_TRUE(app->windows().trace->isVisible());
    simCommand("state 5 operational");
    simCommand("heartbeat 5 50");
    find<QPushButton>(main(), "txnow")->click();
    EXPECT_TRUE(waitFor([&] {
        return traceColumn(kColMsgType).contains("Node Guarding/Heartbeat") &&
               traceColumn(kColMsgType).contains("Ping");
    }));
    EXPECT_TRUE(traceColumn(kColDetails).contains("Operational"));
}

// View > Network Overview opens the overview; its scan lists the simulated
// nodes and keeps the main window's controls disabled while it runs.
TEST_F(QuorvanePartsTest, NetworkOverviewScansWhileTheMainWindowWaits) {
    QAction* item = find<QAction>(main(), "networkoverview");
    ASSERT_TRUE(item->isEnabled());
    item->trigger();
    TWin_Network* network = app->windows().network;
    ASSERT_TRUE(network->isVisible());
    find<QPushButton>(network, "scanbutton")->click();
    EXPECT_FALSE(controls().tabs->isEnabled());
    EXPECT_FALSE(controls().nodelist->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !network->scanning(); }, std::chrono::seconds(120)));
    EXPECT_TRUE(controls().tabs->isEnabled());
    auto* grid = find<QTableWidget>(network, "nodelist");
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(grid->item(0, 0)->text(), "05 (5d)");
    EXPECT_EQ(grid->item(1, 0)->text(), "0A (10d)");
}

}  // namespace
