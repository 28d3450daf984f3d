#include "info/about_box.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "gui/web_links.h"
#include "gui_support/gui_test_support.h"
#include "gui_support/url_recorder.h"
#include "info/splash_window.h"

namespace {

TEST(AboutBoxTest, ShowsTheVersionAndCloseEndsExec) {
    TWin_About about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Quorvane"));
    auto* version = guitest::find<QLabel>(&about, QStringLiteral("versionlabel"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), QStringLiteral("Version " QUORVANE_VERSION));
    auto* close = guitest::find<QPushButton>(&about, QStringLiteral("closebutton"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(close->text(), QStringLiteral("Close"));
    // The box owns both timers, so they cannot outlive it; the second one
    // only ends a box that Close failed to end.
    bool was_visible = false;
    QTimer::singleShot(0, &about, [&] {
        was_visible = about.isVisible();
        QTest::mouseClick(close, Qt::LeftButton);
    });
    QTimer::singleShot(30000, &about, [&] { about.done(-1); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_TRUE(was_visible);
    EXPECT_FALSE(about.isVisible());
}

struct LinkCase {
    const char* link_object;
    const char* url;
};

const LinkCase kLinks[] = {
    {"trelviklink", weblinks::kTrelvikHome},
    {"ostralink", weblinks::kOstraHome},
    {"quorvanelink", weblinks::kQuorvaneHome},
    {"morvelllink", weblinks::kMorvellHome},
};

// Clicks each link of a shown window and checks the address it opened.
void expectLinksOpenHomePages(QWidget& window) {
    UrlRecorder recorder;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (const LinkCase& link_case : kLinks) {
        SCOPED_TRACE(link_case.link_object);
        auto* link = guitest::find<QLabel>(&window, QString::fromUtf8(link_case.link_object));
        ASSERT_NE(link, nullptr);
        recorder.opened.clear();
        QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, link->rect().center());
        ASSERT_EQ(recorder.opened.size(), 1u);
        EXPECT_EQ(recorder.opened.front(), QUrl(QString::fromUtf8(link_case.url)));
    }
}

TEST(AboutBoxTest, LinksOpenTheMakersHomePages) {
    TWin_About about;
    expectLinksOpenHomePages(about);
}

TEST(SplashWindowLinksTest, LinksOpenTheMakersHomePages) {
    TWin_Splash splash;
    expectLinksOpenHomePages(splash);
}

}  // namespace
