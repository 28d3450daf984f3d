// quorcmd's command text reader: any text is read or refused with one
// message; nothing is queued after an error.
#include <string_view>

#include "cli/command_model.h"
#include "cli/command_reader.h"
#include "fuzz_targets.h"

namespace quorvane_fuzz {

int FuzzQuorcmdReader(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const quorcmd::ReadResult read = quorcmd::ParseCommands(text);
    if (read.status == quorcmd::ReadResult::Status::Ok) {
        FUZZ_CHECK(read.error_message.empty());
        for (const quorcmd::CommandRecord& command : read.commands) {
            FUZZ_CHECK(!command.directive_text.empty());
            FUZZ_CHECK(command.directive_text.size() <= quorcmd::kMaxTokenLength);
            FUZZ_CHECK(command.node <= 127 && command.index <= 0xFFFF);
            FUZZ_CHECK(command.file.size() <= quorcmd::kMaxFileName);
        }
        FUZZ_CHECK(read.log.file.size() <= quorcmd::kMaxLogFileName);
    } else {
        FUZZ_CHECK(read.commands.empty());
        FUZZ_CHECK(!read.error_message.empty() && read.error_message.back() == '\n');
    }
    // Tokens cover the text: each starts where the last one ended.
    std::size_t pos = 0;
    for (;;) {
        const std::size_t before = pos;
        const quorcmd::Token token = quorcmd::NextToken(text, pos);
        FUZZ_CHECK(pos >= before && pos <= text.size());
        if (token.kind == quorcmd::Token::Kind::End) break;
        FUZZ_CHECK(!token.text.empty() && pos > before);
        FUZZ_CHECK(token.text.data() + token.text.size() == text.data() + pos);
    }
    return 0;
}

}  // namespace quorvane_fuzz
