#include "trace/trace_export.h"

#include <array>
#include <charconv>
#include <cstring>
#include <string_view>

#include "trace/calendar_text.h"
#include "trace/trace_text.h"

using canopen_trace::TextBuilder;

namespace {

constexpr std::string_view kProgramName = "Quorvane";
constexpr std::string_view kColumnLine =
    "Message Number,Dir,Cnt,Msg ID (Hex),Msg Type,Node ID (Hex),Details,Data (Hex),"
    "Data (ASCII),Raw Message (Hex)\n";
// Every text doubled and quoted, ten fields, separators and the newline.
constexpr std::size_t kRowCapacity = kTraceExportRowCapacity;

// The characters that make a field need quotes: comma, double quote, CR, LF.
constexpr std::array<bool, 256> kQuoted = [] {
    std::array<bool, 256> quoted{};
    for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
    return quoted;
}();

bool needsQuotes(std::string_view field) {
    bool any = false;
    for (char c : field) any |= kQuoted[static_cast<unsigned char>(c)];
    return any;
}

// Appends field at out (room for it doubled and quoted); returns the new end.
char* appendField(std::string_view field, char* out) {
    if (!needsQuotes(field)) {
        std::memcpy(out, field.data(), field.size());
        return out + field.size();
    }
    *out++ = '"';
    for (char c : field) {
        if (c == '"') *out++ = '"';
        *out++ = c;
    }
    *out++ = '"';
    return out;
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

std::size_t FormatTraceExportRow(char* buffer, long number, const TraceLine& line) {
    // kRowCapacity holds the number and every field doubled and quoted.
    char* out = std::to_chars(buffer, buffer + kRowCapacity, number).ptr;
    for (std::size_t column = 0; column < kTraceColumnCount; ++column) {
        *out++ = ',';
        out = appendField(line.text(static_cast<TraceColumn>(column)), out);
    }
    *out++ = '\n';
    return static_cast<std::size_t>(out - buffer);
}

void WriteTraceExportRow(std::ostream& out, long number, const TraceLine& line) {
    char buffer[kRowCapacity];
    out.write(buffer, static_cast<std::streamsize>(FormatTraceExportRow(buffer, number, line)));
}

bool WriteTraceExport(std::ostream& out, const TraceRecord* records, std::size_t count,
                      bool descending, TEmergencyCodes& codes, const MessageNames* names,
                      std::time_t savedAt) {
    if (count == 0) return static_cast<bool>(out);
    WriteTraceExportHeading(out, savedAt);
    TraceLine line;
    for (std::size_t row = 0; row < count; ++row) {
        const std::size_t index = descending ? count - 1 - row : row;
        InterpretFrame(records[index], codes, names, line);
        WriteTraceExportRow(out, static_cast<long>(index + 1), line);
    }
    out.flush();
    return static_cast<bool>(out);
}
