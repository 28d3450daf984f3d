#include "command_reader.h"

#include <array>
#include <string>

#include "command_directives.h"
#include "command_model.h"
#include "value_text.h"

namespace quorcmd {
namespace {

constexpr unsigned char kFirstPrintable = 0x21;  // "!", the first character after space
constexpr unsigned char kDel = 0x7F;

struct KeywordEntry {
    Keyword keyword;
    std::string_view name;
};

// Searched in this order; no keyword is a prefix of another.
constexpr std::array<KeywordEntry, 7> kKeywords{{
    {Keyword::Nmt, "NMT"},
    {Keyword::SdoUpload, "SDOUPLOAD"},
    {Keyword::SdoDownload, "SDODOWNLOAD"},
    {Keyword::OdRead, "ODREAD"},
    {Keyword::OdWrite, "ODWRITE"},
    {Keyword::Hardware, "HARDWARE"},
    {Keyword::Quiet, "QUIET"},
}};

constexpr std::string_view kTokenTooLarge = "token too large, exceeds YYLMAX\n";

bool IsPrintable(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= kFirstPrintable && byte < kDel;
}

const KeywordEntry* KeywordAt(std::string_view rest) {
    for (const KeywordEntry& entry : kKeywords) {
        if (rest.size() >= entry.name.size() &&
            EqualsIgnoringCase(rest.substr(0, entry.name.size()), entry.name)) {
            return &entry;
        }
    }
    return nullptr;
}

// Length of "keyword blanks ( text )" at the start of `rest`, or 0.
std::size_t ParenthesisedLength(std::string_view rest, std::size_t keyword_length,
                                std::size_t& open) {
    std::size_t at = keyword_length;
    while (at < rest.size() && IsBlank(rest[at])) ++at;
    if (at >= rest.size() || rest[at] != '(') return 0;
    const std::size_t close = rest.find(')', at + 1);
    if (close == std::string_view::npos) return 0;
    open = at;
    return close + 1;
}

std::string InvalidParametersMessage(Keyword keyword, std::string_view token) {
    return "ERROR: Invalid parameters for " + std::string(KeywordName(keyword)) +
           " directive: " + std::string(token) + "\n";
}

// Reads one token into `result`; false when reading has to stop.
bool ReadToken(const Token& token, std::array<int, kKeywords.size()>& accepted,
               ReadResult& result) {
    const std::string name(KeywordName(token.keyword));
    switch (token.kind) {
        case Token::Kind::End:
            return false;
        case Token::Kind::Other:
            result.error_message = "ERROR: Unknown directive: " + std::string(token.text) + "\n";
            return false;
        case Token::Kind::KeywordAlone:
            result.error_message = "ERROR: " + name + " Directive missing parameters\n";
            return false;
        case Token::Kind::Parenthesised:
            break;
    }
    if (!HasForm(token.keyword, token.parameters)) {
        result.error_message = InvalidParametersMessage(token.keyword, token.text);
        return false;
    }
    int& count = accepted[static_cast<std::size_t>(token.keyword)];
    if (OccursOnce(token.keyword) && count > 0) {
        result.error_message = "ERROR: More than one occurrence of directive " + name + " found\n";
        return false;
    }
    if (ApplyDirective(token.keyword, token.parameters, token.text, result) !=
        DirectiveOutcome::Accepted) {
        result.error_message = InvalidParametersMessage(token.keyword, token.text);
        return false;
    }
    ++count;
    return true;
}

}  // namespace

std::string_view KeywordName(Keyword keyword) {
    return kKeywords[static_cast<std::size_t>(keyword)].name;
}

Token NextToken(std::string_view text, std::size_t& pos) {
    while (pos < text.size() && !IsPrintable(text[pos])) ++pos;
    Token token;
    if (pos >= text.size()) return token;

    const std::string_view rest = text.substr(pos);
    std::size_t run = 0;
    while (run < rest.size() && IsPrintable(rest[run])) ++run;

    token.kind = Token::Kind::Other;
    std::size_t length = run;
    if (const KeywordEntry* entry = KeywordAt(rest)) {
        std::size_t open = 0;
        const std::size_t parenthesised = ParenthesisedLength(rest, entry->name.size(), open);
        token.keyword = entry->keyword;
        if (parenthesised >= run) {
            token.kind = Token::Kind::Parenthesised;
            length = parenthesised;
            token.parameters = rest.substr(open + 1, parenthesised - open - 2);
        } else if (entry->name.size() >= run) {
            token.kind = Token::Kind::KeywordAlone;
        }
    }
    token.text = rest.substr(0, length);
    pos += length;
    return token;
}

ReadResult ParseCommands(std::string_view text) {
    ReadResult result;
    std::array<int, kKeywords.size()> accepted{};
    std::size_t pos = 0;
    for (;;) {
        const Token token = NextToken(text, pos);
        if (token.text.size() > kMaxTokenLength) {
            result.status = ReadResult::Status::TokenTooLarge;
            result.error_message = std::string(kTokenTooLarge);
            break;
        }
        if (!ReadToken(token, accepted, result)) {
            if (token.kind != Token::Kind::End) result.status = ReadResult::Status::Error;
            break;
        }
    }
    // Nothing runs after a reading error.
    if (result.status != ReadResult::Status::Ok) result.commands.clear();
    return result;
}

}  // namespace quorcmd
