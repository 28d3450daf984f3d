#include "trace/core/trace_display.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "trace_test_support.h"

namespace {

const uint8_t kBytes[8] = {};
// A grid of 20 rows of which 18 data rows fit under the header.
constexpr GridMetrics kGrid{20, 18};

void StoreIds(TTraceBuffer& buffer, const std::vector<uint32_t>& ids) {
    for (uint32_t id : ids) buffer.Store(id, 1, 0, kTraceReceived, false, false, kBytes);
}

void StoreNumbered(TTraceBuffer& buffer, uint32_t first, uint32_t count) {
    for (uint32_t id = first; id < first + count; ++id) StoreIds(buffer, {id});
}

// Identifier and count of every grid row below the header; 0/0 for a blank row.
struct Row {
    uint32_t id = 0, count = 0;
    bool operator==(const Row&) const = default;
};
std::vector<Row> Rows(const TraceDisplay& display) {
    std::vector<Row> rows;
    for (int r = 1; r < display.rowCount(); ++r) {
        const TraceRecord* record = display.recordAtRow(r);
        rows.push_back(record ? Row{record->identifier, record->count} : Row{});
    }
    return rows;
}

// A shown, running display with its grid sized by a resize.
struct Fixture {
    TTraceBuffer buffer;
    TraceDisplay display{buffer, kGrid.gridRows};
    Fixture() {
        display.Resize(kGrid, true);
        display.Show();
    }
};

TEST(TraceDisplayTest, TitleShowsTheRateAveragedOverTwoTicksAndLostFrames) {
    struct Case {
        std::vector<uint32_t> framesPerTick;
        const char* title;  // after the last tick
    };
    const Case cases[] = {
        {{0, 1}, "CAN Bus Trace - 1 message/sec"},
        {{1, 3}, "CAN Bus Trace - 4 messages/sec"},
        {{13001}, "CAN Bus Trace - 13001 messages/sec - messages lost!"},
        {{13001, 0}, "CAN Bus Trace - 13001 messages/sec"},  // lost only once
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        Fixture f;
        for (uint32_t frames : c.framesPerTick) {
            StoreNumbered(f.buffer, 0, frames);
            f.display.Tick(kGrid);
        }
        EXPECT_EQ(f.display.title(), c.title);
    }
}

TEST(TraceDisplayTest, ContinuousTraceShowsTheNewestFramesNewestAtTheBottom) {
    Fixture f;
    ASSERT_EQ(f.display.rowCount(), kGrid.gridRows - 1);
    StoreIds(f.buffer, {0x701, 0x181, 0x702});
    f.display.Tick(kGrid);
    std::vector<Row> expected(static_cast<std::size_t>(f.display.rowCount() - 4));
    expected.insert(expected.end(), {{0x701, 1}, {0x181, 1}, {0x702, 1}});
    EXPECT_EQ(Rows(f.display), expected);

    // More frames than rows: only the newest fill the grid.
    StoreNumbered(f.buffer, 1000, 100);
    f.display.Tick(kGrid);
    const std::vector<Row> rows = Rows(f.display);
    EXPECT_EQ(rows.front().id, 1100u - rows.size());
    EXPECT_EQ(rows.back().id, 1099u);

    // A grid too small for three rows still keeps three.
    f.display.Resize({4, 3}, true);
    EXPECT_EQ(f.display.rowCount(), 3);
}

TEST(TraceDisplayTest, StaticTraceListsIdentifiersLowestAtTheBottomUntilRestarted) {
    Fixture f;
    f.display.ToggleStatic();
    ASSERT_TRUE(f.display.staticMode());
    StoreIds(f.buffer, {0x701, 0x181});
    f.display.Tick(kGrid);
    StoreIds(f.buffer, {0x701});
    f.display.Tick(kGrid);
    const std::vector<Row> rows = Rows(f.display);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[rows.size() - 1], (Row{0x181, 1}));
    EXPECT_EQ(rows[rows.size() - 2], (Row{0x701, 2}));
    for (std::size_t i = 0; i + 2 < rows.size(); ++i) EXPECT_EQ(rows[i], Row{});

    std::size_t count = 99;
    f.display.ExportRows(count);
    EXPECT_EQ(count, 0u) << "running";
    f.display.StopTrace(kGrid);
    const TraceRecord* exported = f.display.ExportRows(count);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ((Row{exported[0].identifier, exported[0].count}), (Row{0x181, 1}));
    EXPECT_EQ((Row{exported[1].identifier, exported[1].count}), (Row{0x701, 2}));

