// Reading command texts: error messages, the occurrence rule and the token
// rules (longest match, blanks, lines, ignorable bytes, token size), checked
// through ParseCommands: each token kind gives its own message.
#include <gtest/gtest.h>

#include <string>

#include "command_model.h"

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

std::string MoreThanOnce(const std::string& directive) {
    return "ERROR: More than one occurrence of directive " + directive + " found\n";
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
    DocumentedExamples, ReadingErrors,
    testing::Values(ErrorCase{"NMT(128,START)",
                              "ERROR: Invalid parameters for NMT directive: NMT(128,START)\n"},
                    ErrorCase{"NMT", "ERROR: NMT Directive missing parameters\n"},
                    ErrorCase{"NMT(5,START)NMT(6,STOP)", Unknown("NMT(5,START)NMT(6,STOP)")},
                    ErrorCase{"HARDWARE(TRELVIKUSB,1000)\nHARDWARE(TRELVIKUSB,1000)\n",
                              "ERROR: More than one occurrence of directive HARDWARE found\n"},
                    ErrorCase{"SDOUPLOAD(5,0x1000,0,c:/out.bin)",
                              Invalid("SDOUPLOAD", "SDOUPLOAD(5,0x1000,0,c:/out.bin)")}));

INSTANTIATE_TEST_SUITE_P(
    EveryDirectiveMessage, ReadingErrors,
    testing::Values(
        ErrorCase{"HARDWARE", Missing("HARDWARE")},
        ErrorCase{"SDODOWNLOAD", Missing("SDODOWNLOAD")}, ErrorCase{"ODWRITE", Missing("ODWRITE")},
        ErrorCase{"ODREAD", Missing("ODREAD")}, ErrorCase{"quiet\n", Missing("QUIET")},
        ErrorCase{"  sdoUpload  ", Missing("SDOUPLOAD")},
        ErrorCase{"HARDWARE(FASTBUS,1000)", Invalid("HARDWARE", "HARDWARE(FASTBUS,1000)")},
        ErrorCase{"SDODOWNLOAD(5,0x1000,0)", Invalid("SDODOWNLOAD", "SDODOWNLOAD(5,0x1000,0)")},
        ErrorCase{"ODWRITE(5,1,0,a-b)", Invalid("ODWRITE", "ODWRITE(5,1,0,a-b)")},
        ErrorCase{"ODREAD(5,1,0,\"x.bin\")", Invalid("ODREAD", "ODREAD(5,1,0,\"x.bin\")")},
        ErrorCase{"QUIET(logs/run.log)", Invalid("QUIET", "QUIET(logs/run.log)")},
        ErrorCase{"NMT(5,GO)", Invalid("NMT", "NMT(5,GO)")},
        ErrorCase{"NMT(5,START,1)", Invalid("NMT", "NMT(5,START,1)")},
        ErrorCase{"NMT(,START)", Invalid("NMT", "NMT(,START)")}));

INSTANTIATE_TEST_SUITE_P(
    OccurrenceRule, ReadingErrors,
    testing::Values(ErrorCase{"QUIET(a.log) QUIET(b.log)", MoreThanOnce("QUIET")},
                    // The occurrence rule comes before the value checks, not before the form.
                    ErrorCase{"HARDWARE(TRELVIKUSB,1000) HARDWARE(TRELVIKPCI,100)",
                              MoreThanOnce("HARDWARE")},
                    ErrorCase{"HARDWARE(TRELVIKUSB,1000) HARDWARE(TRELVIKPCI)",
                              Invalid("HARDWARE", "HARDWARE(TRELVIKPCI)")},
                    // A refused first HARDWARE stops reading before any second one.
                    ErrorCase{"HARDWARE(TRELVIKUSB,9)\nHARDWARE(TRELVIKUSB,1000)",
                              Invalid("HARDWARE", "HARDWARE(TRELVIKUSB,9)")}));

