// The hardware error dialog: its texts and its links. Close ending the modal
// run: hw_config_dialog_test (FailedOpening...).
#include "hardware/hw_init_error_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "gui/web_links.h"
#include "gui_support/gui_test_support.h"
#include "gui_support/url_recorder.h"

namespace {

TEST(HwInitErrorDialog, TextsFixedSizeAndWrappedError) {
    TWin_HWInitError dialog;
    EXPECT_EQ(dialog.windowTitle(), "Hardware Error");
    const auto* description = guitest::find<QLabel>(&dialog, "description");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->text(),
              "Ensure the drivers for the CAN interface have been installed. If they have not been "
              "installed then click on one of the links below to go to the driver download web "
              "page.");
    EXPECT_TRUE(description->wordWrap());
    EXPECT_EQ(guitest::find<QLabel>(&dialog, "ostradownload")->text(), "Ostra Interfaces");
    dialog.show();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    // A long error text wraps at the description's width.
    const QString text = QStringLiteral("Error initializing hardware: ") +
                         QString("socketcan:can0 could not be opened. ").repeated(6);
    dialog.setErrorText(text);
    const auto* error = guitest::find<QLabel>(&dialog, "error");
    EXPECT_EQ(error->text(), text);
    EXPECT_TRUE(error->wordWrap());
    EXPECT_EQ(error->width(), description->width());
    EXPECT_TRUE(guitest::waitFor([&] { return dialog.rect().contains(error->geometry()); }));
}

TEST(HwInitErrorDialog, LinksOpenTheDriverPages) {
    UrlRecorder opened;
    TWin_HWInitError dialog;
    dialog.show();
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "trelvikdownload"), Qt::LeftButton);
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "ostradownload"), Qt::LeftButton);
    QTest::mouseClick(guitest::find<QLabel>(&dialog, "description"), Qt::LeftButton);
    EXPECT_EQ(opened.opened, (std::vector<QUrl>{QUrl(weblinks::kTrelvikDrivers),
                                                QUrl(weblinks::kOstraUsbModule)}));
    EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