    // A restart empties the grid, the buffer and the static table.
    f.display.StartTrace(kGrid);
    StoreIds(f.buffer, {0x183});
    f.display.Tick(kGrid);
    const std::vector<Row> restarted = Rows(f.display);
    EXPECT_EQ(restarted.back(), (Row{0x183, 1}));
    EXPECT_EQ(restarted[restarted.size() - 2], Row{});
}

TEST(TraceDisplayTest, StoppingShowsThe12999NewestOldestAtTheTop) {
    Fixture f;
    StoreNumbered(f.buffer, 0, 13003);
    f.display.StopTrace(kGrid);
    EXPECT_FALSE(f.display.running());
    EXPECT_EQ(f.display.title(), "CAN Bus Trace - stopped - messages lost!");
    ASSERT_EQ(f.display.rowCount(), 13000);
    EXPECT_EQ(f.display.recordAtRow(1)->identifier, 4u);
    EXPECT_EQ(f.display.recordAtRow(12999)->identifier, 13002u);

    // Ticks change nothing while stopped; nothing is recorded either.
    StoreNumbered(f.buffer, 20000, 5);
    f.display.Tick(kGrid);
    EXPECT_EQ(f.display.recordAtRow(12999)->identifier, 13002u);
}

// The message names of the rows that show a frame, oldest first; "-" for a
// line without one.
std::vector<std::string> Names(const TraceDisplay& display) {
    std::vector<std::string> names;
    for (int r = 1; r < display.rowCount(); ++r) {
        if (display.recordAtRow(r) == nullptr) continue;
        const std::string* name = display.nameAtRow(r);
        names.push_back(name != nullptr ? *name : "-");
    }
    return names;
}

// A line takes its message name when a refresh first reads its frame; later
// renames, disables and enables name only later lines, in the continuous and
// the static trace, running or stopped.
TEST(TraceDisplayTest, LinesKeepTheMessageNameTheyWereTakenWith) {
    using Strings = std::vector<std::string>;
    tracetest::FakeNames names{{0x181, "Speed"}};
    TTraceBuffer buffer;
    TraceDisplay display(buffer, kGrid.gridRows, &names);
    display.Resize(kGrid, true);
    display.Show();

    StoreIds(buffer, {0x181, 0x701});
    display.Tick(kGrid);
    names.Set(0, 0x181, "Torque");
    display.Tick(kGrid);  // no new frame: nothing is taken again
    EXPECT_EQ(Names(display), (Strings{"Speed", "-"}));
    StoreIds(buffer, {0x181});
    display.Tick(kGrid);
    names.Set(0, 0x181, "");  // disabled
    StoreIds(buffer, {0x181});
    display.Tick(kGrid);
    const Strings running{"Speed", "-", "Torque", ""};
    EXPECT_EQ(Names(display), running);
    display.Resize({30, 28}, true);  // a new grid size reads the buffer again
    EXPECT_EQ(Names(display), running);

    names.Set(0, 0x701, "Heartbeat");
    display.StopTrace(kGrid);
    EXPECT_EQ(Names(display), running);
    display.Resize({40, 38}, true);
    display.Tick(kGrid);
    EXPECT_EQ(Names(display), running);
    std::size_t count = 0;
    display.ExportRows(count);
    ASSERT_EQ(count, 4u);
    const FrameName* exported = display.ExportNames();
    EXPECT_EQ(*exported[0], "");  // newest first
    EXPECT_EQ(exported[2], nullptr);
    EXPECT_EQ(*exported[3], "Speed");

    display.StartTrace(kGrid);
    display.ToggleStatic();
    names.Set(0, 0x181, "Speed");
    StoreIds(buffer, {0x181, 0x701});
    display.Tick(kGrid);
    names.Set(0, 0x701, "Heartbeat");
    StoreIds(buffer, {0x701});
    display.Tick(kGrid);
    names.Set(0, 0x181, "Torque");
    display.Tick(kGrid);
    EXPECT_EQ(Names(display), (Strings{"Heartbeat", "Speed"}));  // 0x701 above 0x181
    display.StopTrace(kGrid);
    names.Set(0, 0x7FF, "Other");
    display.Resize({40, 38}, true);
    EXPECT_EQ(Names(display), (Strings{"Heartbeat", "Speed"}));
}

}  // namespace
