#include "hints_file.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <limits>

#include "pennorak_constants.h"

namespace pennorak {

namespace {

std::string_view trimBlanks(std::string_view text) {
    constexpr std::string_view kBlanks = " \t";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

bool isBlankOrControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= ' ' || byte == 0x7f;
}

// Splits on the separator; false unless there are exactly kFieldCount fields.
bool splitFields(std::string_view line, std::array<std::string_view, kFieldCount>& fields) {
    std::size_t field = 0;
    std::size_t start = 0;
    while (true) {
        const auto end = line.find(kFieldSeparator, start);
        if (field == kFieldCount) return false;
        fields[field++] = trimBlanks(line.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return field == kFieldCount;
}

enum class ReadStatus { Line, TooLong, End };

// Reads one line without its line end ("\n" or "\r\n"). A line longer than
// kMaxLineLength is consumed up to its end without being stored.
ReadStatus readBoundedLine(std::istream& input, std::string& line) {
    using Traits = std::istream::traits_type;
    line.clear();
    Traits::int_type next = Traits::eof();
    while ((next = input.get()) != Traits::eof()) {
        const char c = Traits::to_char_type(next);
        if (c == '\n') break;
        if (line.size() > kMaxLineLength) {  // room for one '\r' past the limit
            input.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            return ReadStatus::TooLong;
        }
        line.push_back(c);
    }
    if (next == Traits::eof() && line.empty()) return ReadStatus::End;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.size() > kMaxLineLength ? ReadStatus::TooLong : ReadStatus::Line;
}

}  // namespace

bool isOpenableLink(std::string_view link) {
    if (std::any_of(link.begin(), link.end(), isBlankOrControl)) return false;
    return std::any_of(
        std::begin(kOpenableSchemes), std::end(kOpenableSchemes), [link](std::string_view scheme) {
            return link.size() > scheme.size() && startsWithIgnoringCase(link, scheme);
        });
}

ParsedLine parseHintLine(std::string_view line) {
    const auto content = trimBlanks(line);
    if (content.empty() || content.front() == kCommentMark) return {};
    if (line.size() > kMaxLineLength) return {LineKind::Skipped, {}};

    std::array<std::string_view, kFieldCount> fields;
    if (!splitFields(line, fields)) return {LineKind::Skipped, {}};
    const auto [id, text, caption, link] = fields;
    if (id.empty() || text.empty() || !isOpenableLink(link)) return {LineKind::Skipped, {}};
    return {LineKind::Hint,
            Hint{std::string(id), std::string(text), std::string(caption), std::string(link)}};
}

HintsFileContent readHints(std::istream& input, std::size_t maxHints) {
    HintsFileContent content;
    std::string line;
    std::size_t number = 0;
    while (maxHints == 0 || content.hints.size() < maxHints) {
        const ReadStatus status = readBoundedLine(input, line);
        if (status == ReadStatus::End) break;
        ++number;
        if (status == ReadStatus::TooLong) {
            content.skippedLines.push_back(number);
            continue;
        }
        ParsedLine parsed = parseHintLine(line);
        if (parsed.kind == LineKind::Hint) content.hints.push_back(std::move(parsed.hint));
        if (parsed.kind == LineKind::Skipped) content.skippedLines.push_back(number);
    }
    return content;
}

HintsFileContent readHintsFile(const std::string& path, std::size_t maxHints) {
    std::ifstream input(path, std::ios::binary);
    if (!input) return {};
    return readHints(input, maxHints);
}

std::string defaultHintsPath(std::string_view appName, const char* xdgConfigHome,
                             const char* home) {
    if (appName.empty() || appName.find('/') != std::string_view::npos) return {};
    std::string path;
    if (xdgConfigHome != nullptr && *xdgConfigHome != '\0') {
        path = xdgConfigHome;
    } else if (home != nullptr && *home != '\0') {
        path = std::string(home) + "/" + std::string(kConfigHomeUnderHome);
    } else {
        return {};
    }
    path += "/";
    path += kHintsFolder;
    path += "/";
    path += appName;
    path += kHintsFileSuffix;
    return path;
}

}  // namespace pennorak
