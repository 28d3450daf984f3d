// Turns a library result record, or an input check of the main window, into
// the text of a message box. Any thread (pure function).
#pragma once

#include <QString>

#include "canlib/morvellcanopen.h"

// Codes the main window raises for its own input checks (the library uses
// 1-8, 10 and 11).
enum ResultCode : int32_t {
    kResultNoNode = 9,
    kResultFileNotOpened = 2,
    kResultBadIndex = 13,
    kResultBadSubindex = 14,
    kResultBadHexData = 15,
    kResultOddHexDigits = 16,
    kResultDecimalTooLarge = 20,
    kResultDecimalLength = 21,
    kResultDecimalExceedsLength = 22,
    kResultBadDecimal = 23,
    kResultHexExceedsLength = 24,
    kResultHexLength = 25,
    kResultBadAscii = 26,
    kResultAsciiLength = 27,
    kResultAsciiExceedsLength = 28,
};

// The table text of `code`, empty for a code not in the table.
QString ResultTableText(int32_t code);

// Table text followed by the record's detail: for code 4 "Parameter %d" with
// the parameter number in text[0]; otherwise the record's text. A detail is
// set off by ": " when the table text does not already end in a space.
QString ResultText(const LibraryResult& result);

// A record for the main window's own checks; `text` is copied (cut to fit).
LibraryResult MakeResult(int32_t code, const QString& text = QString());
