// Texts and stored layout of the transmit messages window's grid. Pure
// functions apart from the QSettings they are given. UI thread.
#pragma once

#include <QSettings>
#include <QString>
#include <array>
#include <optional>

class TTransmit;

namespace transmitgrid {
constexpr int kColumns = 8;        // 0 row number, 1-6 texts, 7 filler
constexpr int kTextColumns = 6;    // columns 1-6
constexpr int kStoredColumns = 7;  // widths of columns 0-6 are stored
constexpr int kFillerColumn = 7;
}  // namespace transmitgrid

// Columns 1-6 of the row of message i: name, identifier, length, data, key
// trigger, receive trigger; "Unknown" or "Disabled" and " -" otherwise.
std::array<QString, transmitgrid::kTextColumns> TransmitGridRow(const TTransmit& table, int i);

// The header texts of columns 0-7.
std::array<QString, transmitgrid::kColumns> TransmitGridHeaders();

// Column widths and window size as stored; missing values are nullopt.
struct TransmitGridLayout {
    std::array<std::optional<int>, transmitgrid::kStoredColumns> columnWidths;
    std::optional<int> windowWidth;
    std::optional<int> windowHeight;
};

TransmitGridLayout LoadTransmitGridLayout(const QSettings& settings);
// Writes all nine values (every optional must hold a value).
void SaveTransmitGridLayout(QSettings& settings, const TransmitGridLayout& layout);
