#include "trace/core/trace_export.h"

#include <array>
#include <charconv>
#include <cstring>
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
constexpr std::size_t kRowCapacity = kTraceExportRowCapacity;

// The characters that make a field need quotes: comma, double quote, CR, LF.
constexpr std::array<bool, 256> kQuoted = [] {
    std::array<bool, 256> quoted{};
    for (unsigned char c : {',', '"', '\r', '\n'}) quoted[c] = true;
    return quoted;
}();

// Appends a text of the trace line (zero-terminated, at most kTextSize
// bytes) at out, which has room for it doubled and quoted; returns the new
// end. Copies while it looks for characters that need quotes: one pass in
// the usual case.
char* appendField(const std::array<char, TraceLine::kTextSize>& text, char* out) {
    char* const start = out;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        quoted |= kQuoted[static_cast<unsigned char>(text[i])];
        *out++ = text[i];
    }
    if (!quoted) return out;
    const std::string_view field(start, static_cast<std::size_t>(out - start));
    char copy[TraceLine::kTextSize];
    std::memcpy(copy, field.data(), field.size());
    out = start;
    *out++ = '"';
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (copy[i] == '"') *out++ = '"';
        *out++ = copy[i];
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
        out = appendField(line.texts[column], out);
    }
    *out++ = '\n';
    return static_cast<std::size_t>(out - buffer);
}

void WriteTraceExportRow(std::ostream& out, long number, const TraceLine& line) {
    char buffer[kRowCapacity];
    out.write(buffer, static_cast<std::streamsize>(FormatTraceExportRow(buffer, number, line)));
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
