#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "trace/quordecode/decode_options.h"
#include "trace/quordecode/decode_run.h"
#include "trace_test_support.h"

namespace {

using tracetest::kColumnLine;

constexpr char kLog[] =
    "(1436509052.249713) can0 000#0100\n"
    "(1436509052.250000) can0 705#05\n"
    "(1436509052.250100) can0 705#zz\n"
    "\n"
    "(1436509052.250200) can0 605#2300100011223344\n";
constexpr char kRow1[] = "1,Rx,1,000,NMT Master Request,All,Operational,,,01 00 \n";
const std::string kRow2 = std::string("2") + tracetest::kRowA;
constexpr char kRow3[] =
    "3,Rx,1,605,SDO Download Request,05 (5d),\"Index = 0x1000, Sub = 0x00, expedited\","
    "11 22 33 44 ,\".\"\"3D\",23 00 10 00 11 22 33 44 \n";
const std::string kRowsReversed = kRow3 + kRow2 + kRow1;
constexpr char kSkippedLine3[] = "quordecode: line 3: data is not hex\n";

TEST(QuordecodeTest, FailedOutputIsAnError) {
    std::istringstream in(kLog);
    std::ostream broken(nullptr);
    std::ostringstream errors;
    EXPECT_EQ(quordecode::RunDecode(in, broken, errors, quordecode::DecodeOptions{}, 0),
              quordecode::kExitUsage);
    EXPECT_NE(errors.str().find("cannot write"), std::string::npos);
}

// Block segments are told from commands by the frames before them, in log
// order, also when the export is written in descending order.
TEST(QuordecodeTest, BlockSegmentsFollowTheLogOrder) {
    const std::string log =
        "(1.000001) can0 605#C00020000A000000\n"
        "(1.000002) can0 585#A00020007F000000\n"
        "(1.000003) can0 605#0111223344556677\n"
        "(1.000004) can0 605#8288990000000000\n";
    const std::string segment =
        "3,Rx,1,605,SDO Download Request,05 (5d),\"block segment, sequence = 1\","
        "11 22 33 44 55 66 77 ,\".\"\"3DUfw\",01 11 22 33 44 55 66 77 \n";
    const std::string last =
        "4,Rx,1,605,SDO Download Request,05 (5d),\"block segment, sequence = 2, last "
        "segment\",88 99 00 00 00 00 00 ,.......,82 88 99 00 00 00 00 00 \n";
    for (const bool descending : {false, true}) {
        std::istringstream in(log);
        std::ostringstream out, errors;
        quordecode::DecodeOptions options;
        options.title = false;
        options.descending = descending;
        ASSERT_EQ(quordecode::RunDecode(in, out, errors, options, 0), quordecode::kExitDecoded);
        const std::string rows = out.str();
        EXPECT_NE(rows.find(segment), std::string::npos) << rows;
        EXPECT_NE(rows.find(last), std::string::npos) << rows;
    }
}

// The program itself, on a file with a bad line and on standard input.
class QuordecodeProgramTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(logPath_) << kLog; }
    void TearDown() override { unlink(logPath_.c_str()); }

    const std::string directory_ = ::testing::TempDir();
    const std::string logPath_ = directory_ + "quordecode_test_" + std::to_string(getpid());
};

TEST_F(QuordecodeProgramTest, ExitCodesOutputAndErrors) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string output;
        std::string errorsStart;
        int exitCode;
    };
    const Case cases[] = {
        {"bad line skipped, reversed",
         {"--descending", "--no-title", "--", logPath_},
         kRowsReversed,
         kSkippedLine3,
         1},
        {"missing file", {logPath_ + ".missing"}, "", "quordecode: cannot open ", 2},
        {"directory", {directory_}, "", "quordecode: cannot read ", 2},
        {"unknown option", {"--sort"}, "", "quordecode: unknown option --sort\nUsage:", 2},
        {"two files", {logPath_, logPath_}, "", "quordecode: more than one input file\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::ChildProcess child(testsupport::programPath("quordecode"), c.arguments);
        ASSERT_TRUE(child.started());
        child.closeInput();
        EXPECT_EQ(child.wait(std::chrono::seconds(30)), c.exitCode);
        EXPECT_EQ(child.output(), c.output);
        EXPECT_EQ(child.errors().rfind(c.errorsStart, 0), 0u) << child.errors();
    }
}

TEST_F(QuordecodeProgramTest, TitleNamesTheExportMomentAndStandardInputIsRead) {
    testsupport::ChildProcess child(testsupport::programPath("quordecode"), {"-"},
                                    {"TZ=UTC", "LC_ALL=C"});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.writeLine("(1436509052.249713) can0 000#0100"));
    ASSERT_TRUE(child.writeLine("(1436509052.250000) can0 705#05"));
    child.closeInput();
    ASSERT_EQ(child.wait(std::chrono::seconds(30)), 0) << child.errors();
    EXPECT_EQ(child.errors(), "");
    const std::string& out = child.output();
    const std::string titleStart = "Quorvane Trace saved on: ";
    ASSERT_EQ(out.rfind(titleStart, 0), 0u) << out;
    // "Www Mmm dd hh:mm:ss yyyy" then eight commas.
    const std::size_t lineEnd = out.find('\n');
    ASSERT_EQ(lineEnd, titleStart.size() + 24 + 8) << out;
    EXPECT_EQ(out.substr(lineEnd - 8), std::string(",,,,,,,,\n") + kColumnLine + kRow1 + kRow2);
}

}  // namespace
