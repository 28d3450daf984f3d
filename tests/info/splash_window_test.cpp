#include "info/splash_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QScreen>

#include "gui_support/gui_test_support.h"

namespace {

TEST(SplashWindowTest, IsABorderlessSplashWithNameAndVersion) {
    TWin_Splash splash;
    EXPECT_TRUE(splash.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(splash.windowType(), Qt::SplashScreen);
    auto* name = guitest::find<QLabel>(&splash, QStringLiteral("productname"));
    auto* version = guitest::find<QLabel>(&splash, QStringLiteral("versionlabel"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("Quorvane"));
    EXPECT_EQ(version->text(), QStringLiteral("Version " QUORVANE_VERSION));
}

TEST(SplashWindowTest, HidesItselfAfterBeingShownAndIsCentred) {
    TWin_Splash splash;
    splash.show();
    ASSERT_TRUE(splash.isVisible());
    const QRect screen_area = splash.screen()->availableGeometry();
    EXPECT_LE((splash.frameGeometry().center() - screen_area.center()).manhattanLength(), 2);

    EXPECT_TRUE(guitest::waitFor([&] { return !splash.isVisible(); }, std::chrono::seconds(30)));
}

}  // namespace
