// Invocation forms, start-up messages and exit codes of the quorcmd program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "command_runner_fixture.h"

namespace quorcmd_test {
namespace {

class Startup : public QuorcmdTest {};

TEST_F(Startup, MessagesAndExitCodes) {
    writeFile("two_lines.cmd", "NMT(5,START)\nNMT(128,START)\n");
    const std::string with_nul("NMT(5\0,START)", 13);
    writeFile("nul.cmd", "NMT(5,START)\n" + with_nul + "\n");
    writeFile("largest.cmd", std::string(16 << 20, ' '));
    writeFile("too_large.cmd", std::string((16 << 20) + 1, ' '));
    std::filesystem::create_directory("logdir");
    std::filesystem::create_directory("tmp");
    const struct {
        std::vector<std::string> args;
        int exit_code;
        std::string out;
        const char* tmpdir = "tmp";  // the arguments' temporary file goes there
    } cases[] = {
        {{}, 0, kBanner},
        {{"@"}, 1, kBanner + "\nERROR: Invalid command file\n"},
        {{"@missing"}, 1, kBanner + "\nERROR: Command file not found\n"},
        {{"@two_lines.cmd", "NMT(5,START)"},
         1,
         kBanner + "\nERROR: Unknown directive: @two_lines.cmd\n"},
        {{"@two_lines.cmd"},
         1,
         kBanner + "\nERROR: Invalid parameters for NMT directive: NMT(128,START)\n"},
        // The error line holds the directive whole, NUL byte included.
        {{"@nul.cmd"},
         1,
         kBanner + "\nERROR: Invalid parameters for NMT directive: " + with_nul + "\n"},
        {{"@largest.cmd"}, 0, kBanner},
        {{"@too_large.cmd"}, 1, kBanner + "\nERROR: Command file larger than 16 MiB\n"},
        {{"QUIET(run.log)", "HARDWARE(OSTRAUSB,any,500)"}, 0, kBanner},
        {{"QUIET(logdir)", "NMT(0,START)"}, 1, kBanner + "Output file creation failed (logdir)\n"},
        {{"NMT(5,START)"}, 1, kBanner + "\nERROR: Unable to find the temp folder\n", "none"},
    };
    for (const auto& c : cases) {
        std::string name;
        for (const auto& a : c.args) name += a + " ";
        SCOPED_TRACE(name);
        const ProgramRun run = quorcmd(c.args, {"TMPDIR=" + (work_dir_ / c.tmpdir).string()});
        EXPECT_EQ(run.exit_code, c.exit_code);
        EXPECT_EQ(run.out, c.out);
    }
    // Settings alone never create the log file; the temporary files are deleted.
    EXPECT_FALSE(std::filesystem::exists("run.log"));
    EXPECT_TRUE(std::filesystem::is_empty("tmp"));
}

TEST_F(Startup, ChannelsOptionPrintsWhatEachAdapterOpens) {
    std::filesystem::create_directories("config/Trelvik-System");
    writeFile("config/Trelvik-System/morvellcanopen.conf",
              "adapter2 = socketcand:gw/can1\nadapter4 = pcan:1\n");
    const std::string config = "XDG_CONFIG_HOME=" + (work_dir_ / "config").string();
    const std::string file = (work_dir_ / "config/Trelvik-System/morvellcanopen.conf").string();
    ProgramRun run = quorcmd({"--channels"}, {config});
    EXPECT_EQ(run.exit_code, 0);
    const std::string adapters =
        "adapter 1 (Trelvik Kestra Parallel Port Dongle): virtual:vbus0 (default)\n"
        "adapter 2 (Trelvik Kestra USB): socketcand:gw:29536/can1 (from " +
        file +
        ")\n"
        "adapter 3 (Ostra USB Module, any device): socketcan:can0 (default; device N: "
        "socketcan:canN)\n"
        "adapter 4 (Trelvik Kestra PCI): pcan:1 (from " +
        file +
        ") - not usable: unknown "
        "channel 'pcan:1': use socketcan:IFACE, socketcand:HOST[:PORT]/IFACE or virtual[:BUS]\n"
        "adapter 5 (Trelvik Kestra ISA II): socketcan:can0 (default)\n"
        "CAN interfaces: ";
    EXPECT_EQ(run.out.substr(0, adapters.size()), adapters);

    run = quorcmd({"--channels"}, {config, "MORVELLCANOPEN_CHANNEL=virtual:lab"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_NE(run.out.find("adapter 2 (Trelvik Kestra USB): virtual:lab (from "
                           "MORVELLCANOPEN_CHANNEL)\n"),
              std::string::npos)
        << run.out;
}

TEST_F(Startup, OversizedTokenEndsWithExitCodeTwo) {
    stderr_must_stay_empty_ = false;
    const ProgramRun run = quorcmd({"NMT(5,START)", std::string(8192, 'A')});
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.err, "token too large, exceeds YYLMAX\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(Startup, FailedCommandGivesExitCodeOne) {
    // No gateway answers: the interface stays closed and each command reports
    // the library's refusal at once.
    const ProgramRun run = quorcmd({"NMT(5,START)", "ODWRITE(5,0x2000,1,0x12345678)"},
                                   {"MORVELLCANOPEN_CHANNEL=socketcand:127.0.0.1:1/can0"});
    EXPECT_EQ(run.exit_code, 1);
    const std::string not_open = "the CAN interface is not open";
    const std::string opening = kBanner + "Hardware initialization failed: ";
    EXPECT_EQ(run.out.substr(0, opening.size()), opening);
    EXPECT_NE(run.out.find("\nNMT message send failed: " + not_open + " (05) [NMT(5,START)]\n"),
              std::string::npos);
    EXPECT_TRUE(
        run.out.ends_with("\nOD Write failed: " + not_open + " [ODWRITE(5,0x2000,1,0x12345678)]\n"))
        << run.out;
}

}  // namespace
}  // namespace quorcmd_test
