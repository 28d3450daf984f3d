// The main window against the library on quorbus with quorsim nodes: opening
// through the hardware dialog, LEDs on real traffic, node status and last
// emergency, NMT frames on the bus, settings and the hint banner.
#include "node/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <memory>
#include <string>

#include "app/quorvane_app.h"
#include "gui/settings_store.h"
#include "gui_support/gui_test_support.h"
#include "gui_support/url_recorder.h"
#include "hardware/hw_config_dialog.h"
#include "main_window_fixture.h"
#include "sim/quorbus_test_client.h"
#include "support/child_process.h"

namespace {

using guitest::find;
using guitest::waitFor;

TEST_F(MainWindowTest, FirstStartTakesDefaultsAndOpensTheChosenInterface) {
    createApp();
    const MainControls& c = controls();
    EXPECT_EQ(c.nodelist->currentText(), "28 (40d)");
    EXPECT_EQ(c.nodelist->itemText(9), "0A (10d)");
    EXPECT_TRUE(c.singlenode->isChecked());
    EXPECT_EQ(c.status->text(), "Unknown");
    EXPECT_EQ(c.emcy->text(), "None");
    EXPECT_EQ(main()->windowTitle(), "Quorvane");
    EXPECT_EQ(ReadString(*OpenSettings(), "hwselect"),
              QString("Trelvik Kestra Parallel Port Dongle"));
    openInterface();
    EXPECT_EQ(c.baudrate->text(), "125kbps");
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(MainWindowTest, CancelInTheHardwareDialogEndsTheProgram) {
    createApp();
    bool closed = false;
    QObject::connect(main(), &TWin_Main::closed, [&] { closed = true; });
    showAndAnswer("cancel");
    EXPECT_TRUE(waitFor([&] { return closed; }));
    EXPECT_FALSE(main()->isVisible());
}

TEST_F(MainWindowTest, LedsFollowTrafficAndBusErrors) {
    createApp();
    openInterface();
    EXPECT_FALSE(main()->rxLit());
    simCommand("heartbeat 5 20");
    EXPECT_TRUE(waitFor([&] { return main()->rxLit() && main()->busLit(); }));
    simCommand("heartbeat 5 0");
    // Dark again once the traffic stops.
    EXPECT_TRUE(waitFor([&] { return !main()->rxLit() && !main()->busLit(); }));

    find<QPushButton>(main(), "operational")->click();
    EXPECT_TRUE(waitFor([&] { return main()->txLit(); }));

    simCommand("buserror passive");
    EXPECT_TRUE(waitFor([&] { return main()->errorLit(); }));
    simCommand("buserror cleared");
    EXPECT_TRUE(waitFor([&] { return !main()->errorLit(); }));
}

TEST_F(MainWindowTest, NodeStatusAndLastEmergencyFollowTheSelectedNode) {
    createApp();
    openInterface();
    controls().nodelist->setCurrentIndex(9);  // node 10
    simCommand("state 10 operational");
    simCommand("heartbeat 10 30");
    EXPECT_TRUE(statusIs("Operational"));
    simCommand("state 10 stopped");
    EXPECT_TRUE(statusIs("Stopped"));
    simCommand("state 5 preop");  // another node: no change
    simCommand("emcy 10 0x8110");
    EXPECT_TRUE(emcyIs("CAN Overrun (Objects lost)"));
    simCommand("emcy 10 0x0000");  // error reset: the shown emergency stays
    simCommand("emcy 10 0x8130");
    EXPECT_TRUE(emcyIs("Life Guard Error/Heartbeat Error"));
    EXPECT_EQ(controls().status->text(), "Stopped");

    // A node change forgets the emergency at once and the state at the next tick.
    controls().nodelist->setCurrentIndex(4);
    EXPECT_EQ(controls().emcy->text(), "None");
    EXPECT_TRUE(statusIs("Unknown"));
    simCommand("state 5 boot");
    EXPECT_TRUE(statusIs("Bootup"));
}

TEST_F(MainWindowTest, NmtButtonsSendTheirCommandToTheNodeOrToAll) {
    createApp();
    openInterface();
    quorbustest::HubClient observer(static_cast<std::uint16_t>(network->port));
    ASSERT_TRUE(observer.connected());
    ASSERT_TRUE(observer.join("gui"));

    controls().nodelist->setCurrentIndex(4);  // node 5
    controls().singlenode->setChecked(true);
    const struct {
        const char* button;
        const char* frame;
    } cases[] = {
        {"operational", "000#0105"}, {"stop", "000#0205"},      {"preoperational", "000#8005"},
        {"reset", "000#8105"},       {"resetcomm", "000#8205"},
    };
    for (const auto& row : cases) {
        find<QPushButton>(main(), row.button)->click();
        EXPECT_EQ(observer.waitForFrame(0), row.frame) << row.button;
    }
    controls().allnodes->setChecked(true);
    controls().nodelist->setCurrentIndex(-1);
    find<QPushButton>(main(), "operational")->click();
    EXPECT_EQ(observer.waitForFrame(0), "000#0100");
    EXPECT_TRUE(notifier.boxes.empty());

    controls().singlenode->setChecked(true);
    find<QPushButton>(main(), "stop")->click();
    EXPECT_EQ(notifier.texts(), QStringList{"Node ID must be in the range 0x01 -> 0x7F"});
}

TEST_F(MainWindowTest, SettingsAndBannerChoiceSurviveARestart) {
    createApp();
    openInterface();
    EXPECT_TRUE(main()->bannerActive());
    EXPECT_TRUE(controls().banner->isVisible());
    // The service's first hint replaces the design-time text.
    EXPECT_TRUE(waitFor(
        [&] { return controls().eh1->text() != "Quorvane - CANopen tools for Linux engineers"; }));
    const int heightWithBanner = main()->height();

    controls().nodelist->setCurrentIndex(6);
    controls().readindex->setText("2000");
    controls().allnodes->setChecked(true);
    controls().viewpennorak->trigger();
    EXPECT_EQ(notifier.texts(),
              QStringList{"Pennorak will not be shown the next time Quorvane is started."});
    EXPECT_FALSE(controls().viewpennorak->isChecked());
    EXPECT_TRUE(main()->bannerActive());  // the banner changes at the next start only
    main()->close();
    app.reset();

    createApp();
    EXPECT_EQ(controls().nodelist->currentText(), "07 (7d)");
    EXPECT_EQ(controls().readindex->text(), "2000");
    EXPECT_TRUE(controls().allnodes->isChecked());
    EXPECT_FALSE(controls().viewpennorak->isChecked());
    EXPECT_FALSE(main()->bannerActive());
    openInterface();
    EXPECT_FALSE(controls().banner->isVisible());
    EXPECT_LT(main()->height(), heightWithBanner);
}

// However long the hint the banner shows, the window opens at its design
// width (620 pixels at 96 pixels per inch).
TEST_F(MainWindowTest, FirstWidthIsTheDesignWidthWhateverTheHint) {
    createApp();
    controls().eh1->setText(QString(400, QLatin1Char('w')));
    openInterface();
    const double scale = main()->screen()->logicalDotsPerInch() / 96.0;
    EXPECT_EQ(main()->width(), static_cast<int>(620 * scale));
}

TEST_F(MainWindowTest, HelpMenuOpensTheManualBesideTheProgramAndTheHomePages) {
    createApp();
    UrlRecorder recorder;
    const struct {
        const char* item;
        QString address;
    } cases[] = {
        {"quorvanehomepage", "https://www.quorvane.org/"},
        {"manual",
         QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/QuorvaneManual.pdf")
             .toString()},
    };
    for (const auto& row : cases) {
        recorder.opened.clear();
        find<QAction>(main(), row.item)->trigger();
        ASSERT_EQ(recorder.opened.size(), 1u) << row.item;
        EXPECT_EQ(recorder.opened.front().toString(), row.address) << row.item;
    }
    // The manual is built beside the programs.
    EXPECT_TRUE(QFile::exists(recorder.opened.front().toLocalFile()));
    EXPECT_TRUE(find<QAction>(main(), "canopenmanager")->isEnabled());
}

}  // namespace
