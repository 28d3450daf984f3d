// The hardware error dialog: its texts, its links and its Close button.
#include "app/hw_init_error_dialog.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "app/web_links.h"
#include "gui_test_support.h"

namespace {

// Collects the addresses handed to the desktop shell. The handler must be a
// method of a QObject taking a QUrl; QTextBrowser's anchorClicked signal is
// one, so no class of the test's own needs moc.
class OpenedUrls {
public:
    OpenedUrls() {
        QObject::connect(&receiver_, &QTextBrowser::anchorClicked,
                         [this](const QUrl& url) { urls << url.toString(); });
        QDesktopServices::setUrlHandler("https", &receiver_, "anchorClicked");
    }
    ~OpenedUrls() { QDesktopServices::unsetUrlHandler("https"); }
    QStringList urls;

private:
    QTextBrowser receiver_;
};

TEST(HwInitErrorDialog, TextsAndFixedSize) {
    TWin_HWInitError dialog;
    EXPECT_EQ(dialog.windowTitle(), "Hardware Error");
    const auto* description = guitest::find<QLabel>(&dialog, "description");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->text(),
              "Ensure the drivers for the CAN interface have been installed. If they have not been "
              "installed then click on one of the links below to go to the driver download web "
              "page.");
    EXPECT_TRUE(description->wordWrap());
    EXPECT_EQ(guitest::find<QLabel>(&dialog, "trelvikdownload")->text(), "Trelvik Interfaces");
    EXPECT_EQ(guitest::find<QLabel>(&dialog, "ostradownload")->text(), "Ostra Interfaces");
    EXPECT_EQ(guitest::find<QLabel>(&dialog, "ostradownload")->cursor().shape(),
              Qt::PointingHandCursor);
    EXPECT_EQ(guitest::find<QPushButton>(&dialog, "close")->text(), "Close");
    dialog.show();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
}

TEST(HwInitErrorDialog, LongErrorTextWrapsAtTheDescriptionWidth) {
    TWin_HWInitError dialog;
    dialog.show();
    const QString text = QStringLiteral("Error initializing hardware: ") +
                         QString("socketcan:can0 could not be opened. ").repeated(6);
    dialog.setErrorText(text);
    const auto* error = guitest::find<QLabel>(&dialog, "error");
    const auto* description = guitest::find<QLabel>(&dialog, "description");
    EXPECT_EQ(error->text(), text);
    EXPECT_TRUE(error->wordWrap());
    EXPECT_EQ(error->width(), description->width());
    EXPECT_TRUE(guitest::waitFor([&] { return dialog.rect().contains(error->geometry()); }));
}

TEST(HwInitErrorDialog, LinksOpenTheDriverPages) {
    OpenedUrls opened;
    TWin_HWInitError dialog;
    dialog.show();
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "trelvikdownload"), Qt::LeftButton);
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "ostradownload"), Qt::LeftButton);
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "description"), Qt::LeftButton);
    EXPECT_EQ(opened.urls, QStringList({weblinks::kTrelvikDrivers, weblinks::kOstraUsbModule}));
    EXPECT_TRUE(dialog.isVisible());
}

TEST(HwInitErrorDialog, CloseEndsTheModalRun) {
    TWin_HWInitError dialog;
    QTimer::singleShot(0, &dialog, [&dialog] {
        ASSERT_TRUE(dialog.isVisible());
        guitest::find<QPushButton>(&dialog, "close")->click();
    });
    dialog.exec();
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
