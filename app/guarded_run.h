// The last line of defence of quorvane's start-up and message loop. UI thread.
#pragma once

#include <functional>

class Notifier;

// The exit code after an exception ended the program.
inline constexpr int kExitAfterException = 1;

// Runs `program` (start-up and the message loop) and returns its exit code.
// An exception that escapes it is shown through `notifier` as a warning box
// with the exception's text, once `program`'s objects are gone; the result
// is then kExitAfterException.
int RunGuarded(Notifier& notifier, const std::function<int()>& program);
