// Opens a link with the desktop's opener: a program started without a shell,
// the link passed as its only argument.
#pragma once

#include <string>

namespace pennorak {

// The program named by the opener variable's value when it is set and not
// empty, else the default opener.
std::string openerProgram(const char* openCommandValue);

// Starts program (searched in PATH when it has no '/') with link as its
// single argument, with this process's environment, and waits for it.
// Returns its exit code, 128 + signal when a signal ended it, or -1 when it
// could not be started.
int runOpener(const std::string& program, const std::string& link);

}  // namespace pennorak
