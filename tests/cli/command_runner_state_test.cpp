// The shared operation state without the library: result lines are printed
// exactly once whichever side obtains opstate_mutex, and destination rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "cli/command_runner.h"

namespace quorcmd {
namespace {

// An output sink in memory.
class MemorySink {
public:
    MemorySink() : file_(open_memstream(&data_, &size_)) {}
    ~MemorySink() {
        std::fclose(file_);
        std::free(data_);
    }
    std::FILE* file() { return file_; }
    std::string text() {
        std::fflush(file_);
        return std::string(data_, size_);
    }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* file_;
};

LibraryResult makeResult(std::int32_t code, const char* text) {
    LibraryResult r{};
    r.code = code;
    std::snprintf(r.text, sizeof r.text, "%s", text);
    return r;
}

CommandRecord upload(const char* text) {
    CommandRecord c;
    c.operation = Operation::SdoUpload;
    c.directive_text = text;
    return c;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class CommandRunnerState : public ::testing::Test {
protected:
    MemorySink sink;
    ErrorFlag failed{false};
    OperationState state{sink.file(), failed};
};

TEST_F(CommandRunnerState, PollPrintsTheLineWhenTheCallbackWaitFails) {
    const CommandRecord command = upload("ODREAD(5,0x2000,1,SCREEN)");
    ASSERT_TRUE(state.begin(kOdReadTransfer, command));
    {
        // The callback gives up after its 500 ms wait while the mutex is held.
        std::lock_guard hold(state.opstateMutex());
        std::thread library([&] { state.complete(makeResult(11, "No response")); });
        library.join();
        EXPECT_EQ(sink.text(), "");
    }
    EXPECT_EQ(state.waitForCompletion(), 11);
    EXPECT_EQ(sink.text(), "OD Read failed: No response [ODREAD(5,0x2000,1,SCREEN)]\n");
    EXPECT_TRUE(failed);
}

TEST_F(CommandRunnerState, EveryResultIsReportedOnceUnderContention) {
    const CommandRecord command = upload("X");
    constexpr int kTransfers = 300;
    for (int i = 0; i < kTransfers; ++i) {
        ASSERT_TRUE(state.begin(i % 2 ? kSdoDownloadTransfer : kOdWriteTransfer, command));
        std::thread library([&] { state.complete(makeResult(0, "")); });
        state.waitForCompletion();
        library.join();
    }
    const std::string text = sink.text();
    EXPECT_EQ(occurrences(text, "SDO Download complete [X]\n"), kTransfers / 2);
    EXPECT_EQ(occurrences(text, "OD Write complete [X]\n"), kTransfers / 2);
    EXPECT_EQ(occurrences(text, "\n"), static_cast<std::size_t>(kTransfers));
}

// Library texts and "Invalid parameter N" are in command_runner_network_test.
TEST(CommandRunnerResultText, EmptyTextNamesTheCode) {
    EXPECT_EQ(ResultText(makeResult(8, "")), "Error code 8");
}

// SCREEN, value.txt, value.bin and 1- and 4-byte values and longer ones are
// written end to end in command_runner_network_test.
TEST(CommandRunnerDestination, ExtensionTxtIsCaseSensitive) {
    EXPECT_EQ(DestinationOf("a.txt.bin"), Destination::BinaryFile);
    EXPECT_EQ(DestinationOf("VALUE.TXT"), Destination::BinaryFile);
}

TEST(CommandRunnerDestination, ValuesUpToFourBytesAreReversed) {
    const std::uint8_t received[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(BinaryFileBytes(received, 2), (std::vector<std::uint8_t>{2, 1}));
    EXPECT_EQ(BinaryFileBytes(received, 5), (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
}

}  // namespace
}  // namespace quorcmd
