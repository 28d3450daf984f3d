// quorcmd's entry: where the directives come from, reading, execution and
// the exit code.
//
//   quorcmd                 banner only, exit 0
//   quorcmd @FILE           directives from the command file FILE
//   quorcmd DIRECTIVE...    each argument is one line of directives
//   quorcmd --channels      the channel each adapter code opens (channel_listing.h)
//
// Exit codes: 0 success (also when nothing was queued), 1 a reading error, a
// start-up error (also a command text above 16 MiB) or a failed command, 2 a
// token longer than 8191 characters.
#pragma once

#include <optional>
#include <string>

namespace quorcmd {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitTokenTooLarge = 2;

// Folder for the argument-mode temporary file: $TMPDIR when set and not
// empty, else /tmp; nothing when that is not a folder.
std::optional<std::string> TemporaryFolder();

// Runs quorcmd with the program's arguments; returns the exit code. Output
// on standard output (or the QUIET log), the oversized-token message on
// standard error. Main thread only.
int runQuorcmd(int argc, char** argv);

}  // namespace quorcmd
