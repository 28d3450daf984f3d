// The sizes the trace window remembers between runs, in pixels. UI thread.
#pragma once

#include <QSettings>
#include <array>

struct TraceSettings {
    static constexpr int kColumns = 9;
    // col0width .. col8width: Dir, Cnt, Msg ID, Msg Type, Node ID, Details,
    // Data (Hex), Data (ASCII), Raw Message.
    std::array<int, kColumns> columnWidths{20, 48, 48, 130, 48, 141, 130, 130, 130};
    int tracewidth = 695;   // window width
    int traceheight = 365;  // window height
};

// Reads the eleven values; each missing or non-numeric value keeps its
// default (from `defaults`), which is written back at once. nullptr (store
// not usable) gives the defaults and writes nothing.
TraceSettings LoadTraceSettings(QSettings* settings, const TraceSettings& defaults = {});

// Writes the eleven values; nothing when `settings` is nullptr.
void SaveTraceSettings(QSettings* settings, const TraceSettings& values);
