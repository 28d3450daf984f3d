// Runs the quorcmd program in a fresh temporary working directory, with or
// without a simulated network (quorbus on a free port, quorsim playing node 5).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "cli/banner.h"
#include "support/child_process.h"

namespace quorcmd_test {

struct ProgramRun {
    int exit_code = -1;
    std::string out, err;
};

class QuorcmdTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_dir_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "quorcmd_testXXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        work_dir_ = pattern;
        std::filesystem::current_path(work_dir_);
    }

    void TearDown() override {
        sim_.reset();
        bus_.reset();
        std::filesystem::current_path(previous_dir_);
        std::error_code ignored;
        std::filesystem::remove_all(work_dir_, ignored);
    }

    // Starts quorbus and quorsim (node 5, built-in device, extra quorsim
    // arguments); the runs then use them.
    void startNetwork(const std::vector<std::string>& quorsim_args = {}) {
        const int port = testsupport::freeLoopbackPort();
        channel_ = "virtual:clitest@" + std::to_string(port);
        bus_ = std::make_unique<testsupport::ChildProcess>(
            testsupport::programPath("quorbus"),
            std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_FALSE(bus_->waitForLine("listening").empty()) << bus_->errors();
        std::vector<std::string> args{"--channel", channel_, "--node", "5"};
        args.insert(args.end(), quorsim_args.begin(), quorsim_args.end());
        sim_ =
            std::make_unique<testsupport::ChildProcess>(testsupport::programPath("quorsim"), args);
        ASSERT_FALSE(sim_->waitForLine("quorsim ready").empty()) << sim_->errors();
    }

    // Runs quorcmd with arguments and extra environment ("NAME=value"), which
    // may override the channel and the SDO time-out of 300 ms.
    ProgramRun quorcmd(const std::vector<std::string>& args,
                       const std::vector<std::string>& extra_environment = {}) {
        std::vector<std::string> environment{"MORVELLCANOPEN_SDO_TIMEOUT_MS=300"};
        if (!channel_.empty()) environment.push_back("MORVELLCANOPEN_CHANNEL=" + channel_);
        environment.insert(environment.end(), extra_environment.begin(), extra_environment.end());
        testsupport::ChildProcess program(testsupport::programPath("quorcmd"), args, environment);
        ProgramRun run;
        run.exit_code = program.wait(std::chrono::seconds(60));
        run.out = program.output();
        run.err = program.errors();
        // Sanitizer reports of the program land here too.
        if (stderr_must_stay_empty_) {
            EXPECT_EQ(run.err, "");
        }
        return run;
    }

    static void writeFile(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string readFile(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::filesystem::path work_dir_;
    std::string channel_;
    bool stderr_must_stay_empty_ = true;
    std::unique_ptr<testsupport::ChildProcess> bus_, sim_;

private:
    std::filesystem::path previous_dir_;
};

inline const std::string kBanner = quorcmd::kBanner;

}  // namespace quorcmd_test
