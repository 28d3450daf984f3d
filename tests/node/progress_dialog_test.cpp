#include "node/progress_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <thread>

#include "gui_test_support.h"

namespace {

class ProgressDialogTest : public ::testing::Test {
protected:
    QProgressBar* bar() { return guitest::find<QProgressBar>(&dialog, "bar"); }
    QLabel* percent() { return guitest::find<QLabel>(&dialog, "percent"); }
    QPushButton* cancel() { return guitest::find<QPushButton>(&dialog, "cancel"); }

    TWin_Progress dialog;
};

TEST_F(ProgressDialogTest, PercentageIsTruncated) {
    ASSERT_NE(bar(), nullptr);
    ASSERT_NE(percent(), nullptr);
    const std::tuple<float, int, const char*> cases[] = {{99.9f, 99, "99%"},
                                                         {0.0f, 0, "0%"},
                                                         {0.99f, 0, "0%"},
                                                         {50.5f, 50, "50%"},
                                                         {100.0f, 100, "100%"}};
    for (const auto& [value, position, text] : cases) {
        SCOPED_TRACE(value);
        dialog.SetProgress(value);
        EXPECT_EQ(bar()->value(), position);
        EXPECT_EQ(percent()->text(), text);
    }
}

TEST_F(ProgressDialogTest, CancelRunsTheActionOnce) {
    ASSERT_NE(cancel(), nullptr);
    cancel()->click();  // no action: nothing happens

    int runs = 0;
    dialog.SetCancelAction([&] { ++runs; });
    cancel()->click();
    EXPECT_EQ(runs, 1);

    dialog.EndOperation();
    cancel()->click();
    EXPECT_EQ(runs, 1);
}

TEST_F(ProgressDialogTest, LibraryThreadProgressReachesTheDialog) {
    dialog.SetProgress(5);
    std::thread library([] { TWin_Progress::LibraryProgressHandler()(42.7f); });
    library.join();
    EXPECT_TRUE(guitest::waitFor([&] { return percent()->text() == "42%"; }));
    EXPECT_EQ(bar()->value(), 42);
}

}  // namespace
