// The "Enter Date and Time" dialog: the text shown, the validation on OK,
// cancel, and the read from the node's Verify Configuration entry.
#include "manager/date_time_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "manager_bus_fixture.h"

namespace {

using guitest::find;
using guitest::waitFor;
using managertest::TimeZone;

class DateTimeDialogTest : public managertest::ManagerBusFixture {
protected:
    void SetUp() override {
        ManagerBusFixture::SetUp();
        if (HasFatalFailure()) return;
        dialog = std::make_unique<TWin_EnterDateAndTime>(utilities, notifier);
    }
    void TearDown() override {
        dialog.reset();
        ManagerBusFixture::TearDown();
    }

    // Runs the modal dialog; `user` acts on it once it shows.
    bool enter(uint8_t node, uint32_t& date, uint32_t& time, std::function<void()> user, int x = 0,
               int y = 0) {
        QTimer::singleShot(0, dialog.get(), [this, user] {
            ASSERT_TRUE(waitFor([&] { return dialog->isVisible(); }));
            user();
            // A dialog the user left open is cancelled so the test goes on.
            if (dialog->isVisible()) dialog->reject();
        });
        return dialog->EnterDateAndTime(node, date, time, x, y);
    }
    QLineEdit* edit() { return find<QLineEdit>(dialog.get(), "dateandtime"); }
    void click(const char* name) { find<QPushButton>(dialog.get(), name)->click(); }

    TimeZone utc{"UTC0"};
    std::unique_ptr<TWin_EnterDateAndTime> dialog;
};

TEST_F(DateTimeDialogTest, OkStoresTheTypedValuesOnceTheTextIsValid) {
    uint32_t date = 0, time = 90061001;
    QString shown, caption;
    const bool accepted = enter(5, date, time, [&] {
        shown = edit()->text();
        caption = find<QPushButton>(dialog.get(), "read")->text();
        edit()->setText("01/jan/2009 10:00:00:000");
        click("ok");
        EXPECT_TRUE(dialog->isVisible()) << "refused";
        EXPECT_EQ(edit()->text(), "01/jan/2009 10:00:00:000");
        edit()->setText("02-jan-1984 00:00:01:500");
        click("ok");
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(shown, "02-Jan-1984 01:01:01:001");
    EXPECT_EQ(caption, "Read from node 0x05 (5d)");
    EXPECT_EQ(dialog->windowTitle(), "Enter Date and Time");
    EXPECT_EQ(date, 1u);
    EXPECT_EQ(time, 1500u);
    EXPECT_EQ(notifier.texts(),
              QStringList{"Invalid date and time format. Character \"-\" expected at position 2, "
                          "but found \"/\""});
}

TEST_F(DateTimeDialogTest, CancelAndTheCloseBoxLeaveTheValues) {
    uint32_t date = 7, time = 8;
    EXPECT_FALSE(enter(5, date, time, [&] {
        edit()->setText("01-JAN-2009 10:00:00:000");
        click("cancel");
    }));
    // A refused OK followed by the close box is a cancel, not an accept.
    EXPECT_FALSE(enter(5, date, time, [&] {
        edit()->setText("01-jam-2009 10:00:00:000");
        click("ok");
        edit()->setText("01-jan-2009 10:00:00:000");
        dialog->close();
    }));
    EXPECT_EQ(date, 7u);
    EXPECT_EQ(time, 8u);
    EXPECT_EQ(notifier.texts(),
              QStringList{"Invalid date and time format. Abbreviated month (jan, feb, ...) "
                          "expected, but found \"jam\""});
}

TEST_F(DateTimeDialogTest, TheDialogIsCentredOnThePointGiven) {
    uint32_t date = 0, time = 0;
    QPoint topLeft;
    QSize size;
    enter(
        5, date, time,
        [&] {
            topLeft = dialog->pos();
            size = dialog->size();
        },
        400, 300);
    EXPECT_EQ(topLeft, QPoint(400 - size.width() / 2, 300 - size.height() / 2));
}

TEST_F(DateTimeDialogTest, ReadFromNodeShowsTheNodesDateAndTime) {
    write32(5, 0x1020, 1, 9132);
    write32(5, 0x1020, 2, 36000000);
    simCommand("entry 7 0x1020 0 u8 3");
    uint32_t date = 0, time = 0;
    const bool accepted = enter(5, date, time, [&] {
        click("read");
        EXPECT_TRUE(waitFor([&] { return edit()->text() == "01-Jan-2009 10:00:00:000"; }));
        EXPECT_FALSE(dialog->reading());
        click("ok");
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(date, 9132u);
    EXPECT_EQ(time, 36000000u);

    // A node whose 0x1020 sub 0 is not 2, and one without the entry.
    for (uint8_t node : {7, 9}) {
        enter(node, date, time, [&] {
            click("read");
            EXPECT_TRUE(waitFor([&] { return !notifier.boxes.empty(); }));
            EXPECT_EQ(edit()->text(), "01-Jan-2009 10:00:00:000") << "left as it was";
        });
        EXPECT_EQ(notifier.texts(), QStringList{"Node was not found or does not support the "
                                                "Verify Configuration entry"});
        notifier.boxes.clear();
    }
}

}  // namespace
