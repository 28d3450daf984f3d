// The texts the read tab and the dump window show for read data. Pure
// functions; UI thread by use.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

struct ReadDisplay {
    QString length;            // "%ld" of the byte count
    QString hex;               // up to 4 bytes as one little-endian number, else bytes in order
    QString ascii;             // the same bytes as characters, "." for unprintable ones
    QString unsignedValue;     // up to 4 bytes; empty above
    QString signedValue;       // two's complement of the byte count; empty above 4 bytes
    bool onlyFirst16 = false;  // more than 16 bytes: only the first 16 are shown
};

// The display of `length` bytes of `data` (at most the first 16 are used).
ReadDisplay FormatReadDisplay(const uint8_t* data, uint32_t length);

// The dump window's caption for an entry.
QString DumpCaption(uint8_t nodeId, uint32_t index, uint8_t subindex);

// The dump lines of the data, 56 characters each, 16 bytes a line.
QStringList DumpLines(const uint8_t* data, uint32_t length);

// Height of the dump text area in pixels for `lines` lines.
int DumpTextHeight(int lines);
