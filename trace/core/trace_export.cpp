#include "trace/core/trace_export.h"

#include <string_view>

#include "trace/core/calendar_text.h"
#include "trace/core/trace_text.h"

using canopen_trace::TextBuilder;

namespace {

constexpr std::string_view kProgramName = "Quorvane";
constexpr std::string_view kColumnLine =
    "Message Number,Dir,Cnt,Msg ID (Hex),Msg Type,Node ID (Hex),Details,Data (Hex),"
    "Data (ASCII),Raw Message (Hex)\n";
// Every text doubled and quoted, ten fields, separators and the newline.
constexpr std::size_t kRowCapacity = kTraceColumnCount * (2 * TraceLine::kTextSize + 3) + 32;

bool needsQuotes(std::string_view field) {
    for (char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') return true;
    }
    return false;
}

void appendField(std::string_view field, TextBuilder& row) {
    if (!needsQuotes(field)) {
        row.text(field);
        return;
    }
    row.put('"');
    for (char c : field) {
        if (c == '"') row.put('"');
        row.put(c);
    }
    row.put('"');
}

}  // namespace

void WriteTraceExportHeading(std::ostream& out, std::time_t savedAt) {
    char title[128];
    TextBuilder text(title, sizeof title);
    text.text(kProgramName).text(" Trace saved on: ");
    canopen_trace::AppendTimestamp(savedAt, text);
    text.text(",,,,,,,,\n");
    out.write(title, static_cast<std::streamsize>(text.length()));
    out.write(kColumnLine.data(), static_cast<std::streamsize>(kColumnLine.size()));
}

void WriteTraceExportRow(std::ostream& out, long number, const TraceLine& line) {
    char buffer[kRowCapacity];
    TextBuilder row(buffer, sizeof buffer);
    row.signedDecimal(number);
    for (std::size_t column = 0; column < kTraceColumnCount; ++column) {
        row.put(',');
        appendField(line.text(static_cast<TraceColumn>(column)), row);
    }
    row.put('\n');
    out.write(buffer, static_cast<std::streamsize>(row.length()));
}

bool WriteTraceExport(std::ostream& out, const TraceRecord* records, std::size_t count,
                      bool descending, TEmergencyCodes& codes, const FrameName* names,
                      std::time_t savedAt) {
    if (count == 0) return static_cast<bool>(out);
    WriteTraceExportHeading(out, savedAt);
    TraceLine line;
    for (std::size_t row = 0; row < count; ++row) {
        const std::size_t index = descending ? count - 1 - row : row;
        InterpretNamedFrame(records[index], codes, names != nullptr ? names[index].get() : nullptr,
                            line);
        WriteTraceExportRow(out, static_cast<long>(index + 1), line);
    }
    out.flush();
    return static_cast<bool>(out);
}
