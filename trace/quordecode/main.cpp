// quordecode: decodes a candump log as CANopen traffic into the trace export.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string_view>
#include <vector>

#include "decode_options.h"
#include "decode_run.h"

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    // Unset, TZ means the system zone; naming it once spares glibc a look at
    // the zone file in every mktime() (TIME frames).
    setenv("TZ", ":/etc/localtime", 0);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const quordecode::ParsedArguments parsed = quordecode::ParseDecodeArguments(arguments);
    if (!parsed.error.empty()) {
        std::cerr << "quordecode: " << parsed.error << '\n' << quordecode::UsageText();
        return quordecode::kExitUsage;
    }
    const quordecode::DecodeOptions& options = parsed.options;
    if (options.help) {
        std::cout << quordecode::UsageText();
        return quordecode::kExitDecoded;
    }
    const std::time_t now = std::time(nullptr);
    if (options.file == quordecode::kStandardInputName) {
        return quordecode::RunDecode(std::cin, std::cout, std::cerr, options, now);
    }
    std::ifstream file(options.file, std::ios::binary);
    if (!file) {
        std::cerr << "quordecode: cannot open " << options.file << '\n';
        return quordecode::kExitUsage;
    }
    return quordecode::RunDecode(file, std::cout, std::cerr, options, now);
}
