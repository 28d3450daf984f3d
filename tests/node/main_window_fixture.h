// The main window on a simulated network: quorbus on a free port, quorsim
// playing nodes 5 and 10, quorvane's windows with a recording notifier.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/quorvane_app.h"
#include "gui_support/gui_test_support.h"
#include "hardware/hw_config_dialog.h"
#include "node/main_window.h"
#include "support/simulated_network.h"

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        setenv("PENNORAK_OPEN_COMMAND", "/bin/true", 1);
        setenv("MORVELLCANOPEN_SDO_TIMEOUT_MS", "300", 1);
        network = std::make_unique<testsupport::SimulatedNetwork>("gui");
        ASSERT_EQ(network->start({"--node", "5", "--node", "10"}), "");
    }

    void TearDown() override {
        if (main() != nullptr) main()->close();
        app.reset();
        network.reset();
    }

    void createApp() { app = std::make_unique<QuorvaneApp>(notifier, LibraryInterfaceOpener()); }
    TWin_Main* main() { return app ? app->windows().main : nullptr; }
    const MainControls& controls() { return main()->controls(); }

    // Shows the main window and presses `button` ("ok" or "cancel") of the
    // hardware dialog once it is up.
    void showAndAnswer(const char* button) {
        TWin_HWConfig* dialog = app->windows().hwConfig;
        QTimer answer;
        answer.setInterval(5);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (!dialog->isVisible()) return;
            answer.stop();
            guitest::find<QPushButton>(dialog, button)->click();
        });
        answer.start();
        main()->show();
        ASSERT_TRUE(guitest::waitFor([&] { return !answer.isActive(); }));
    }

    void openInterface() {
        showAndAnswer("ok");
        ASSERT_TRUE(guitest::waitFor([&] { return !controls().baudrate->text().isEmpty(); }))
            << notifier.texts().join('\n').toStdString();
    }

    void simCommand(const std::string& command) {
        ASSERT_TRUE(network->sim->writeLine(command));
        const std::string answer = network->sim->waitForLine("");
        ASSERT_EQ(answer.rfind("ok", 0), 0u) << command << " -> " << answer;
    }

    bool statusIs(const char* text) {
        return guitest::waitFor([&] { return controls().status->text() == QLatin1String(text); });
    }
    bool emcyIs(const char* text) {
        return guitest::waitFor([&] { return controls().emcy->text() == QLatin1String(text); });
    }

    std::unique_ptr<testsupport::SimulatedNetwork> network;
    guitest::RecordingNotifier notifier;
    std::unique_ptr<QuorvaneApp> app;
};
