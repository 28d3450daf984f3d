// The seven directives: their forms, value checks and effects on a
// ReadResult.
#pragma once

#include <string_view>

#include "command_model.h"
#include "command_reader.h"

namespace quorcmd {

enum class DirectiveOutcome {
    Accepted,           // the command is queued or the setting applied
    InvalidParameters,  // the form or a value check failed
};

// True for HARDWARE and QUIET, which may be accepted once per text.
bool OccursOnce(Keyword keyword);

// Whether `parameters` (the text between the parentheses) has the form of the
// directive; a parameter may not span lines.
bool HasForm(Keyword keyword, std::string_view parameters);

// Applies the value checks to `parameters`, which has the directive's form,
// and on success queues the command or changes the settings in `result`.
// `token` is the directive as read, kept as the command's directive text.
DirectiveOutcome ApplyDirective(Keyword keyword, std::string_view parameters,
                                std::string_view token, ReadResult& result);

}  // namespace quorcmd
