// The guard around quorvane's start-up and message loop.
#include "app/guarded_run.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <functional>
#include <stdexcept>

#include "gui_support/gui_test_support.h"

namespace {

using Kind = Notifier::Kind;

// An exception that escapes start-up or the loop is shown in a warning box
// with its text and ends the program with an error code; a normal end passes
// its code on and shows nothing.
TEST(GuardedRunTest, EscapedExceptionIsShownAndEndsWithAnError) {
    const struct {
        const char* what;
        std::function<int()> program;
        int code;
        const char* box;  // nullptr: none
    } cases[] = {
        {"normal end", [] { return 3; }, 3, nullptr},
        {"start-up throws",
         []() -> int { throw std::runtime_error("Unable to read the settings"); },
         kExitAfterException, "Unable to read the settings"},
        {"the loop throws",
         [] {
             QTimer::singleShot(0, [] { throw std::runtime_error("Timer handler failed"); });
             return QApplication::exec();
         },
         kExitAfterException, "Timer handler failed"},
        {"not a std::exception", []() -> int { throw 42; }, kExitAfterException,
         "Quorvane stopped because of an unexpected error."},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        guitest::RecordingNotifier notifier;
        EXPECT_EQ(RunGuarded(notifier, row.program), row.code);
        if (row.box == nullptr) {
            EXPECT_TRUE(notifier.boxes.empty());
            continue;
        }
        ASSERT_EQ(notifier.boxes.size(), 1u);
        EXPECT_EQ(notifier.boxes[0].first, Kind::Warning);
        EXPECT_EQ(notifier.boxes[0].second, row.box);
    }
}

}  // namespace
