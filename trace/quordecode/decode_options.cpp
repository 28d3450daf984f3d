#include "decode_options.h"

namespace quordecode {

ParsedArguments ParseDecodeArguments(const std::vector<std::string_view>& arguments) {
    ParsedArguments parsed;
    bool fileGiven = false;
    bool optionsEnded = false;
    for (std::string_view argument : arguments) {
        const bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
        if (isOption) {
            if (argument == "--") {
                optionsEnded = true;
            } else if (argument == "--descending") {
                parsed.options.descending = true;
            } else if (argument == "--no-title") {
                parsed.options.title = false;
            } else if (argument == "--help" || argument == "-h") {
                parsed.options.help = true;
            } else {
                parsed.error = "unknown option " + std::string(argument);
                return parsed;
            }
            continue;
        }
        if (fileGiven) {
            parsed.error = "more than one input file";
            return parsed;
        }
        parsed.options.file = std::string(argument);
        fileGiven = true;
    }
    return parsed;
}

std::string_view UsageText() {
    return "Usage: quordecode [--descending] [--no-title] [FILE|-]\n"
           "Decodes a can-utils candump log (candump -l) as CANopen traffic and writes\n"
           "the trace export (comma-separated) to standard output. Reads standard input\n"
           "when FILE is - or missing.\n"
           "\n"
           "Each frame is numbered by its position in the log: the first frame is 1.\n"
           "  (default)      rows in log order, numbered 1, 2, ... n\n"
           "  --descending   rows in reverse log order, numbered n, ... 2, 1\n"
           "  --no-title     leave out the title and column lines\n"
           "  -h, --help     show this text\n"
           "\n"
           "A malformed line is reported on standard error as\n"
           "\"quordecode: line N: REASON\" and skipped; blank lines are ignored.\n"
           "Exit status: 0 every line decoded, 1 some line skipped,\n"
           "2 usage error, unreadable input or failed output.\n";
}

}  // namespace quordecode
