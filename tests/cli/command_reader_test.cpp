// Reading command texts: error messages, the occurrence rule and the token
// rules (longest match, blanks, lines, ignorable bytes, token size), checked
// through ParseCommands: each token kind gives its own message.
#include <gtest/gtest.h>

#include <string>

#include "cli/command_model.h"

namespace quorcmd {
namespace {

struct ErrorCase {
    std::string text;
    std::string message;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text.substr(0, 80));
}

std::string Invalid(const std::string& directive, const std::string& token) {
    return "ERROR: Invalid parameters for " + directive + " directive: " + token + "\n";
}

std::string Missing(const std::string& directive) {
    return "ERROR: " + directive + " Directive missing parameters\n";
}

std::string Unknown(const std::string& token) {
    return "ERROR: Unknown directive: " + token + "\n";
}

const std::string kTokenTooLarge = "token too large, exceeds YYLMAX\n";

class ReadingErrors : public testing::TestWithParam<ErrorCase> {};

TEST_P(ReadingErrors, StopWithTheFirstMessageAndQueueNothing) {
    const ReadResult result = ParseCommands(GetParam().text);
    EXPECT_EQ(result.status, GetParam().message == kTokenTooLarge
                                 ? ReadResult::Status::TokenTooLarge
                                 : ReadResult::Status::Error);
    EXPECT_EQ(result.error_message, GetParam().message);
    EXPECT_TRUE(result.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ReadingErrors,
    testing::Values(ErrorCase{"NMT(128,START)",
                              "ERROR: Invalid parameters for NMT directive: NMT(128,START)\n"},
                    ErrorCase{"NMT", "ERROR: NMT Directive missing parameters\n"},
                    ErrorCase{"NMT(5,START)NMT(6,STOP)", Unknown("NMT(5,START)NMT(6,STOP)")},
                    // The occurrence rule comes before the value checks.
                    ErrorCase{"HARDWARE(TRELVIKUSB,1000)\nHARDWARE(TRELVIKPCI,100)\n",
                              "ERROR: More than one occurrence of directive HARDWARE found\n"},
                    ErrorCase{"SDOUPLOAD(5,0x1000,0,c:/out.bin)",
                              Invalid("SDOUPLOAD", "SDOUPLOAD(5,0x1000,0,c:/out.bin)")},
                    ErrorCase{"  sdoUpload  ", Missing("SDOUPLOAD")},
                    ErrorCase{"HARDWARE(FASTBUS,1000)",
                              Invalid("HARDWARE", "HARDWARE(FASTBUS,1000)")},
                    ErrorCase{"NMT(5,START,1)", Invalid("NMT", "NMT(5,START,1)")}));

INSTANTIATE_TEST_SUITE_P(
    OccurrenceRule, ReadingErrors,
    testing::Values(ErrorCase{"QUIET(a.log) QUIET(b.log)",
                              "ERROR: More than one occurrence of directive QUIET found\n"},
                    // ... but not before the form.
                    ErrorCase{"HARDWARE(TRELVIKUSB,1000) HARDWARE(TRELVIKPCI)",
                              Invalid("HARDWARE", "HARDWARE(TRELVIKPCI)")},
                    // A refused first HARDWARE stops reading before any second one.
                    ErrorCase{"HARDWARE(TRELVIKUSB,9)\nHARDWARE(TRELVIKUSB,1000)",
                              Invalid("HARDWARE", "HARDWARE(TRELVIKUSB,9)")}));

INSTANTIATE_TEST_SUITE_P(
    TokenRules, ReadingErrors,
    testing::Values(ErrorCase{"NMT(5,START", Unknown("NMT(5,START")},
                    // Blanks end the printable run, so the parenthesised reading is longer.
                    ErrorCase{"NMT(5, x)", Invalid("NMT", "NMT(5, x)")},
                    // The directive wins over "NMT(1,", then "x" is a token of its own.
                    ErrorCase{"NMT(1, START)x", Unknown("x")},
                    ErrorCase{"NMT (5,START", Missing("NMT")},
                    // Longest match: a run of printable characters, or the first parentheses.
                    ErrorCase{"\n\x01 quiet(x)(y)", Unknown("quiet(x)(y)")},
                    ErrorCase{"QUIET(x) (y)", Unknown("(y)")},
                    // A parenthesised text may span lines but then never has the form.
                    ErrorCase{"NMT(5,\nSTART)", Invalid("NMT", "NMT(5,\nSTART)")},
                    // No comment syntax; ignorable bytes end a run of other characters.
                    ErrorCase{"# note", Unknown("#")}, ErrorCase{"\x7F\x01zz\x1F", Unknown("zz")},
                    ErrorCase{"NMT(5,START)\nNMT(6,GO)\nNMT(7,STOP)",
                              Invalid("NMT", "NMT(6,GO)")}));

TEST(SeparatedDirectives, AreReadOneByOne) {
    const std::pair<std::string, std::size_t> rows[] = {
        {"\n\n \t\r\x01\x7F\x80\xFF\n", 0},
        {"HARDWARE(TRELVIKUSB,500)\nQUIET(run.log)\n", 0},
        {"NMT(1,START)\x80NMT(2,STOP)\r\nNMT(3,STOP)\x7F", 3},
        {"NMT\t\r (\t5\r,START )", 1},
        // Ignorable bytes are not part of a token, however many.
        {std::string(3 * kMaxTokenLength, '\x80') + "NMT(1,START)", 1},
    };
    for (const auto& [text, commands] : rows) {
        const ReadResult result = ParseCommands(text);
        EXPECT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
        EXPECT_EQ(result.commands.size(), commands) << text.substr(0, 80);
    }
}

// ---- Token size ------------------------------------------------------------

// "SDODOWNLOAD(5,1,0,<digits>)" of exactly `length` characters.
std::string DownloadOfLength(std::size_t length) {
    const std::string head = "SDODOWNLOAD(5,1,0,";
    return head + std::string(length - head.size() - 1, 'A') + ")";
}

INSTANTIATE_TEST_SUITE_P(
    TokenSize, ReadingErrors,
    testing::Values(ErrorCase{std::string(kMaxTokenLength + 1, 'a'), kTokenTooLarge},
                    // A parenthesised text over many lines counts as one token.
                    ErrorCase{"NMT(" + std::string(kMaxTokenLength, '\n') + ")", kTokenTooLarge}));

TEST(TokenSize, ADirectiveOf8191CharactersIsRead) {
    // 8191 - 19 = 8172 digits: even, so the text is hex data.
    const std::string text = DownloadOfLength(kMaxTokenLength);
    const ReadResult result = ParseCommands("NMT(1,START)\n" + text + "\n");
    ASSERT_EQ(result.status, ReadResult::Status::Ok) << result.error_message.substr(0, 80);
    ASSERT_EQ(result.commands.size(), 2u);
    EXPECT_EQ(result.commands[1].directive_text, text);
    EXPECT_EQ(result.commands[1].data.size(), (kMaxTokenLength - 19) / 2);
}

}  // namespace
}  // namespace quorcmd