INSTANTIATE_TEST_SUITE_P(
    TokenRules, ReadingErrors,
    testing::Values(
        ErrorCase{"xNMT(5,START)", Unknown("xNMT(5,START)")},
        ErrorCase{"NMT(5,START", Unknown("NMT(5,START")}, ErrorCase{"NMTX", Unknown("NMTX")},
        // Blanks end the printable run, so the parenthesised reading is longer.
        ErrorCase{"NMT(5, x)", Invalid("NMT", "NMT(5, x)")},
        // The directive wins over "NMT(1,", then "x" is a token of its own.
        ErrorCase{"NMT(1, START)x", Unknown("x")}, ErrorCase{"NMT (5,START", Missing("NMT")},
        // Longest match: a run of printable characters, or the first parentheses.
        ErrorCase{"\n\x01 quiet(x)(y)", Unknown("quiet(x)(y)")},
        ErrorCase{"QUIET(x) (y)", Unknown("(y)")}, ErrorCase{"NMT\n(5,START)", Missing("NMT")},
        // A parenthesised text may span lines but then never has the form.
        ErrorCase{"NMT(5,\nSTART)", Invalid("NMT", "NMT(5,\nSTART)")},
        ErrorCase{"NMT(5,\x01START)", Invalid("NMT", "NMT(5,\x01START)")},
        // No comment syntax.
        ErrorCase{"; comment\nNMT(5,START)", Unknown(";")}, ErrorCase{"# note", Unknown("#")},
        // Ignorable bytes end a run of other characters.
        ErrorCase{"ab\x80"
                  "cd",
                  Unknown("ab")},
        ErrorCase{"\x7F\x01zz\x1F", Unknown("zz")}));

INSTANTIATE_TEST_SUITE_P(LaterLineHasTheError, ReadingErrors,
                         testing::Values(ErrorCase{"NMT(5,START)\nNMT(6,GO)\nNMT(7,STOP)",
                                                   Invalid("NMT", "NMT(6,GO)")},
                                         ErrorCase{"NMT(5,START)\nfoo\nbar\nNMT", Unknown("foo")}));

struct TokenCountCase {
    std::string text;
    std::size_t commands;
};

class SeparatedDirectives : public testing::TestWithParam<TokenCountCase> {};

TEST_P(SeparatedDirectives, AreReadOneByOne) {
    const ReadResult result = ParseCommands(GetParam().text);
    EXPECT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    EXPECT_EQ(result.commands.size(), GetParam().commands);
}

INSTANTIATE_TEST_SUITE_P(
    TokenRules, SeparatedDirectives,
    testing::Values(TokenCountCase{"", 0}, TokenCountCase{"\n\n \t\r\x01\x7F\x80\xFF\n", 0},
                    TokenCountCase{"HARDWARE(TRELVIKUSB,500)\nQUIET(run.log)\n", 0},
                    TokenCountCase{"NMT(1,START)\r\nNMT(2,STOP)\r\n", 2},
                    TokenCountCase{"NMT(1,START) NMT(2,STOP)\tNMT(3,STOP)", 3},
                    TokenCountCase{"NMT(1,START)\x80NMT(2,STOP)\x01NMT(3,STOP)\x7F", 3},
                    TokenCountCase{"NMT\t\r (\t5\r,START )", 1},
                    // Ignorable bytes are not part of a token, however many.
                    TokenCountCase{std::string(3 * kMaxTokenLength, ' ') + "NMT(1,START)" +
                                       std::string(3 * kMaxTokenLength, '\x80'),
                                   1}));

// ---- Token size ------------------------------------------------------------

// "SDODOWNLOAD(5,1,0,<digits>)" of exactly `length` characters.
std::string DownloadOfLength(std::size_t length) {
    const std::string head = "SDODOWNLOAD(5,1,0,";
    return head + std::string(length - head.size() - 1, 'A') + ")";
}

INSTANTIATE_TEST_SUITE_P(
    TokenSize, ReadingErrors,
    testing::Values(ErrorCase{std::string(kMaxTokenLength + 1, 'a'), kTokenTooLarge},
                    ErrorCase{"NMT(1,START)\n" + DownloadOfLength(kMaxTokenLength + 1),
                              kTokenTooLarge},
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
