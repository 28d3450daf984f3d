// Time from the click on "Write" / "Read" to the end of the transfer in
// quorvane's main window, for a 174080-byte entry of quorsim (domain 0x2101)
// over a spawned quorbus, segmented and block. Runs offscreen.
//
//   main_window_transfer [REPEATS]
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/quorvane_app.h"
#include "gui/notifier.h"
#include "hardware/hw_config_dialog.h"
#include "node/main_window.h"
#include "support/child_process.h"
#include "support/simulated_network.h"

namespace {

class CountingNotifier : public Notifier {
public:
    void notify(Kind, const QString& text) override {
        std::fprintf(stderr, "message: %s\n", text.toLocal8Bit().constData());
        ++count;
    }
    int count = 0;
};

bool waitFor(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

// Milliseconds from the click to the end of the transfer.
double timeTransfer(const MainControls& c, QPushButton* button) {
    QElapsedTimer clock;
    clock.start();
    button->click();
    if (!waitFor([&] { return c.tabs->isEnabled(); }, 300000)) return -1;
    return clock.nsecsElapsed() / 1e6;
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-22s min %8.1f ms  median %8.1f ms  max %8.1f ms  (%.0f bytes/s at the median)\n",
                what, ms.front(), ms[ms.size() / 2], ms.back(),
                174080.0 / (ms[ms.size() / 2] / 1000.0));
}

}  // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QLatin1String("propagateSizeHints")))
                qt_message_output(type, context, text);
        });
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTemporaryDir home;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit().constData(), 1);
    setenv("XDG_RUNTIME_DIR", home.path().toLocal8Bit().constData(), 1);
    QApplication application(argc, argv);

    testsupport::SimulatedNetwork network("bench");
    if (const std::string problem = network.start({"--node", "5"}); !problem.empty())
        return std::fprintf(stderr, "%s\n", problem.c_str()), 1;

    const QString dataPath = home.filePath("entry.bin");
    {
        QFile file(dataPath);
        if (!file.open(QIODevice::WriteOnly)) return 1;
        QByteArray content(174080, '\0');
        for (int i = 0; i < content.size(); ++i) content[i] = char(i * 13);
        file.write(content);
    }

    for (const bool block : {false, true}) {
        // Block transfers both ways, or none: the library's switch for
        // downloads, quorsim's for uploads.
        setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
        setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
        network.sim->writeLine(block ? "block 5 on" : "block 5 off");
        network.sim->waitForLine("ok");

        CountingNotifier notifier;
        auto app = std::make_unique<QuorvaneApp>(notifier, LibraryInterfaceOpener());
        TWin_Main* main = app->windows().main;
        const MainControls& c = main->controls();
        QTimer answer;
        answer.setInterval(5);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            if (!app->windows().hwConfig->isVisible()) return;
            answer.stop();
            app->windows().hwConfig->findChild<QPushButton*>("ok")->click();
        });
        answer.start();
        main->show();
        if (!waitFor([&] { return !c.baudrate->text().isEmpty(); }, 20000)) return 1;

        c.nodelist->setCurrentIndex(4);
        c.writeindex->setText("2101");
        c.writesubindex->setText("00");
        c.writeread->setChecked(true);
        c.writepath->setText(dataPath);
        c.readindex->setText("2101");
        c.readsubindex->setText("00");
        c.readstore->setChecked(true);
        c.readpath->setText(home.filePath("back.bin"));

        std::vector<double> writes, reads;
        for (int i = 0; i < repeats; ++i) {
            writes.push_back(timeTransfer(c, c.writebutton));
            reads.push_back(timeTransfer(c, c.readbutton));
        }
        if (notifier.count != 0) return 1;
        report(block ? "block write" : "segmented write", writes);
        report(block ? "block read" : "segmented read", reads);
        main->close();
        app.reset();
    }
    return 0;
}
