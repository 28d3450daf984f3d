// Options > "Record to candump Log...": the file, the title while recording,
// refusals and write errors.
#include "trace/trace_recording.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "gui_support/gui_test_support.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/trace_buffer.h"
#include "trace/trace_window.h"

namespace {

using canopen_trace::RecordedFrame;

class TraceRecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::clearSettings();
        window = std::make_unique<TWin_Trace>(buffer, codes, nullptr, TWin_Trace::KeyHandler(),
                                              notifier);
        window->show();
    }

    QAction* action(const char* name) { return window->findChild<QAction*>(QLatin1String(name)); }
    TraceRecording& recording() { return window->recording(); }
    void feed(int count) {
        for (int i = 0; i < count; ++i) {
            RecordedFrame frame;
            frame.time_us = 1700000000000000 + i;
            frame.identifier = 0x181;
            frame.length = 1;
            frame.data[0] = static_cast<uint8_t>(i);
            recording().recorder().Record(frame);
        }
    }

    QTemporaryDir folder;
    TTraceBuffer buffer;
    TEmergencyCodes codes;
    guitest::RecordingNotifier notifier;
    std::unique_ptr<TWin_Trace> window;
};

TEST_F(TraceRecordingTest, TheTitleNamesTheFileAndCountsTheFrames) {
    EXPECT_EQ(action("recordcandump")->text(), "&Record to candump Log...");
    EXPECT_TRUE(action("recordcandump")->isEnabled());
    EXPECT_FALSE(action("stoprecording")->isEnabled());
    recording().setBusName([] { return std::string("vbus0"); });
    const QString path = folder.filePath(QStringLiteral("bench.log"));
    ASSERT_TRUE(recording().startRecording(path));
    EXPECT_TRUE(window->windowTitle().endsWith(" - recording bench.log (0 frames)"))
        << window->windowTitle().toStdString();
    EXPECT_FALSE(action("recordcandump")->isEnabled());
    EXPECT_TRUE(action("stoprecording")->isEnabled());
    feed(3);
    EXPECT_TRUE(guitest::waitFor([&] {
        return window->windowTitle().endsWith(" - recording bench.log (3 frames)");
    })) << window->windowTitle().toStdString();
    window->close();  // recording goes on without the window
    feed(1);
    EXPECT_TRUE(guitest::waitFor([&] { return recording().titleSuffix().contains("(4 frames)"); }));
    action("stoprecording")->trigger();
    EXPECT_FALSE(recording().recording());
    EXPECT_EQ(recording().titleSuffix(), QString());
    EXPECT_FALSE(window->windowTitle().contains("recording"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "(1700000000.000000) vbus0 181#00\n(1700000000.000001) vbus0 181#01\n"
              "(1700000000.000002) vbus0 181#02\n(1700000000.000000) vbus0 181#00\n");
    EXPECT_TRUE(notifier.boxes.empty());
}

TEST_F(TraceRecordingTest, AFileThatCannotBeCreatedIsRefusedAtOnce) {
    const QString title = window->windowTitle();
    EXPECT_FALSE(recording().startRecording(QStringLiteral("/nonexistent-folder/trace.log")));
    EXPECT_EQ(notifier.texts(),
              QStringList{"The candump log cannot be recorded: cannot create "
                          "/nonexistent-folder/trace.log: No such file or directory"});
    EXPECT_FALSE(recording().recording());
    EXPECT_EQ(window->windowTitle(), title);
    EXPECT_TRUE(action("recordcandump")->isEnabled());
}

TEST_F(TraceRecordingTest, AWriteErrorStopsTheRecordingWithAMessage) {
    ASSERT_TRUE(recording().startRecording(QStringLiteral("/dev/full")));
    feed(1);
    ASSERT_TRUE(guitest::waitFor([&] { return !recording().recording(); }));
    EXPECT_EQ(notifier.texts(),
              QStringList{"Recording to /dev/full stopped: cannot write /dev/full: No space left "
                          "on device. The 0 frames written before are kept."});
    EXPECT_FALSE(window->windowTitle().contains("recording"));
    EXPECT_TRUE(action("recordcandump")->isEnabled());
    EXPECT_FALSE(action("stoprecording")->isEnabled());
}

}  // namespace
