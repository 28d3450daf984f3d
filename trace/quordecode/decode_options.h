// Command line of quordecode: [--descending] [--no-title] [FILE|-].
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quordecode {

inline constexpr int kExitDecoded = 0;       // every line decoded
inline constexpr int kExitLinesSkipped = 1;  // some line was malformed and skipped
inline constexpr int kExitUsage = 2;         // usage error, unreadable input, failed output

inline constexpr std::string_view kStandardInputName = "-";

struct DecodeOptions {
    bool descending = false;  // last frame of the log first, numbered n..1
    bool title = true;        // title and column lines before the rows
    bool help = false;
    std::string file{kStandardInputName};  // "-" = standard input
};

struct ParsedArguments {
    DecodeOptions options;
    std::string error;  // empty when the arguments are usable
};

// `arguments` without the program name.
ParsedArguments ParseDecodeArguments(const std::vector<std::string_view>& arguments);

// The --help text.
std::string_view UsageText();

}  // namespace quordecode
