// The hints file: one hint per line, id|hint text|link caption|link address.
// Blank lines and lines whose first non-blank character is '#' are ignored.
// A line is skipped when it is longer than kMaxLineLength, has not exactly
// four fields, has an empty id, text or link, or a link the opener may not
// be given (see isOpenableLink). Fields are trimmed of spaces and tabs.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hint.h"

namespace pennorak {

enum class LineKind { Hint, Ignored, Skipped };

struct ParsedLine {
    LineKind kind = LineKind::Ignored;
    Hint hint;  // filled for LineKind::Hint
};

struct HintsFileContent {
    std::vector<Hint> hints;
    std::vector<std::size_t> skippedLines;  // 1-based numbers of skipped lines
};

// Parses one line without its line end.
ParsedLine parseHintLine(std::string_view line);

// Reads hints until the end of input or until maxHints hints were kept
// (0 = no limit).
HintsFileContent readHints(std::istream& input, std::size_t maxHints);

// As readHints; a missing or unreadable file gives no hints.
HintsFileContent readHintsFile(const std::string& path, std::size_t maxHints);

// http://, https:// or file:// (scheme in any case) followed by at least one
// character, with no blanks or control characters.
bool isOpenableLink(std::string_view link);

// <configHome>/Trelvik-System/<appName>-hints.txt, where configHome is
// xdgConfigHome when set and not empty, else <home>/.config. Empty when
// neither is set, or appName is empty or contains '/'.
std::string defaultHintsPath(std::string_view appName, const char* xdgConfigHome, const char* home);

}  // namespace pennorak
