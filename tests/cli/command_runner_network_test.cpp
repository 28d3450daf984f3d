// quorcmd against quorsim node 5 through quorbus: result lines, files and
// exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "command_runner_fixture.h"

namespace quorcmd_test {
namespace {

const std::string kOpened = kBanner + "Hardware initialized\n";
const std::string kDumpHeader = "Offset Hexadecimal                      ASCII\n";
// The screen dump of 0x2000/1 (0x12345678).
const std::string kValueDump =
    kDumpHeader + "000000 78563412" + std::string(25, ' ') + "xV4." + std::string(12, ' ') + "\n";

std::string pattern(std::size_t n, unsigned step) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * step);
    return s;
}

class CommandRunnerNetwork : public QuorcmdTest {
protected:
    void SetUp() override {
        QuorcmdTest::SetUp();
        startNetwork();
    }
};

TEST_F(CommandRunnerNetwork, NmtToOneNodeAndToAllNodes) {
    // A stopped node serves no SDO; a start to all nodes brings it back. One
    // run: each command's frame reaches the bus before the next request.
    const std::string upload = "SDOUPLOAD(5,0x2000,1,SCREEN)";
    const ProgramRun run =
        quorcmd({"NMT(5,STOP)", upload, "NMT(0,START)", upload, "NMT(5,PREOPERATIONAL)", upload});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, kOpened + "NMT message sent to 05 [NMT(5,STOP)]\n" +
                           "SDO Upload failed: No response from node 5 within 300 ms [" + upload +
                           "]\n" + kDumpHeader + "NMT message sent to 00 [NMT(0,START)]\n" +
                           "SDO Upload complete [" + upload + "]\n" + kValueDump +
                           "NMT message sent to 05 [NMT(5,PREOPERATIONAL)]\n"
                           "SDO Upload complete [" +
                           upload + "]\n" + kValueDump);
}

TEST_F(CommandRunnerNetwork, UploadDestinationsAndDownloadSources) {
    writeFile("value.bin", "\x01\x02\x03\x04");
    writeFile("source.bin", pattern(160000, 3));
    const ProgramRun run =
        quorcmd({"SDOUPLOAD(5,0x2000,1,value.txt)", "ODREAD(5,0x2000,5,byte)",
                 "SDODOWNLOAD(5,0x2000,1,0x11223344)", "SDOUPLOAD(5,0x2000,1,a.bin)",
                 "ODWRITE(5,0x2000,1,value.bin)", "SDOUPLOAD(5,0x2000,1,b.bin)",
                 "SDODOWNLOAD(5,0x2101,0,source.bin)", "SDOUPLOAD(5,0x2101,0,back.bin)"});
    EXPECT_EQ(run.exit_code, 0) << run.out;
    EXPECT_EQ(run.out, kOpened +
                           "SDO Upload complete [SDOUPLOAD(5,0x2000,1,value.txt)]\n"
                           "OD Read complete [ODREAD(5,0x2000,5,byte)]\n"
                           "SDO Download complete [SDODOWNLOAD(5,0x2000,1,0x11223344)]\n"
                           "SDO Upload complete [SDOUPLOAD(5,0x2000,1,a.bin)]\n"
                           "OD Write complete [ODWRITE(5,0x2000,1,value.bin)]\n"
                           "SDO Upload complete [SDOUPLOAD(5,0x2000,1,b.bin)]\n"
                           "SDO Download complete [SDODOWNLOAD(5,0x2101,0,source.bin)]\n"
                           "SDO Upload complete [SDOUPLOAD(5,0x2101,0,back.bin)]\n");
    EXPECT_EQ(readFile("value.txt"), kValueDump);
    EXPECT_EQ(readFile("byte"), "\xAB");
    EXPECT_EQ(readFile("a.bin"), "\x11\x22\x33\x44");
    // File bytes go out in file order; the 4-byte value comes back reversed.
    EXPECT_EQ(readFile("b.bin"), "\x04\x03\x02\x01");
    EXPECT_EQ(readFile("back.bin"), pattern(160000, 3));
}

