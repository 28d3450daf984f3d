// The progress dialog on its own; a transfer moving it and cancelled from it
// is in read_write_test.cpp.
#include "gui/progress_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "gui_support/gui_test_support.h"

namespace {

TEST(ProgressDialogTest, PercentageIsTruncatedAndCancelNeedsAnAction) {
    TWin_Progress dialog;
    auto* bar = guitest::find<QProgressBar>(&dialog, "bar");
    auto* percent = guitest::find<QLabel>(&dialog, "percent");
    auto* cancel = guitest::find<QPushButton>(&dialog, "cancel");
    ASSERT_TRUE(bar && percent && cancel);
    for (const auto& [value, position, text] :
         {std::tuple{99.9f, 99, "99%"}, std::tuple{0.99f, 0, "0%"}}) {
        dialog.SetProgress(value);
        EXPECT_EQ(bar->value(), position);
        EXPECT_EQ(percent->text(), text);
    }
    cancel->click();  // no action: nothing happens
    int runs = 0;
    dialog.StartOperation([&] { ++runs; });
    dialog.EndOperation();
    cancel->click();  // the ended operation's action is gone
    EXPECT_EQ(runs, 0);
}

// While an operation runs, Escape and the window's close button act as
// Cancel and the dialog stays; once it has ended they close it as usual.
TEST(ProgressDialogTest, EscapeAndCloseCancelARunningOperation) {
    TWin_Progress dialog;
    int runs = 0;
    dialog.StartOperation([&] { ++runs; });
    ASSERT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(dialog.close());
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(dialog.isVisible());

    dialog.EndOperation();
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();  // shown again without an operation: Escape closes it
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(runs, 2);
}

}  // namespace
