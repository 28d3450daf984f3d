// What the trace window shows and the rules that fill it: the working copy
// read from the trace buffer, the static table, the grid's row count and the
// title with the frame rate. Free of widgets; the window supplies the grid's
// size in rows. UI thread.
//
// Grid rows count the header row as row 0, as the window's grid does; line i
// (0 = newest frame, or lowest identifier in the static trace) is written
// into row (row count - 1 - i), so the newest line is always at the bottom.
//
// A line's transmit message name is looked up once, when a refresh (or an
// export) takes its frame from the buffer; lines already taken keep theirs,
// so a stopped trace never changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "trace/core/frame_name.h"
#include "trace/core/static_trace.h"
#include "trace/core/trace_buffer.h"

// The grid's size in rows of the default row height.
struct GridMetrics {
    int gridRows = 0;     // grid height (header included) / row height
    int visibleRows = 0;  // data rows that fit below the header
};

class TraceDisplay {
public:
    static constexpr int kTimerInterval_ms = 500;
    static constexpr std::size_t kWorkingCapacity = TTraceBuffer::kCapacity;
    static constexpr int kMinRunningRows = 3;

    // `gridRows` is the grid's height in rows when the window is created;
    // `names` may be nullptr (lines carry no message names).
    TraceDisplay(TTraceBuffer& buffer, int gridRows, const MessageNames* names = nullptr);

    // False when the working copy could not be allocated; nothing else works then.
    bool usable() const { return working_ != nullptr; }
    bool running() const { return running_; }
    bool monitorAll() const { return monitorAll_; }
    bool staticMode() const { return static_; }
    const std::string& title() const { return title_; }

    // Grid rows including the header row (at least 1).
    int rowCount() const { return rowCount_; }
    // The record shown in grid row `row` (1 .. rowCount() - 1), or nullptr
    // for a blank row.
    const TraceRecord* recordAtRow(int row) const;
    // The message name of that row's line; nullptr when it has none.
    const std::string* nameAtRow(int row) const;

    // The window is shown: the buffer is cleared and the grid blanked.
    void Show();
    // The timer tick: refreshes while running.
    void Tick(const GridMetrics& grid);
    // Reads the buffer into the grid and sets the title.
    void Refresh(const GridMetrics& grid);
    // Empties rows 1 .. rowCount() - 1.
    void Blank() { shownLines_ = 0; }

    // Stops recording and shows up to 12999 newest frames (or the static
    // table) in a grid of 13000 rows.
    void StopTrace(const GridMetrics& grid);
    // Clears the buffer, the static table and the grid and records again.
    void StartTrace(const GridMetrics& grid);
    // Narrows recording to the current node, or widens it to every node.
    void ToggleMonitor();
    // Switches between the continuous and the static trace, starting empty.
    void ToggleStatic();
    // The grid changed size; `visible` = the window is shown. Returns true
    // when a stopped grid should scroll to its last row.
    bool Resize(const GridMetrics& grid, bool visible);

    // The rows of an export, in ascending order (continuous: the whole buffer
    // newest first; static: lowest identifier first). Nothing while running.
    // Valid until the next call that reads the buffer.
    const TraceRecord* ExportRows(std::size_t& count);
    // The message names of those rows, in the same order.
    const FrameName* ExportNames() const { return workingNames_.get(); }

private:
    // The working copy's line index shown in grid row `row`, or -1.
    std::ptrdiff_t lineOfRow(int row) const;
    // Reads up to `maxCount` newest frames into the working copy; frames read
    // before keep their names, the others are named now.
    TraceReadResult readWorking(int maxCount);
    // Names working_[first .. end) under the names the snapshot took last.
    void nameWorking(std::size_t first, std::size_t end);
    // The buffer was emptied: no working line is known any more.
    void forgetWorking();
    void setRowCount(int rows);
    void updateTitle(const TraceReadResult& read);

    TTraceBuffer& buffer_;
    const MessageNames* names_;
    std::unique_ptr<TraceRecord[]> working_;  // newest first
    // Names of the buffer's newest frames (working_'s order); the first
    // namedLines_ are known, also beyond the frames the last read copied.
    std::unique_ptr<FrameName[]> workingNames_;
    std::size_t namedLines_ = 0;
    MessageNameSnapshot snapshot_;
    StaticTrace staticTable_;
    bool running_ = true;
    bool monitorAll_ = true;
    bool static_ = false;
    int rowCount_ = 1;
    int lastResizeRows_ = 0;
    int previousRate_ = 0;
    std::string title_;

    // The lines in the grid: from the static table or the working copy, the
    // row count they were written for, how many.
    bool shownStatic_ = false;
    int writtenRowCount_ = 1;
    std::size_t shownLines_ = 0;
};