TEST_F(CommandRunnerNetwork, FailuresAreReportedAndTheNextCommandRuns) {
    writeFile("big.bin", pattern(160001, 1));
    std::filesystem::create_directory("outdir");
    const ProgramRun run =
        quorcmd({"SDODOWNLOAD(5,0x2001,0,0x1234)", "SDOUPLOAD(9,0x2000,1,x.bin)",
                 "SDODOWNLOAD(5,0x2000,0,missing.bin)", "ODWRITE(5,0x2101,0,big.bin)",
                 "SDOUPLOAD(5,0x2101,0,all.bin)", "SDOUPLOAD(5,0x1008,0,outdir)",
                 "ODREAD(0,0x2000,1,SCREEN)", "SDOUPLOAD(5,0x2000,1,SCREEN)"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out,
              kOpened +
                  "SDO Download failed: Attempt to write a read only object (0x06010002) "
                  "[SDODOWNLOAD(5,0x2001,0,0x1234)]\n"
                  "SDO Upload failed: No response from node 9 within 300 ms "
                  "[SDOUPLOAD(9,0x2000,1,x.bin)]\n"
                  "SDO Download failed: Unable to open file missing.bin "
                  "[SDODOWNLOAD(5,0x2000,0,missing.bin)]\n"
                  "OD Write failed: File big.bin is larger than 160000 bytes "
                  "[ODWRITE(5,0x2101,0,big.bin)]\n"
                  // The domain kept its 200000 bytes: nothing was sent cut short.
                  "SDO Upload failed: Entry of 200000 bytes does not fit the buffer of 160000 "
                  "bytes: Out of memory (0x05040005) [SDOUPLOAD(5,0x2101,0,all.bin)]\n"
                  "SDO Upload failed: Unable to create file outdir "
                  "[SDOUPLOAD(5,0x1008,0,outdir)]\n"
                  "OD Read failed: Invalid parameter 1 [ODREAD(0,0x2000,1,SCREEN)]\n"
                  "SDO Upload complete [SDOUPLOAD(5,0x2000,1,SCREEN)]\n" +
                  kValueDump);
}

TEST_F(CommandRunnerNetwork, AFailedUploadLeavesTheOldFileUntouched) {
    writeFile("keep.bin", "old");
    writeFile("keep.txt", "old text");
    writeFile("replaced.bin", "old");
    const ProgramRun run =
        quorcmd({"SDOUPLOAD(9,0x2000,1,keep.bin)", "SDOUPLOAD(5,0x2101,0,keep.txt)",
                 "SDOUPLOAD(9,0x2000,1,new.bin)", "SDOUPLOAD(5,0x2000,1,replaced.bin)"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find("SDO Upload failed: No response from node 9 within 300 ms "
                           "[SDOUPLOAD(9,0x2000,1,keep.bin)]\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(run.out.ends_with("SDO Upload complete [SDOUPLOAD(5,0x2000,1,replaced.bin)]\n"))
        << run.out;
    EXPECT_EQ(readFile("keep.bin"), "old");
    EXPECT_EQ(readFile("keep.txt"), "old text");
    EXPECT_EQ(readFile("replaced.bin"), "\x12\x34\x56\x78");
    // Neither the failed new file nor any temporary file is left behind.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work_dir_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"keep.bin", "keep.txt", "replaced.bin"}));
}

TEST_F(CommandRunnerNetwork, ANewFileThatCannotBeCreatedFailsBeforeTheTransfer) {
    // A working folder that was removed takes no new file, even for root.
    std::filesystem::create_directory("gone");
    std::filesystem::current_path("gone");
    std::filesystem::remove(work_dir_ / "gone");
    const ProgramRun run = quorcmd({"SDOUPLOAD(5,0x2000,1,new.bin)", "NMT(5,START)"},
                                   {"TMPDIR=" + work_dir_.string()});
    std::filesystem::current_path(work_dir_);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, kOpened +
                           "SDO Upload failed: Unable to create file new.bin "
                           "[SDOUPLOAD(5,0x2000,1,new.bin)]\n"
                           "NMT message sent to 05 [NMT(5,START)]\n");
}

TEST_F(CommandRunnerNetwork, AnUploadIntoTheLogFileIsRefused) {
    const ProgramRun run =
        quorcmd({"QUIET(run.log)", "SDOUPLOAD(5,0x2000,1,run.log)", "NMT(0,START)"});
    EXPECT_EQ(run.exit_code, 1);
    const std::string log = readFile("run.log");
    EXPECT_TRUE(log.ends_with(kOpened +
                              "SDO Upload failed: Destination run.log is the QUIET log file "
                              "[SDOUPLOAD(5,0x2000,1,run.log)]\n"
                              "NMT message sent to 00 [NMT(0,START)]\n"))
        << log;
}

TEST_F(CommandRunnerNetwork, QuietWritesEverythingToTheLog) {
    const ProgramRun run = quorcmd({"QUIET(run.log)", "NMT(0,START)"});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.out, "");
    const std::string log = readFile("run.log");
    const std::string header = "CANopen logfile generated by Quorvane at ";
    ASSERT_EQ(log.compare(0, header.size(), header), 0) << log;
    // "02:35PM 06 Dec 2009"
    const auto line_end = log.find('\n');
    ASSERT_EQ(line_end, header.size() + 19) << log;
    EXPECT_EQ(log.substr(header.size() + 5, 2).back(), 'M');
    EXPECT_EQ(log.substr(line_end + 1), kOpened + "NMT message sent to 00 [NMT(0,START)]\n");
}

// A node that answers after the time-out: its late answer to one program's
// upload reaches the next program, whose first transfer must still succeed.
class SlowNode : public QuorcmdTest {
protected:
    void SetUp() override {
        QuorcmdTest::SetUp();
        startNetwork({"--exec", "fault 5 delay 2000"});
    }
};

TEST_F(SlowNode, ALateAnswerDoesNotFailTheNextProgramsTransfer) {
    const ProgramRun first = quorcmd({"SDOUPLOAD(5,0x2000,1,SCREEN)"});
    EXPECT_EQ(first.exit_code, 1);
    EXPECT_NE(first.out.find("No response from node 5 within 300 ms"), std::string::npos)
        << first.out;
    // Started well within the delay: the first answer arrives while this
    // program waits for its own.
    const ProgramRun next =
        quorcmd({"SDOUPLOAD(5,0x2000,5,SCREEN)"}, {"MORVELLCANOPEN_SDO_TIMEOUT_MS=10000"});
    EXPECT_EQ(next.exit_code, 0) << next.out;
    EXPECT_EQ(next.out, kOpened + "SDO Upload complete [SDOUPLOAD(5,0x2000,5,SCREEN)]\n" +
                            kDumpHeader + "000000 AB" + std::string(31, ' ') + "." +
                            std::string(15, ' ') + "\n");
}

}  // namespace
}  // namespace quorcmd_test
