// The rules of the transmit tab, apart from its widgets: reading the hex
// boxes, building a record from the controls' values and back, the range
// checks and the list texts. Pure functions.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

#include "transmit/core/transmit_message.h"

// What the tab's controls hold.
struct TransmitControlValues {
    bool enable = false;
    QString name;
    QString idText;
    bool transmitId = false;
    bool transmitPdo = false;
    QString nodeIdText;
    int pdoIndex = 0;
    bool keyTrigger = false;
    int keyIndex = 0;
    bool rxTrigger = false;
    QString rxIdText;
    int dlcIndex = 0;
    std::array<QString, transmitwire::kDataBytes> dataTexts;
    bool timestamp = false;

    bool operator==(const TransmitControlValues&) const = default;
};

// The longest leading run of hexadecimal digits as a number; 0 when there is
// none. Saturates at 0xFFFFFFFF.
uint32_t ReadHex(const QString& text);

// `text` without the characters that are not hexadecimal digits, and the
// caret put back at its old position (at most the new length).
struct StrippedText {
    QString text;
    int caret = 0;
};
StrippedText StripNonHex(const QString& text, int caret);

// The record the controls describe, with out-of-range numbers clamped.
TransmitMessage RecordFromControls(const TransmitControlValues& values);
// The controls' values that show `message`.
TransmitControlValues ControlsFromRecord(const TransmitMessage& message);

// The range messages for the controls' values, in the order they are shown.
QStringList TransmitInputProblems(const TransmitControlValues& values);

// The item of message i in the message list: "3" or "3 (Speed)".
QString TransmitListItem(int i, const QString& displayName);
