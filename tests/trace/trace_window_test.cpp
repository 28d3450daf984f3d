#include "trace/trace_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QKeyEvent>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gui_support/gui_test_support.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_export.h"
#include "trace_core/trace_test_support.h"

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
        window = std::make_unique<TWin_Trace>(
            buffer, codes, &names,
            [this](const QKeyEvent& key) { keys.emplace_back(key.key(), key.modifiers()); },
            notifier);
    }

    QTableView* grid() { return guitest::find<QTableView>(window.get(), QStringLiteral("trace")); }
    QAction* action(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }

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

    // The text the grid shows in `column` of its last row.
    QString lastRowText(TraceColumn column) {
        const QAbstractItemModel* model = grid()->model();
        return model->index(model->rowCount() - 1, column).data().toString();
    }

    QTemporaryDir folder;
    TTraceBuffer buffer;
    TEmergencyCodes codes;
    tracetest::FakeNames names{{0x7FF, "Unused"}};
    guitest::RecordingNotifier notifier;
    std::vector<std::pair<int, Qt::KeyboardModifiers>> keys;
    std::unique_ptr<TWin_Trace> window;
};

TEST_F(TraceWindowTest, MenuItemsNameTheNextActionExportOnlyWhileStopped) {
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
    action("monitor")->trigger();
    action("stat")->trigger();
    EXPECT_EQ(action("monitor")->text(), "&Monitor All Nodes");
    EXPECT_EQ(action("stat")->text(), "&Continuous Trace");
    window->show();
    action("startstop")->trigger();
    EXPECT_EQ(action("startstop")->text(), "&Start Trace");
    EXPECT_EQ(window->windowTitle(), "CAN Bus Trace - stopped");
    EXPECT_TRUE(action("exportasctrace")->isEnabled());
    EXPECT_TRUE(action("exportdesctrace")->isEnabled());

    action("startstop")->trigger();
    EXPECT_EQ(action("startstop")->text(), "&Stop Trace");
    EXPECT_FALSE(action("exportasctrace")->isEnabled());
}

TEST_F(TraceWindowTest, EveryKeyPressReachesTheKeyHandler) {
    window->show();
    QTest::keyClick(grid(), Qt::Key_7, Qt::ShiftModifier);
    const std::vector<std::pair<int, Qt::KeyboardModifiers>> expected = {
        {Qt::Key_Shift, Qt::ShiftModifier},
        {Qt::Key_7, Qt::ShiftModifier},
    };
    EXPECT_EQ(keys, expected);
}

// A line shows the message name it was first drawn with, in UTF-8, and keeps
// it: renaming or disabling the message changes no line already shown.
TEST_F(TraceWindowTest, ShownLinesKeepTheirUtf8MessageName) {
    const QString name = QString::fromUtf8("Drehzahl \xC3\xBC");
    names.Set(0, 0x181, name.toStdString());
    window->show();
    store(0x181, {0x2C, 0x22});
    window->UpdateTimerTimer();
    EXPECT_EQ(lastRowText(kColMsgType), name);
    names.Set(0, 0x181, "Renamed");
    window->UpdateTimerTimer();
    EXPECT_EQ(lastRowText(kColMsgType), name);
    action("startstop")->trigger();
    names.Set(0, 0x181, "");
    window->resize(window->width() + 40, window->height() + 40);
    EXPECT_EQ(lastRowText(kColMsgType), name);
}

// A short frame in a ring slot an older 8-byte frame used shows as quordecode
// shows it: missing bytes read as zero.
TEST_F(TraceWindowTest, ShortFrameShowsNoBytesOfAnOlderFrame) {
    window->show();
    store(0x085, {0x10, 0x81, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
    window->UpdateTimerTimer();
    action("startstop")->trigger();
    action("startstop")->trigger();  // the restart empties the ring
    store(0x085, {0x10});
    window->UpdateTimerTimer();
    TraceLine expected;
    InterpretFrame(tracetest::FrameFrom("085#10"), codes, nullptr, expected);
    for (std::size_t column = 0; column < kTraceColumnCount; ++column) {
        EXPECT_EQ(lastRowText(TraceColumn(column)).toStdString(),
                  expected.text(TraceColumn(column)))
            << column;
    }
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

namespace {

// Column widths and the window size come from the settings and are written
// back when the window goes.
TEST(TraceWindowLayout, RemembersColumnWidthsAndSize) {
    guitest::clearSettings();
    QSettings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"))
        .setValue(QStringLiteral("col3width"), 200);
    TTraceBuffer buffer;
    TEmergencyCodes codes;
    guitest::RecordingNotifier notifier;
    auto window =
        std::make_unique<TWin_Trace>(buffer, codes, nullptr, TWin_Trace::KeyHandler(), notifier);
    auto* grid = guitest::find<QTableView>(window.get(), QStringLiteral("trace"));
    EXPECT_EQ(grid->columnWidth(3), 200);
    // A missing value takes its default (fitted to the font, never narrower
    // than at 96 DPI), written back at once.
    EXPECT_GE(grid->columnWidth(5), 141);
    EXPECT_EQ(QSettings(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"))
                  .value(QStringLiteral("col5width"))
                  .toInt(),
              grid->columnWidth(5));
    grid->setColumnWidth(5, 90);
    window.reset();
    QSettings stored(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    EXPECT_EQ(stored.value(QStringLiteral("col5width")).toInt(), 90);
    EXPECT_TRUE(stored.contains(QStringLiteral("tracewidth")));
}

}  // namespace
