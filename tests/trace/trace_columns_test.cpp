// The trace grid's columns in the fonts in use: default widths that hold the
// decoder's texts and the titles, stored widths winning, and cut texts marked
// with an ellipsis and shown whole in their tooltip.
#include "trace/trace_columns.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QHelpEvent>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <memory>

#include "gui_support/gui_test_support.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_buffer.h"
#include "trace/trace_window.h"

namespace {

class TraceColumnsTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::clearSettings(); }
    void TearDown() override { QToolTip::hideText(); }

    void makeWindow() {
        window = std::make_unique<TWin_Trace>(buffer, codes, nullptr, TWin_Trace::KeyHandler(),
                                              notifier);
    }
    QTableView* grid() { return guitest::find<QTableView>(window.get(), QStringLiteral("trace")); }

    TTraceBuffer buffer;
    TEmergencyCodes codes;
    guitest::RecordingNotifier notifier;
    std::unique_ptr<TWin_Trace> window;
};

TEST_F(TraceColumnsTest, DefaultWidthsHoldTheTextsAndTitlesInTheFontInUse) {
    makeWindow();
    const QFontMetrics cells = grid()->fontMetrics();
    const struct {
        int column;
        const char* text;
    } texts[] = {
        {3, "SDO Upload Response"},
        {3, "SDO Download Response"},
        {3, "Node Guarding/Heartbeat"},
        {4, "7F (127d)"},
        {5, "toggle = 1, last segment"},
        {2, "1DDDDDDD"},
        {6, "DD DD DD DD DD DD DD DD "},
        {6, "00 00 00 00 00 00 00 00 "},
        {7, "WWWWWWWW"},
        {8, "DD DD DD DD DD DD DD DD "},
        {8, "43 00 10 00 91 01 00 00 "},
    };
    for (const auto& t : texts) {
        EXPECT_GE(grid()->columnWidth(t.column),
                  cells.horizontalAdvance(QLatin1String(t.text)) + 2 * kTraceCellTextMargin)
            << t.text;
    }
    QHeaderView* header = grid()->horizontalHeader();
    const int at96Dpi[] = {20, 48, 48, 130, 48, 141, 130, 130, 130};
    QSettings stored(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    for (int column = 0; column < kTraceTextColumns; ++column) {
        EXPECT_GE(grid()->columnWidth(column), header->sectionSizeHint(column)) << column;
        EXPECT_GE(grid()->columnWidth(column), at96Dpi[column] * grid()->logicalDpiX() / 96)
            << column;
        EXPECT_EQ(stored.value(QStringLiteral("col%1width").arg(column)).toInt(),
                  grid()->columnWidth(column));
    }
}

TEST_F(TraceColumnsTest, StoredWidthsWin) {
    QSettings stored(QStringLiteral("Trelvik-System"), QStringLiteral("Quorvane"));
    stored.setValue(QStringLiteral("col3width"), 60);
    stored.setValue(QStringLiteral("col4width"), 30);
    stored.sync();
    makeWindow();
    EXPECT_EQ(grid()->columnWidth(3), 60);
    EXPECT_EQ(grid()->columnWidth(4), 30);
}

TEST(TraceColumnTexts, ACutTextEndsInAnEllipsis) {
    const QFontMetrics metrics{QFont()};
    const QString text = QStringLiteral("Node Guarding/Heartbeat");
    const int whole = metrics.horizontalAdvance(text);
    EXPECT_EQ(ShownCellText(metrics, text, whole), text);
    const QString cut = ShownCellText(metrics, text, whole / 2);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
    EXPECT_TRUE(text.startsWith(cut.chopped(1)));
    EXPECT_LE(metrics.horizontalAdvance(cut), whole / 2);
}

// The tooltip shows the whole text of a cell or title the column cuts, and
// nothing for one that fits.
TEST_F(TraceColumnsTest, TooltipsHoldTheWholeTextOfCutCellsAndTitles) {
    makeWindow();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const uint8_t heartbeat[] = {0x05};
    buffer.Store(0x705, 1, 0, kTraceReceived, false, false, heartbeat);
    window->UpdateTimerTimer();
    QTableView* view = grid();
    QAbstractItemModel* model = view->model();
    int row = -1;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 3).data().toString() == "Node Guarding/Heartbeat") row = r;
    ASSERT_GE(row, 0);
    view->scrollTo(model->index(row, 3));
    const auto tooltipAt = [&](QWidget* target, QPoint pos) {
        QToolTip::hideText();  // hides after a short fade
        EXPECT_TRUE(guitest::waitFor([] { return !QToolTip::isVisible(); }));
        QHelpEvent event(QEvent::ToolTip, pos, target->mapToGlobal(pos));
        QApplication::sendEvent(target, &event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QPoint cell = view->visualRect(model->index(row, 3)).center();
    EXPECT_EQ(tooltipAt(view->viewport(), cell), QString());  // fits
    view->setColumnWidth(3, 40);
    const QPoint cutCell = view->visualRect(model->index(row, 3)).center();
    EXPECT_EQ(tooltipAt(view->viewport(), cutCell), "Node Guarding/Heartbeat");

    QHeaderView* header = view->horizontalHeader();
    const QPoint title(header->sectionViewportPosition(4) + 5, header->height() / 2);
    EXPECT_EQ(tooltipAt(header->viewport(), title), QString());
    view->setColumnWidth(4, 25);
    EXPECT_EQ(tooltipAt(header->viewport(), title), "Node ID (Hex)");
}

}  // namespace
