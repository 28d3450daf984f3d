// Hints file lines, limits and the default path.
#include "hints_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

#include "pennorak_constants.h"

namespace pennorak {
namespace {

TEST(HintsFile, ParsesLinesIntoHintsOrIgnoresOrSkipsThem) {
    const std::pair<const char*, Hint> hints[] = {
        {" h2 | spaced text |  | http://x/ ", {"h2", "spaced text", "", "http://x/"}},
        {"h3|text|cap|FILE:///usr/share/doc", {"h3", "text", "cap", "FILE:///usr/share/doc"}},
    };
    for (const auto& [line, hint] : hints) {
        const ParsedLine parsed = parseHintLine(line);
        EXPECT_EQ(parsed.kind, LineKind::Hint) << line;
        EXPECT_EQ(parsed.hint, hint) << line;
    }
    for (const char* line : {"   \t", "# id|text|caption|https://x/", "  #indented comment"}) {
        EXPECT_EQ(parseHintLine(line).kind, LineKind::Ignored) << line;
    }
    for (const char* line :
         {"h4|text|cap", "h4|text|cap|https://x/|extra", "|text|cap|https://x/",
          "h5||cap|https://x/", "h6|text|cap|", "h7|text|cap|ftp://x/", "h10|text|cap|https://",
          "h11|text|cap|https://x/a b", "h12|text|cap|https://x/\x1b[0m"}) {
        EXPECT_EQ(parseHintLine(line).kind, LineKind::Skipped) << line;
    }
}

std::string lineOfLength(std::size_t length) {
    const std::string head = "id|";
    const std::string tail = "|cap|https://x/";
    return head + std::string(length - head.size() - tail.size(), 't') + tail;
}

TEST(HintsFile, ReadsInOrderReportingSkippedLineNumbers) {
    std::istringstream input(
        "# hints\n"
        "a|first|more|https://a/\r\n"
        "\n"
        "broken line\n"
        "b|second|more|http://b/\n" +
        lineOfLength(kMaxLineLength + 1) + "\n" + lineOfLength(kMaxLineLength) + "\r\n" +
        "c|last without newline|more|file:///c");
    const HintsFileContent content = readHints(input, 0);
    ASSERT_EQ(content.hints.size(), 4u);
    EXPECT_EQ(content.hints[0], (Hint{"a", "first", "more", "https://a/"}));
    EXPECT_EQ(content.hints[1].id, "b");
    EXPECT_EQ(content.hints[2].text.size(), kMaxLineLength - 18);
    EXPECT_EQ(content.hints[3], (Hint{"c", "last without newline", "more", "file:///c"}));
    EXPECT_EQ(content.skippedLines, (std::vector<std::size_t>{4, 6}));
}

TEST(HintsFile, HugeLineIsSkippedWithoutLosingTheNextOne) {
    std::istringstream input(std::string(1 << 20, 'x') + "\nb|kept|more|https://b/\n");
    const HintsFileContent content = readHints(input, 0);
    ASSERT_EQ(content.hints.size(), 1u);
    EXPECT_EQ(content.hints[0].id, "b");
    EXPECT_EQ(content.skippedLines, std::vector<std::size_t>{1});
}

TEST(HintsFile, MissingFileGivesNoHints) {
    const HintsFileContent content = readHintsFile("/nonexistent/pennorak/hints.txt", 0);
    EXPECT_TRUE(content.hints.empty());
    EXPECT_TRUE(content.skippedLines.empty());
}

TEST(HintsFile, DefaultPathPrefersXdgConfigHome) {
    const struct {
        const char* app;
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"quorvane", "/cfg", "/home/u", "/cfg/Trelvik-System/quorvane-hints.txt"},
        {"quorvane", "", "/home/u", "/home/u/.config/Trelvik-System/quorvane-hints.txt"},
        {"quorvane", nullptr, nullptr, ""},
        {"../evil", "/cfg", "/home/u", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(defaultHintsPath(c.app, c.xdg, c.home), c.expected) << c.app;
    }
}

}  // namespace
}  // namespace pennorak
