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
          "h7|text|cap|ftp://x/", "h10|text|cap|https://", "h12|text|cap|https://x/\x1b[0m"}) {
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
    EXPECT_TRUE(readHintsFile("/nonexistent/pennorak/hints.txt", 0).hints.empty());
}

TEST(HintsFile, DefaultPathPrefersXdgConfigHome) {
    EXPECT_EQ(defaultHintsPath("quorvane", "/cfg", "/h"), "/cfg/Trelvik-System/quorvane-hints.txt");
    EXPECT_EQ(defaultHintsPath("quorvane", "", "/h"),
              "/h/.config/Trelvik-System/quorvane-hints.txt");
    EXPECT_EQ(defaultHintsPath("quorvane", nullptr, nullptr), "");
    EXPECT_EQ(defaultHintsPath("../evil", "/cfg", "/h"), "");
}

}  // namespace
}  // namespace pennorak
