#include "transmit/transmit_grid.h"

#include "gui/key_codes.h"
#include "gui/settings_store.h"
#include "transmit/core/transmit_table.h"

namespace {

const QString kNone = QStringLiteral(" -");

QString hex(uint32_t value, int digits) {
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

QString columnKey(int column) {
    return QStringLiteral("txcol%1width").arg(column);
}
const QString kWidthKey = QStringLiteral("txlistwidth");
const QString kHeightKey = QStringLiteral("txlistheight");

}  // namespace

std::array<QString, transmitgrid::kTextColumns> TransmitGridRow(const TTransmit& table, int i) {
    TransmitMessage m;
    if (!table.GetMessage(i, m))
        return {QStringLiteral("Unknown"), kNone, kNone, kNone, kNone, kNone};
    if (!m.enable) return {QStringLiteral("Disabled"), kNone, kNone, kNone, kNone, kNone};
    QString data;
    if (m.timestamp != 0) {
        data = QStringLiteral("Timestamp");
    } else {
        for (int byte = 0; byte < m.dlc && byte < transmitwire::kDataBytes; ++byte) {
            data += hex(m.data[byte], 2) + QLatin1Char(' ');
        }
    }
    return {QString::fromStdString(m.name),
            hex(EffectiveId(m), 3),
            QString::number(m.dlc),
            data,
            m.keytrigger ? KeyCaption(m.key) : kNone,
            m.rxtrigger ? hex(m.rxid, 3) : kNone};
}

std::array<QString, transmitgrid::kColumns> TransmitGridHeaders() {
    return {QString(),
            QStringLiteral("Message"),
            QStringLiteral("ID"),
            QStringLiteral("Length"),
            QStringLiteral("Data"),
            QStringLiteral("Key Trig"),
            QStringLiteral("ID Trig"),
            QString()};
}

TransmitGridLayout LoadTransmitGridLayout(const QSettings& settings) {
    TransmitGridLayout layout;
    for (int column = 0; column < transmitgrid::kStoredColumns; ++column) {
        layout.columnWidths[column] = ReadInt(settings, columnKey(column));
    }
    layout.windowWidth = ReadInt(settings, kWidthKey);
    layout.windowHeight = ReadInt(settings, kHeightKey);
    return layout;
}

void SaveTransmitGridLayout(QSettings& settings, const TransmitGridLayout& layout) {
    for (int column = 0; column < transmitgrid::kStoredColumns; ++column) {
        WriteInt(settings, columnKey(column), layout.columnWidths[column].value_or(0));
    }
    WriteInt(settings, kWidthKey, layout.windowWidth.value_or(0));
    WriteInt(settings, kHeightKey, layout.windowHeight.value_or(0));
}
