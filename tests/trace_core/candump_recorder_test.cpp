// Recording to a candump log: the line format (read back by the candump
// reader and by quordecode), the hand-off from the library's thread to the
// writer thread, and what a failing disk does.
#include "trace/core/candump_recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

#include "support/child_process.h"
#include "trace/core/candump_log.h"
#include "trace_test_support.h"

namespace {

using canopen_trace::AppendCandumpLine;
using canopen_trace::CandumpRecorder;
using canopen_trace::RecordedFrame;

RecordedFrame FrameAt(int64_t time_us, const char* text) {
    const TraceRecord record = tracetest::FrameFrom(text);
    RecordedFrame frame;
    frame.time_us = time_us;
    frame.identifier = record.identifier;
    frame.length = record.length;
    frame.flags = record.flags;
    std::memcpy(frame.data, record.data, sizeof frame.data);
    return frame;
}

// The header's examples first; each line reads back as the frame it came from.
TEST(CandumpRecorderTest, LinesAsCandumpWritesThem) {
    RecordedFrame remoteOne = FrameAt(1436509052249713, "701#R");
    remoteOne.length = 1;
    const std::tuple<RecordedFrame, const char*> rows[] = {
        {FrameAt(1436509052249713, "701#05"), "(1436509052.249713) can0 701#05\n"},
        {FrameAt(1436509052249713, "00000605#40"), "(1436509052.249713) can0 00000605#40\n"},
        {FrameAt(1000001, "080#"), "(0000000001.000001) can0 080#\n"},
        {FrameAt(1436509052249713, "701#R"), "(1436509052.249713) can0 701#R\n"},
        {remoteOne, "(1436509052.249713) can0 701#R1\n"},
        {FrameAt(1436509052000000, "1FFFFFFF#0011223344556677"),
         "(1436509052.000000) can0 1FFFFFFF#0011223344556677\n"},
        {FrameAt(0, "7FF#ABCDEF"), "(0000000000.000000) can0 7FF#ABCDEF\n"},
    };
    for (const auto& [frame, expected] : rows) {
        SCOPED_TRACE(expected);
        std::string line;
        AppendCandumpLine(frame, "can0", line);
        EXPECT_EQ(line, expected);
        const auto parsed = canopen_trace::ParseCandumpLine(line);
        ASSERT_EQ(parsed.kind, canopen_trace::CandumpLineKind::kFrame) << parsed.error;
        EXPECT_EQ(parsed.record.identifier, frame.identifier);
        EXPECT_EQ(parsed.record.flags, frame.flags);
        EXPECT_EQ(parsed.record.length, frame.length);
        if (!(frame.flags & kTraceFlagRemote)) {
            EXPECT_EQ(std::memcmp(parsed.record.data, frame.data, frame.length), 0);
        }
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RecorderFile : public ::testing::Test {
protected:
    void TearDown() override { unlink(path_.c_str()); }
    const std::string path_ =
        ::testing::TempDir() + "candump_recorder_" + std::to_string(getpid()) + ".log";
};

// A producer thread as the library's, stopping while it still sends: every
// frame taken before Stop is in the file, in order, and quordecode reads it.
TEST_F(RecorderFile, EveryFrameTakenIsWrittenInOrderAndQuordecodeReadsIt) {
    std::string error;
    auto sink = canopen_trace::CreateRecordFile(path_, &error);
    ASSERT_TRUE(sink) << error;
    CandumpRecorder recorder;
    ASSERT_TRUE(recorder.Start(std::move(sink), "vbus0"));
    EXPECT_FALSE(recorder.Start(canopen_trace::CreateRecordFile(path_ + "2", &error), "x"));
    unlink((path_ + "2").c_str());

    constexpr uint32_t kFrames = 60000;
    std::thread library([&] {
        for (uint32_t i = 0; i < kFrames; ++i) {
            RecordedFrame frame = FrameAt(1700000000000000 + i, "181#0000000000000000");
            std::memcpy(frame.data, &i, sizeof i);
            frame.length = static_cast<uint8_t>(i % 9);
            recorder.Record(frame);
        }
    });
    library.join();
    EXPECT_EQ(recorder.Status().failure, "");
    EXPECT_TRUE(recorder.Status().recording);
    EXPECT_EQ(recorder.Stop(), "");
    const auto status = recorder.Status();
    EXPECT_FALSE(status.recording);
    EXPECT_EQ(status.written, kFrames);
    EXPECT_EQ(status.dropped, 0u);
    recorder.Record(FrameAt(1, "181#"));  // after Stop: ignored

    std::istringstream lines(ReadFile(path_));
    std::string line;
    uint32_t count = 0;
    while (std::getline(lines, line)) {
        const auto parsed = canopen_trace::ParseCandumpLine(line);
        ASSERT_EQ(parsed.kind, canopen_trace::CandumpLineKind::kFrame) << line;
        std::string expected;
        RecordedFrame frame = FrameAt(1700000000000000 + count, "181#0000000000000000");
        std::memcpy(frame.data, &count, sizeof count);
        frame.length = static_cast<uint8_t>(count % 9);
        AppendCandumpLine(frame, "vbus0", expected);
        ASSERT_EQ(line + "\n", expected);
        ++count;
    }
    EXPECT_EQ(count, kFrames);

    testsupport::ChildProcess decode(testsupport::programPath("quordecode"), {"--no-title", path_});
    ASSERT_TRUE(decode.started());
    decode.closeInput();
    EXPECT_EQ(decode.wait(std::chrono::seconds(60)), 0) << decode.errors();
    EXPECT_EQ(
        static_cast<uint32_t>(std::count(decode.output().begin(), decode.output().end(), '\n')),
        kFrames);
}

TEST(CandumpRecorderTest, AFileThatCannotBeCreatedIsRefusedAtOnce) {
    std::string error;
    EXPECT_EQ(canopen_trace::CreateRecordFile("/nonexistent-folder/trace.log", &error), nullptr);
    EXPECT_EQ(error, "cannot create /nonexistent-folder/trace.log: No such file or directory");
}

// Accepts the first `room` bytes, then fails like a full disk.
class FillingSink : public canopen_trace::RecordSink {
public:
    explicit FillingSink(std::size_t room, std::string& kept) : room_(room), kept_(kept) {}
    bool write(const char* bytes, std::size_t size, std::string* error) override {
        if (size > room_) {
            kept_.append(bytes, room_);
            room_ = 0;
            *error = "cannot write trace.log: No space left on device";
            return false;
        }
        kept_.append(bytes, size);
        room_ -= size;
        return true;
    }
    bool close(std::string*) override { return true; }

private:
    std::size_t room_;
    std::string& kept_;
};

TEST(CandumpRecorderTest, AWriteErrorStopsTheRecordingAndKeepsWhatWasWritten) {
    std::string kept;
    CandumpRecorder recorder;
    ASSERT_TRUE(recorder.Start(std::make_unique<FillingSink>(1000, kept), "can0"));
    for (int i = 0; i < 10; ++i) recorder.Record(FrameAt(i, "701#05"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return recorder.Status().written == 10; }));
    // 10 lines of 32 bytes are in; the next batch overflows the room.
    for (int i = 0; i < 2 * static_cast<int>(CandumpRecorder::kBatchFrames); ++i)
        recorder.Record(FrameAt(i, "701#05"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder.Status().failure.empty(); }));
    auto status = recorder.Status();
    EXPECT_FALSE(status.recording);
    EXPECT_EQ(status.failure, "cannot write trace.log: No space left on device");
    EXPECT_EQ(status.written, 10u);
    EXPECT_EQ(kept.size(), 1000u);
    EXPECT_EQ(kept.substr(0, 32), "(0000000000.000000) can0 701#05\n");
    recorder.Record(FrameAt(99, "701#05"));  // refused after the failure
    EXPECT_EQ(recorder.Stop(), "");
    EXPECT_EQ(recorder.Status().failure, "cannot write trace.log: No space left on device");
}

TEST(CandumpRecorderTest, AFullDeviceIsReportedWithTheSystemsReason) {
    std::string error;
    auto sink = canopen_trace::CreateRecordFile("/dev/full", &error);
    ASSERT_TRUE(sink) << error;
    CandumpRecorder recorder;
    ASSERT_TRUE(recorder.Start(std::move(sink), "can0"));
    recorder.Record(FrameAt(0, "701#05"));
    ASSERT_TRUE(testsupport::waitUntil([&] { return !recorder.Status().failure.empty(); }));
    EXPECT_EQ(recorder.Status().failure, "cannot write /dev/full: No space left on device");
    recorder.Stop();
}

}  // namespace
