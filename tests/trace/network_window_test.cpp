// The network overview on a simulated network: quorsim plays nodes with
// different identity objects on quorbus, the window scans them through the
// library with a short SDO time-out.
#include "trace/network_window.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <memory>
#include <string>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "gui/progress_dialog.h"
#include "gui_support/gui_test_support.h"
#include "support/simulated_network.h"

namespace {

using guitest::find;
using guitest::waitFor;

std::string example(const char* name) {
    return std::string(QUORVANE_SOURCE_DIR) + "/sim/quorsim/examples/" + name;
}

class NetworkWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "100", 1);  // 122 absent nodes: 12 s
        network = std::make_unique<testsupport::SimulatedNetwork>("net");
        ASSERT_EQ(network->start({"--node", "3:" + example("network_identity4.eds"), "--node",
                                  "5:" + example("network_identity2.eds"), "--node",
                                  "7:" + example("network_identity0.eds"), "--node",
                                  "9:" + example("network_no_identity.eds"), "--node",
                                  "11:" + example("network_no_error_register.eds")}),
                  "");
        HwParallelParams params{125, 0x378, 7, 0};
        LibraryResult result{};
        Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &result);
        ASSERT_EQ(result.code, 0) << result.text;
        createWindow();
    }

    void TearDown() override {
        window.reset();
        Hardware_Close();
        network.reset();
    }

    void createWindow() {
        window = std::make_unique<TWin_Network>(progress, notifier,
                                                [this](bool running) { busy.push_back(running); });
        // The receive callback's hand-off, as the program wires it.
        liveStates = &window->liveStates();
        Event_Receive(&NetworkWindowTest::onReceive);
    }

    static void onReceive(const CanFrame* frame, int32_t) {
        if ((frame->id & 0xF00) == 0x700 && frame->length > 0 && liveStates != nullptr)
            liveStates->SetLiveState(static_cast<uint8_t>(frame->id & 0x7F), frame->data[0]);
    }

    void simCommand(const std::string& command) {
        ASSERT_TRUE(network->sim->writeLine(command));
        const std::string answer = network->sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer;
    }

    QTableWidget* grid() { return find<QTableWidget>(window.get(), "nodelist"); }
    QPushButton* scanbutton() { return find<QPushButton>(window.get(), "scanbutton"); }

    QStringList rowTexts(int row) {
        QStringList texts;
        for (int column = 0; column < TWin_Network::kColumns - 1; ++column) {
            const QTableWidgetItem* item = grid()->item(row, column);
            texts << (item != nullptr ? item->text() : QString());
        }
        return texts;
    }

    bool scanEnded() {
        return waitFor([&] { return !window->scanning() && scanbutton()->isEnabled(); },
                       std::chrono::seconds(90));
    }

    static inline NetworkLiveStates* liveStates = nullptr;
    std::unique_ptr<testsupport::SimulatedNetwork> network;
    guitest::RecordingNotifier notifier;
    TWin_Progress progress;
    std::vector<bool> busy;
    std::unique_ptr<TWin_Network> window;
};

TEST_F(NetworkWindowTest, ScanListsEveryNodeWithItsIdentityAndStatesStayLive) {
    window->show();
    EXPECT_EQ(window->windowTitle(), "Network Overview");
    scanbutton()->click();
    EXPECT_FALSE(scanbutton()->isEnabled());
    EXPECT_TRUE(progress.isVisible());
    ASSERT_TRUE(scanEnded());
    EXPECT_FALSE(progress.isVisible());
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));

    const QStringList expected[] = {
        {"03 (3d)", "Unknown", "000F0192", "00", "0000A5A5", "00000702", "00020003", "00003003"},
        {"05 (5d)", "Unknown", "000F0192", "00", "0000A5A5", "00000702", "-", "-"},
        {"07 (7d)", "Unknown", "000F0192", "00", "-", "-", "-", "-"},
        {"09 (9d)", "Unknown", "000F0192", "00", "-", "-", "-", "-"},
        {"0B (11d)", "Unknown", "000F0192", "-", "0000A5A5", "00000702", "00020003", "0000300B"},
    };
    ASSERT_EQ(grid()->rowCount(), 5);
    for (int row = 0; row < 5; ++row) EXPECT_EQ(rowTexts(row), expected[row]) << row;

    // A heartbeat changes a row within a refresh; a node never heard stays "Unknown".
    simCommand("heartbeat 5 50");
    simCommand("state 5 operational");
    EXPECT_TRUE(waitFor([&] { return grid()->item(1, 1)->text() == "Operational"; }));
    EXPECT_EQ(grid()->item(0, 1)->text(), "Unknown");
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(NetworkWindowTest, CancelEndsTheScanAndKeepsTheRowsFound) {
    scanbutton()->click();
    ASSERT_TRUE(waitFor([&] { return grid()->item(0, 0) != nullptr; }));
    find<QPushButton>(&progress, "cancel")->click();
    ASSERT_TRUE(scanEnded());
    EXPECT_GE(grid()->rowCount(), 1);
    EXPECT_LT(grid()->rowCount(), 5) << "the scan went on after the cancel";
    EXPECT_EQ(grid()->item(0, 0)->text(), "03 (3d)");
    EXPECT_EQ(busy.back(), false);
}

TEST_F(NetworkWindowTest, AScanWithNoNodeAnsweringLeavesOneEmptyRow) {
    for (const char* node : {"3", "5", "7", "9", "11"}) simCommand(std::string("remove ") + node);
    scanbutton()->click();
    ASSERT_TRUE(scanEnded());
    ASSERT_EQ(grid()->rowCount(), 1);
    EXPECT_EQ(rowTexts(0), QStringList(8, QString()));
}

// Closing the window ends its scan; destroying it mid-scan stops the upload
// before the buffer goes, and the library is free for the next transfer.
TEST_F(NetworkWindowTest, ClosingOrDestroyingTheWindowEndsTheScanCleanly) {
    window->show();
    scanbutton()->click();
    window->close();
    ASSERT_TRUE(scanEnded());
    EXPECT_LT(grid()->rowCount(), 5);

    scanbutton()->click();
    ASSERT_TRUE(window->scanning());
    window.reset();
    uint8_t buffer[4] = {};
    uint32_t length = sizeof buffer;
    static std::atomic<int> completions{0};
    LibraryResult result{};
    CANopen_SDOUpload(
        3, 0x1000, 0, buffer, &length, nullptr, [](const LibraryResult*) { ++completions; },
        &result);
    EXPECT_EQ(result.code, 0) << result.text;
    EXPECT_TRUE(waitFor([] { return completions.load() == 1; }));
}

TEST_F(NetworkWindowTest, LayoutIsRestoredOnlyWhenStored) {
    const int designWidth = window->width();
    const int firstColumn = grid()->columnWidth(0);
    window.reset();  // writes all ten values
    {
        QSettings settings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
        EXPECT_EQ(settings.value("nodelistwidth").toInt(), designWidth);
        EXPECT_EQ(settings.value("nodecol0width").toInt(), firstColumn);
        settings.setValue("nodecol2width", 123);
        settings.setValue("nodelistwidth", 700);
        settings.setValue("nodelistheight", 250);
        settings.remove("nodecol3width");
        settings.sync();
    }
    createWindow();
    EXPECT_EQ(grid()->columnWidth(2), 123);
    EXPECT_EQ(window->width(), 700);
    EXPECT_EQ(window->height(), 250);
    window.reset();
    guitest::clearSettings();
    createWindow();
    EXPECT_EQ(window->width(), designWidth);
}

}  // namespace
