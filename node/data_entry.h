// Checks and converts the data typed on the write tab into the bytes of a
// download. Pure functions; UI thread by use.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>

// The three bases of entered data, as the writebase items read.
inline const QString kBaseHexadecimal = QStringLiteral("Hexadecimal");
inline const QString kBaseDecimal = QStringLiteral("Decimal");
inline const QString kBaseAscii = QStringLiteral("ASCII");

// The length field as a C library would read it: leading white space, one
// optional sign (a minus negates modulo 2^32), digits up to the first other
// character, no digits = 0; the 32 bits are then taken as signed.
int32_t ParseLength(const QString& text);

// True when every character is a hexadecimal digit (an empty text is).
bool IsHexText(const QString& text);
// The text as a hexadecimal number (empty = 0; only the low 32 bits kept).
uint32_t HexValue(const QString& text);

struct EntryConversion {
    int32_t code = 0;     // 0 = converted; else the refusal's result code
    QString message;      // a refusal with no result code (the length limit)
    uint32_t length = 0;  // bytes written to the buffer when converted
    bool ok() const { return code == 0 && message.isEmpty(); }
};

// Checks `text` in `base` with the length text and, when it passes, writes
// the bytes into buffer[0..capacity). Nothing is written when refused.
EntryConversion ConvertEntry(const QString& base, const QString& text, const QString& lengthText,
                             uint8_t* buffer, std::size_t capacity);

// The refusal for a length beyond what the main window can hold.
QString LengthLimitMessage(std::size_t capacity);
