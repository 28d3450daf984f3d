// View > "CANopen Manager..." opens the manager window for the main window's
// current node, through the composition root.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>

#include "gui_support/gui_test_support.h"
#include "main_window_fixture.h"
#include "manager/manager_window.h"

namespace {

using guitest::waitFor;

TEST_F(MainWindowTest, ManagerMenuOpensTheManagerWindowForTheCurrentNode) {
    createApp();
    openInterface();
    simCommand("manager 16");
    TWin_CANopenManager* manager = app->windows().manager;
    ASSERT_NE(manager, nullptr);
    QAction* item = guitest::find<QAction>(main(), "canopenmanager");
    ASSERT_TRUE(item->isEnabled());
    EXPECT_EQ(item->text(), "CANopen &Manager...");

    controls().nodelist->setCurrentIndex(15);
    item->trigger();
    EXPECT_TRUE(manager->isVisible());
    EXPECT_EQ(manager->managerNode(), 16);
    ASSERT_TRUE(waitFor([&] { return !manager->busy(); }, std::chrono::seconds(60)));
    EXPECT_TRUE(manager->configuration().configValid);
    EXPECT_EQ(manager->configuration().entryCounts[0], 127);
    EXPECT_TRUE(notifier.boxes.empty()) << notifier.texts().join('\n').toStdString();
}

}  // namespace
