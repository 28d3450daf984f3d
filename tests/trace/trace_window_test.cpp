#include "trace/trace_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
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

const char* const kSettingKeys[] = {"col0width", "col1width",  "col2width",  "col3width",
                                    "col4width", "col5width",  "col6width",  "col7width",
                                    "col8width", "tracewidth", "traceheight"};
const int kDefaults[] = {20, 48, 48, 130, 48, 141, 130, 130, 130, 695, 365};

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

    TTraceBuffer buffer;
    TEmergencyCodes codes;
    guitest::RecordingNotifier notifier;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
    std::unique_ptr<TWin_Trace> window;
};

TEST_F(TraceWindowTest, CreatedWithCaptionHeadersMenuAndExportDisabled) {
    EXPECT_EQ(window->windowTitle(), "CAN Bus Trace");
    const QStringList headers = {
        "Dir",     "Cnt",        "Msg ID (Hex)", "Msg Type",          "Node ID (Hex)",
        "Details", "Data (Hex)", "Data (ASCII)", "Raw Message (Hex)", ""};
    ASSERT_EQ(grid()->model()->columnCount(), headers.size());
    for (int i = 0; i < headers.size(); ++i) {
        EXPECT_EQ(grid()->model()->headerData(i, Qt::Horizontal).toString(), headers[i]);
    }
    auto* menu = window->findChild<QMenu*>(QStringLiteral("optionsmenu"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), "&Options");
    const std::pair<const char*, const char*> items[] = {
        {"startstop", "&Stop Trace"},
        {"monitor", "&Monitor Current Node"},
        {"stat", "S&tatic Trace"},
        {"exportasctrace", "&Export Ascending Trace..."},
        {"exportdesctrace", "Export &Descending Trace..."},
    };
    for (const auto& [name, caption] : items) {
        ASSERT_NE(action(name), nullptr) << name;
        EXPECT_EQ(action(name)->text(), caption);
    }
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
    EXPECT_FALSE(action("exportdesctrace")->isEnabled());
    EXPECT_FALSE(window->findChild<QTimer*>(QStringLiteral("UpdateTimer"))->isActive());
    EXPECT_TRUE(notifier.boxes.empty());

    // Toggle items name the action they will perform next.
    action("monitor")->trigger();
    action("stat")->trigger();
    EXPECT_EQ(action("monitor")->text(), "&Monitor All Nodes");
    EXPECT_EQ(action("stat")->text(), "&Continuous Trace");
    action("monitor")->trigger();
    action("stat")->trigger();
    EXPECT_EQ(action("monitor")->text(), "&Monitor Current Node");
    EXPECT_EQ(action("stat")->text(), "S&tatic Trace");
}

TEST_F(TraceWindowTest, SizesDefaultOrStoredApplyAndAreWrittenBack) {
    {
        auto settings = OpenSettings();  // missing sizes took their defaults, written back
        for (std::size_t i = 0; i < std::size(kSettingKeys); ++i) {
            EXPECT_EQ(ReadInt(*settings, QLatin1String(kSettingKeys[i])), kDefaults[i])
                << kSettingKeys[i];
            if (i < 9) {
                EXPECT_EQ(grid()->columnWidth(static_cast<int>(i)), kDefaults[i]);
            }
        }
        EXPECT_EQ(window->size(), QSize(695, 365));
    }
    window.reset();
    {
        auto settings = OpenSettings();
        WriteInt(*settings, QStringLiteral("col3width"), 200);
        WriteInt(*settings, QStringLiteral("traceheight"), 400);
        settings->remove(QStringLiteral("col5width"));
        settings->sync();
    }
    window = makeWindow();  // stored sizes apply, current ones are written on destruction
    EXPECT_EQ(grid()->columnWidth(3), 200);
    EXPECT_EQ(grid()->columnWidth(5), 141);
    EXPECT_EQ(window->size(), QSize(695, 400));

    grid()->setColumnWidth(8, 77);
    window->resize(640, 300);
    window.reset();
    auto settings = OpenSettings();
    EXPECT_EQ(ReadInt(*settings, QStringLiteral("col8width")), 77);
    EXPECT_EQ(ReadInt(*settings, QStringLiteral("col3width")), 200);
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
    EXPECT_EQ(cell(bottomRow(), 0), "Rx");
    EXPECT_EQ(cell(bottomRow() - 1, 2), "");
    EXPECT_EQ(cell(bottomRow(), 9), "");

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
    // 40 lines, the newest at the bottom.
    EXPECT_EQ(grid()->model()->rowCount(),
              std::max(40, grid()->height() / grid()->verticalHeader()->defaultSectionSize() - 2));
    EXPECT_EQ(cell(bottomRow(), 2), "127");
    EXPECT_EQ(cell(bottomRow() - 39, 2), "100");

    action("startstop")->trigger();
    EXPECT_EQ(action("startstop")->text(), "&Stop Trace");
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
    EXPECT_LT(grid()->model()->rowCount(), 100);
    EXPECT_EQ(cell(bottomRow(), 2), "");
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

TEST_F(TraceWindowTest, ShrinkingARunningWindowKeepsThreeRows) {
    window->show();
    store(0x181, {});
    window->resize(window->width(), 1);
    const int rowHeight = grid()->verticalHeader()->defaultSectionSize();
    EXPECT_EQ(grid()->model()->rowCount() + 1, std::max(3, grid()->height() / rowHeight - 1));
    EXPECT_EQ(cell(bottomRow(), 2), "181") << "a visible grid refreshes at once";
}

// The export of a stopped trace of three frames A (oldest), B, C.
class TraceExportWindowTest : public TraceWindowTest {
protected:
    void SetUp() override {
        TraceWindowTest::SetUp();
        window->show();
        store(0x705, {0x05});
        store(0x605, {0x23, 0x00, 0x10, 0x00, 0x11, 0x22, 0x33, 0x44}, kTraceTransmitted);
        store(0x181, {0x2C, 0x22, 0x41});
        ASSERT_TRUE(folder.isValid());
        path = folder.filePath(QStringLiteral("trace.csv"));
    }

    std::string exported(bool descending) {
        window->ExportTrace(path, descending);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return "<no file>";
        return file.readAll().toStdString();
    }

    // The heading for a moment; its exact text is checked by the export's own tests.
    static std::string Heading(std::time_t moment) {
        std::ostringstream out;
        WriteTraceExportHeading(out, moment);
        return out.str();
    }

    QTemporaryDir folder;
    QString path;
};

TEST_F(TraceExportWindowTest, StoppedTraceExportsAscendingAndDescending) {
    using tracetest::kRowA, tracetest::kRowB, tracetest::kRowC;
    struct Case {
        bool descending;
        std::string rows;
    };
    const Case cases[] = {
        {false, std::string("1") + kRowC + "2" + kRowB + "3" + kRowA},
        {true, std::string("3") + kRowA + "2" + kRowB + "1" + kRowC},
    };
    action("startstop")->trigger();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.descending);
        const std::time_t before = std::time(nullptr);
        const std::string text = exported(k.descending);
        const std::time_t after = std::time(nullptr);
        EXPECT_TRUE(text == Heading(before) + k.rows || text == Heading(after) + k.rows) << text;
    }
}

TEST_F(TraceExportWindowTest, NothingWhileRunningAnEmptyFileForAnEmptyTrace) {
    EXPECT_EQ(exported(false), "<no file>");
    action("startstop")->trigger();
    action("startstop")->trigger();  // restarting empties the buffer
    action("startstop")->trigger();
    EXPECT_EQ(exported(true), "");
}

}  // namespace
