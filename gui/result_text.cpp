#include "gui/result_text.h"

#include <cstring>
#include <iterator>

namespace {

struct TableEntry {
    int32_t code;
    const char* text;
};

constexpr TableEntry kTable[] = {
    {1, "User cancelled operation"},
    {2, "Unable to open Setup File: "},
    {3, "Invalid Setup File: "},
    {4, "Invalid parameter number "},
    {5, "SDO Protocol error: "},
    {6, "Error starting thread"},
    {7, "Error initializing hardware: "},
    {8, "CAN bus error: "},
    {9, "Node ID must be in the range 0x01 -> 0x7F"},
    {18, "Node ID must be in the range 0x40 -> 0x4F"},
    {10, "Unable to allocate memory for file"},
    {11, "Timeout occured - no response received"},
    {12, "Please enter a valid hexadecimal value for the Node ID"},
    {13, "Please enter a valid hexadecimal value for the index"},
    {14, "Please enter a valid hexadecimal value for the subindex"},
    {15, "Please enter valid hexadecimal data to write"},
    {16, "Hexadecimal data must contain two characters for each value"},
    {19, "Index must be in the range 0x1000 -> 0x1FFF or 0x5000 -> 0x5FFF"},
    {20, "The decimal value entered is too large. The maximum value supported is 4294967296."},
    {21, "The data length must be in the range 1 - 4 bytes for decimal data."},
    {22, "The decimal value is larger than the length allows."},
    {23, "Please enter valid decimal data to write"},
    {24, "The hexadecimal data is larger than the length allows."},
    {25, "The data length must be at least 1 byte for hexadecimal data."},
    {26, "Please enter valid ASCII data to write"},
    {27, "The data length must be at least 1 byte for ASCII data."},
    {28, "The ASCII data is larger than the length allows."},
};

}  // namespace

QString ResultTableText(int32_t code) {
    for (const TableEntry& entry : kTable) {
        if (entry.code == code) return QString::fromLatin1(entry.text);
    }
    return QString();
}

QString ResultText(const LibraryResult& result) {
    QString text = ResultTableText(result.code);
    if (text.isEmpty()) return text;
    if (result.code == 4) {
        return text +
               QStringLiteral("Parameter %1").arg(static_cast<unsigned char>(result.text[0]));
    }
    const QString detail =
        QString::fromUtf8(result.text, static_cast<int>(strnlen(result.text, sizeof result.text)));
    if (detail.isEmpty()) return text;
    // The library's details read on their own ("No response from node 5 within
    // 1000 ms"); a table text without a trailing space would run into them.
    if (!text.endsWith(QLatin1Char(' '))) text += QStringLiteral(": ");
    return text + detail;
}

LibraryResult MakeResult(int32_t code, const QString& text) {
    LibraryResult result{};
    result.code = code;
    QByteArray bytes = text.toUtf8();
    // Cut at a character boundary: never half of a multi-byte character.
    size_t length = std::min<size_t>(bytes.size(), sizeof result.text - 1);
    while (length > 0 && length < static_cast<size_t>(bytes.size()) &&
           (static_cast<unsigned char>(bytes[length]) & 0xC0) == 0x80) {
        --length;
    }
    std::memcpy(result.text, bytes.constData(), length);
    result.text[length] = '\0';
    return result;
}
