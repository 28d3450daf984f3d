#include "trace/core/trace_display.h"

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

constexpr char kCaption[] = "CAN Bus Trace";
constexpr char kStoppedSuffix[] = " - stopped";
constexpr char kLostSuffix[] = " - messages lost!";
constexpr int kMillisecondsPerSecond = 1000;

}  // namespace

TraceDisplay::TraceDisplay(TTraceBuffer& buffer, int gridRows, const MessageNames* names)
    : buffer_(buffer),
      names_(names),
      working_(new (std::nothrow) TraceRecord[kWorkingCapacity]),
      workingNames_(new (std::nothrow) FrameName[kWorkingCapacity]),
      title_(kCaption) {
    if (!workingNames_) working_.reset();
    running_ = usable();
    setRowCount(gridRows);
}

std::ptrdiff_t TraceDisplay::lineOfRow(int row) const {
    if (row < 1 || row >= rowCount_) return -1;
    const int line = writtenRowCount_ - 1 - row;
    if (line < 0 || static_cast<std::size_t>(line) >= shownLines_) return -1;
    return line;
}

const TraceRecord* TraceDisplay::recordAtRow(int row) const {
    const std::ptrdiff_t line = lineOfRow(row);
    if (line < 0) return nullptr;
    const auto i = static_cast<std::size_t>(line);
    return shownStatic_ ? &staticTable_.sortedAt(i) : &working_[i];
}

const std::string* TraceDisplay::nameAtRow(int row) const {
    const std::ptrdiff_t line = lineOfRow(row);
    if (line < 0) return nullptr;
    const auto i = static_cast<std::size_t>(line);
    return (shownStatic_ ? staticTable_.sortedNameAt(i) : workingNames_[i]).get();
}

TraceReadResult TraceDisplay::readWorking(int maxCount) {
    const TraceReadResult read = buffer_.ReadRecent(maxCount, working_.get());
    const std::size_t fresh = std::min<std::size_t>(read.unread, kWorkingCapacity);
    const std::size_t kept = std::min(namedLines_, kWorkingCapacity - fresh);
    FrameName* names = workingNames_.get();
    if (fresh > read.copied) {
        // More new frames than were read: the known ones are out of reach.
        std::fill(names, names + namedLines_, nullptr);
        snapshot_.Take(names_);
        nameWorking(0, read.copied);
        namedLines_ = read.copied;
        return read;
    }
    // The frames read before moved down by the new ones.
    std::fill(names + kept, names + namedLines_, nullptr);
    std::move_backward(names, names + kept, names + fresh + kept);
    if (fresh > 0 || fresh + kept < read.copied) snapshot_.Take(names_);
    nameWorking(0, fresh);
    nameWorking(fresh + kept, read.copied);
    namedLines_ = std::max(fresh + kept, read.copied);
    return read;
}

void TraceDisplay::nameWorking(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i) {
        workingNames_[i] = snapshot_.Find(working_[i].identifier);
    }
}

void TraceDisplay::forgetWorking() {
    if (workingNames_)
        std::fill(workingNames_.get(), workingNames_.get() + kWorkingCapacity, nullptr);
    namedLines_ = 0;
}

void TraceDisplay::Show() {
    buffer_.Clear();
    forgetWorking();
    Blank();
}

void TraceDisplay::Tick(const GridMetrics& grid) {
    if (running_) Refresh(grid);
}

void TraceDisplay::Refresh(const GridMetrics& grid) {
    if (!usable()) return;
    std::size_t lines = 0;
    TraceReadResult read;
    if (static_) {
        read = buffer_.ReadRecent(-1, working_.get());
        if (read.copied > 0) snapshot_.Take(names_);
        nameWorking(0, read.copied);
        staticTable_.MergeNewestFirst(working_.get(), read.copied, workingNames_.get());
        lines = staticTable_.size();
    } else {
        read = readWorking(rowCount_ - 1);
        lines = read.copied;
    }
    updateTitle(read);
    if (lines == 0) return;

    const int lineRows = static_cast<int>(std::min<std::size_t>(lines, kWorkingCapacity)) + 1;
    if (!running_) {
        setRowCount(std::max(lineRows, grid.gridRows - 1));
    } else if (static_) {
        lines = std::min(lines, static_cast<std::size_t>(std::max(grid.visibleRows, 0)));
        if (grid.visibleRows < static_cast<int>(lines) + 1) {
            setRowCount(static_cast<int>(lines) + 1);
        }
    } else if (grid.visibleRows < lineRows) {
        setRowCount(lineRows);
    }
    shownStatic_ = static_;
    shownLines_ = std::min(lines, static_cast<std::size_t>(rowCount_ - 1));
    writtenRowCount_ = rowCount_;
}

void TraceDisplay::updateTitle(const TraceReadResult& read) {
    char text[80];
    if (running_) {
        const auto rate = static_cast<int>(static_cast<int64_t>(read.unread) *
                                           kMillisecondsPerSecond / kTimerInterval_ms);
        const int shown = (rate + previousRate_) / 2;
        previousRate_ = rate;
        std::snprintf(text, sizeof text, "%s - %d message%s/sec", kCaption, shown,
                      shown == 1 ? "" : "s");
    } else {
        std::snprintf(text, sizeof text, "%s%s", kCaption, kStoppedSuffix);
    }
    title_ = text;
    if (read.lost) title_ += kLostSuffix;
}

void TraceDisplay::StopTrace(const GridMetrics& grid) {
    buffer_.Stop();
    running_ = false;
    setRowCount(static_cast<int>(kWorkingCapacity));
    Refresh(grid);
}

void TraceDisplay::StartTrace(const GridMetrics& grid) {
    setRowCount(grid.gridRows - 1);
    buffer_.Clear();
    forgetWorking();
    staticTable_.Clear();
    Blank();
    buffer_.Start();
    running_ = true;
}

void TraceDisplay::ToggleMonitor() {
    monitorAll_ = !monitorAll_;
    buffer_.SetMonitorAll(monitorAll_);
}

void TraceDisplay::ToggleStatic() {
    Blank();
    buffer_.Clear();
    forgetWorking();
    staticTable_.Clear();
    static_ = !static_;
}

bool TraceDisplay::Resize(const GridMetrics& grid, bool visible) {
    if (running_) {
        const int rows = std::max(grid.gridRows - 1, kMinRunningRows);
        setRowCount(rows);
        if (rows != lastResizeRows_) {
            Blank();
            if (visible) Refresh(grid);
        }
        lastResizeRows_ = rows;
        return false;
    }
    Blank();
    if (visible) Refresh(grid);
    return true;
}

const TraceRecord* TraceDisplay::ExportRows(std::size_t& count) {
    count = 0;
    if (running_ || !usable()) return nullptr;
    if (static_) {
        count = staticTable_.size();
        for (std::size_t i = 0; i < count; ++i) {
            working_[i] = staticTable_.sortedAt(i);
            workingNames_[i] = staticTable_.sortedNameAt(i);
        }
    } else {
        count = readWorking(static_cast<int>(kWorkingCapacity)).copied;
    }
    return working_.get();
}

void TraceDisplay::setRowCount(int rows) {
    rowCount_ = std::clamp(rows, 1, static_cast<int>(kWorkingCapacity));
}
