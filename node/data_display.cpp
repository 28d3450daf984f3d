#include "node/data_display.h"

#include <algorithm>

#include "trace/core/hex_dump.h"

namespace {

constexpr uint32_t kShownBytes = 16;
constexpr uint32_t kNumberBytes = 4;

QChar displayChar(uint8_t byte) {
    return byte >= 0x20 && byte <= 0x7E ? QChar(byte) : QLatin1Char('.');
}

QString hexByte(uint8_t byte) {
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

ReadDisplay FormatReadDisplay(const uint8_t* data, uint32_t length) {
    ReadDisplay shown;
    shown.length = QString::number(length);
    shown.onlyFirst16 = length > kShownBytes;
    const uint32_t n = std::min(length, kShownBytes);
    if (n <= kNumberBytes) {
        // A number: most significant byte first.
        uint32_t value = 0;
        for (uint32_t i = n; i-- > 0;) {
            shown.hex += hexByte(data[i]);
            shown.ascii += displayChar(data[i]);
            value = value << 8 | data[i];
        }
        shown.unsignedValue = QString::number(value);
        int64_t signedValue = value;
        if (n > 0 && (value >> (8 * n - 1)) != 0) signedValue -= int64_t{1} << (8 * n);
        shown.signedValue = QString::number(signedValue);
    } else {
        for (uint32_t i = 0; i < n; ++i) {
            shown.hex += hexByte(data[i]);
            shown.ascii += displayChar(data[i]);
        }
    }
    return shown;
}

QString DumpCaption(uint8_t nodeId, uint32_t index, uint8_t subindex) {
    return QStringLiteral("Data from Node 0x%1 OD Entry 0x%2 subindex 0x%3")
        .arg(hexByte(nodeId))
        .arg(QStringLiteral("%1").arg(index, 4, 16, QLatin1Char('0')).toUpper())
        .arg(hexByte(subindex));
}

QStringList DumpLines(const uint8_t* data, uint32_t length) {
    // The same lines quorcmd prints, without its header line.
    const QString dump = QString::fromLatin1(quorcmd::FormatHexDump(data, length));
    QStringList lines = dump.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!lines.isEmpty()) lines.removeFirst();
    return lines;
}

int DumpTextHeight(int lines) {
    return std::min(18 + 13 * lines, 239);
}
