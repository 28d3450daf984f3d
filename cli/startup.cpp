#include "startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "banner.h"
#include "channel_listing.h"
#include "command_model.h"
#include "command_runner.h"

namespace quorcmd {
namespace {

constexpr char kCommandFileMark = '@';
constexpr const char* kTemporaryPrefix = "morvell";
constexpr const char* kTokenTooLarge = "token too large, exceeds YYLMAX\n";
constexpr const char* kCommandFileNotFound = "\nERROR: Command file not found\n";
constexpr const char* kCommandFileTooLarge = "\nERROR: Command file larger than 16 MiB\n";

// Either the directive text, or the start-up message that ends the run.
struct Source {
    std::string text;
    std::string error;  // e.g. "\nERROR: Command file not found\n"
};

enum class ReadOutcome { Read, Failed, TooLarge };

// Reads at most kMaxCommandFileBytes; one byte more tells a text that is too
// large (also an endless one such as /dev/zero).
ReadOutcome readAll(std::FILE* file, std::string& text) {
    char chunk[8192];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        text.append(chunk, n);
        if (text.size() > kMaxCommandFileBytes) return ReadOutcome::TooLarge;
    }
    return std::ferror(file) ? ReadOutcome::Failed : ReadOutcome::Read;
}

Source commandFileSource(const char* name) {
    Source source;
    std::FILE* file = std::fopen(name, "r");
    if (!file) return {{}, kCommandFileNotFound};
    const ReadOutcome read = readAll(file, source.text);
    std::fclose(file);
    if (read == ReadOutcome::TooLarge) return {{}, kCommandFileTooLarge};
    if (read == ReadOutcome::Failed) return {{}, kCommandFileNotFound};
    return source;
}

// The arguments go through a temporary file, one line each, as a command
// file would; the file is deleted after reading.
Source argumentSource(int argc, char** argv) {
    const auto folder = TemporaryFolder();
    if (!folder) return {{}, "\nERROR: Unable to find the temp folder\n"};
    std::string path = *folder + "/" + kTemporaryPrefix + "XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) return {{}, "\nERROR: Unable to find a temporary file\n"};
    std::FILE* out = fdopen(fd, "w");
    if (!out) {
        close(fd);
        unlink(path.c_str());
        return {{}, "\nERROR: Unable to create temporary file - check disk space\n"};
    }
    bool written = true;
    for (int i = 1; i < argc; ++i)
        written = written && std::fputs(argv[i], out) >= 0 && std::fputc('\n', out) != EOF;
    if (std::fclose(out) != 0 || !written) {
        unlink(path.c_str());
        return {{}, "\nERROR: Unable to create temporary file - check disk space\n"};
    }
    Source source;
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (!in) {
        unlink(path.c_str());
        return {{}, "\nERROR: Unable to open temporary file\n"};
    }
    const ReadOutcome read = readAll(in, source.text);
    std::fclose(in);
    unlink(path.c_str());
    if (read == ReadOutcome::TooLarge) return {{}, kCommandFileTooLarge};
    if (read == ReadOutcome::Failed) return {{}, "\nERROR: Unable to open temporary file\n"};
    return source;
}

Source chooseSource(int argc, char** argv) {
    if (argc == 2 && argv[1][0] == kCommandFileMark) {
        if (argv[1][1] == '\0') return {{}, "\nERROR: Invalid command file\n"};
        return commandFileSource(argv[1] + 1);
    }
    return argumentSource(argc, argv);
}

// Banner and message on the console; exit code 1.
int consoleFailure(const std::string& message) {
    std::fputs(kBanner, stdout);
    std::fwrite(message.data(), 1, message.size(), stdout);  // whole, NUL bytes included
    std::fflush(stdout);
    return kExitFailure;
}

}  // namespace

std::optional<std::string> TemporaryFolder() {
    const char* tmpdir = std::getenv("TMPDIR");
    std::string folder = tmpdir && *tmpdir ? tmpdir : "/tmp";
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return folder;
}

int runQuorcmd(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kBanner, stdout);
        std::fflush(stdout);
        return kExitSuccess;
    }
    if (argc == 2 && std::string_view(argv[1]) == kChannelsOption) return PrintChannels(stdout);
    const Source source = chooseSource(argc, argv);
    if (!source.error.empty()) return consoleFailure(source.error);

    const ReadResult read = ParseCommands(source.text);
    switch (read.status) {
        case ReadResult::Status::TokenTooLarge:
            std::fputs(kTokenTooLarge, stderr);
            return kExitTokenTooLarge;
        case ReadResult::Status::Error:
            return consoleFailure("\n" + read.error_message);
        case ReadResult::Status::Ok:
            break;
    }
    if (read.commands.empty()) {
        // Only settings: the banner on the console, no log file, no interface.
        std::fputs(kBanner, stdout);
        std::fflush(stdout);
        return kExitSuccess;
    }
    return RunCommands(read.commands, read.interface, read.log) ? kExitSuccess : kExitFailure;
}

}  // namespace quorcmd
