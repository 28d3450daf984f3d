// Splits a quorcmd command text into tokens by longest match. ParseCommands
// (command_model.h) reads the tokens one after the other and applies the
// directives (command_directives.h).
#pragma once

#include <cstddef>
#include <string_view>

namespace quorcmd {

enum class Keyword { Nmt, SdoUpload, SdoDownload, OdRead, OdWrite, Hardware, Quiet };

struct Token {
    enum class Kind {
        End,            // only ignorable characters were left
        Parenthesised,  // keyword, blanks, "(", any text without ")", ")"
        KeywordAlone,   // a directive keyword with nothing attached
        Other,          // any other run of printable characters
    };
    Kind kind = Kind::End;
    Keyword keyword = Keyword::Nmt;  // Parenthesised and KeywordAlone only
    std::string_view text;           // the token exactly as read
    std::string_view parameters;     // between the parentheses (Parenthesised only)
};

// Skips newlines, blanks, other control characters, DEL and bytes from 0x80
// on, starting at `pos`, and returns the longest token found there; `pos`
// moves past it. On equal length a parenthesised directive wins over a
// keyword alone, and both win over a run of other characters.
Token NextToken(std::string_view text, std::size_t& pos);

// The keyword as written in messages, e.g. "SDOUPLOAD".
std::string_view KeywordName(Keyword keyword);

}  // namespace quorcmd
