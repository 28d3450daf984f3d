#include "trace/trace_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/settings_store.h"
#include "gui_test_support.h"
#include "trace/emergency_codes.h"
#include "trace/trace_export.h"
#include "trace_test_support.h"

namespace {

std::string Heading(std::time_t moment) {
    std::ostringstream out;
    WriteTraceExportHeading(out, moment);
    return out.str();
}

class TraceWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        window = makeWindow();
    }

    std::unique_ptr<TWin_Trace> makeWindow() {
        return std::make_unique<TWin_Trace>(
            buffer, codes, nullptr,
            [this](int key, Qt::KeyboardModifiers modifiers) { keys.emplace_back(key, modifiers); },
            notifier);
    }

    QTableView* grid() { return guitest::find<QTableView>(window.get(), QStringLiteral("trace")); }
    QAction* action(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }
    QString cell(int gridRow, int column) {
        return grid()->model()->index(gridRow - 1, column).data().toString();
    }
    int bottomRow() { return grid()->model()->rowCount(); }

    void store(uint32_t id, std::vector<uint8_t> data, uint8_t direction = kTraceReceived) {
        buffer.Store(id, static_cast<uint8_t>(data.size()), 0, direction, false, false,
                     data.data());
    }

    // Exports to a fresh file and returns its text; "<no file>" when none was written.
    std::string exported(bool descending) {
        const QString path = folder.filePath(QStringLiteral("trace.csv"));
        window->ExportTrace(path, descending);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return "<no file>";
        return file.readAll().toStdString();
    }

    QTemporaryDir folder;
    TTraceBuffer buffer;
    TEmergencyCodes codes;
    guitest::RecordingNotifier notifier;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
    std::unique_ptr<TWin_Trace> window;
};

TEST_F(TraceWindowTest, CreatedWithExportDisabledAndToggleItemsNamingTheNextAction) {
    EXPECT_EQ(window->windowTitle(), "CAN Bus Trace");
    EXPECT_EQ(grid()->model()->columnCount(), 10);
    EXPECT_EQ(grid()->model()->headerData(8, Qt::Horizontal).toString(), "Raw Message (Hex)");
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
    EXPECT_FALSE(action("exportdesctrace")->isEnabled());
    EXPECT_FALSE(window->findChild<QTimer*>(QStringLiteral("UpdateTimer"))->isActive());

    EXPECT_EQ(action("monitor")->text(), "&Monitor Current Node");
    EXPECT_EQ(action("stat")->text(), "S&tatic Trace");
    action("monitor")->trigger();
    action("stat")->trigger();
    EXPECT_EQ(action("monitor")->text(), "&Monitor All Nodes");
    EXPECT_EQ(action("stat")->text(), "&Continuous Trace");
}

TEST_F(TraceWindowTest, SizesDefaultOrStoredApplyAndAreWrittenBack) {
    EXPECT_EQ(grid()->columnWidth(0), 20);
    EXPECT_EQ(grid()->columnWidth(5), 141);
    EXPECT_EQ(window->size(), QSize(695, 365));
    EXPECT_EQ(ReadInt(*OpenSettings(), QStringLiteral("col8width")), 130) << "default written";
    window.reset();
    {
        auto settings = OpenSettings();
        WriteInt(*settings, QStringLiteral("col3width"), 200);
        WriteInt(*settings, QStringLiteral("traceheight"), 400);
        settings->sync();
    }
    window = makeWindow();
    EXPECT_EQ(grid()->columnWidth(3), 200);
    EXPECT_EQ(window->size(), QSize(695, 400));

    grid()->setColumnWidth(8, 77);
    window->resize(640, 300);
    window.reset();
    auto settings = OpenSettings();
    EXPECT_EQ(ReadInt(*settings, QStringLiteral("col8width")), 77);
    EXPECT_EQ(ReadInt(*settings, QStringLiteral("tracewidth")), 640);
    EXPECT_EQ(ReadInt(*settings, QStringLiteral("traceheight")), 300);
}

TEST_F(TraceWindowTest, ShowingClearsTheBufferAndTicksFillTheBottomRows) {
    store(0x181, {0x01});  // before the window is shown: cleared
    window->show();
    auto* timer = window->findChild<QTimer*>(QStringLiteral("UpdateTimer"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 500);

    store(0x705, {0x05});
    window->UpdateTimerTimer();
    EXPECT_EQ(window->windowTitle(), "CAN Bus Trace - 1 message/sec");
    EXPECT_EQ(cell(bottomRow(), 2), "705");
    EXPECT_EQ(cell(bottomRow() - 1, 2), "");

    window->close();
    EXPECT_FALSE(timer->isActive());
}

TEST_F(TraceWindowTest, StopAndStartSwitchCaptionsExportItemsAndRows) {
    window->show();
    for (uint32_t i = 0; i < 40; ++i) store(0x100 + i, {});
    action("startstop")->trigger();
    EXPECT_EQ(action("startstop")->text(), "&Start Trace");
    EXPECT_EQ(window->windowTitle(), "CAN Bus Trace - stopped");
    EXPECT_TRUE(action("exportasctrace")->isEnabled());
    EXPECT_TRUE(action("exportdesctrace")->isEnabled());
    EXPECT_EQ(cell(bottomRow(), 2), "127");  // 40 lines, the newest at the bottom
    EXPECT_EQ(cell(bottomRow() - 39, 2), "100");

    action("startstop")->trigger();
    EXPECT_EQ(action("startstop")->text(), "&Stop Trace");
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
}

TEST_F(TraceWindowTest, EveryKeyPressReachesTheKeyHandler) {
    window->show();
    QTest::keyClick(grid(), Qt::Key_F2);
    QTest::keyClick(grid(), Qt::Key_7, Qt::ShiftModifier);
    QTest::keyClick(grid(), Qt::Key_Down);
    const std::vector<std::pair<int, Qt::KeyboardModifiers>> expected = {
        {Qt::Key_F2, Qt::NoModifier},
        {Qt::Key_Shift, Qt::ShiftModifier},
        {Qt::Key_7, Qt::ShiftModifier},
        {Qt::Key_Down, Qt::NoModifier},
    };
    EXPECT_EQ(keys, expected);
}

// A stopped trace of frames A (oldest), B, C exports in descending order; the
// heading's exact text is checked by the export's own tests.
TEST_F(TraceWindowTest, StoppedTraceExportsDescending) {
    using tracetest::kRowA, tracetest::kRowB, tracetest::kRowC;
    window->show();
    store(0x705, {0x05});
    store(0x605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44}, kTraceTransmitted);
    store(0x181, {0x2C, 0x22, 0x41});
    EXPECT_EQ(exported(false), "<no file>") << "nothing while running";
    action("startstop")->trigger();
    const std::string rows = std::string("3") + kRowA + "2" + kRowB + "1" + kRowC;
    const std::time_t before = std::time(nullptr);
    const std::string text = exported(true);
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(text == Heading(before) + rows || text == Heading(after) + rows) << text;
}

}  // namespace
