// Reading command texts: what accepted directives leave behind (queued
// commands, interface selection, log settings) and the value checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "command_model.h"

namespace quorcmd {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string Invalid(const std::string& directive, const std::string& token) {
    return "ERROR: Invalid parameters for " + directive + " directive: " + token + "\n";
}

CommandRecord OnlyCommand(const std::string& text) {
    const ReadResult result = ParseCommands(text);
    EXPECT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    EXPECT_EQ(result.commands.size(), 1u) << text;
    return result.commands.empty() ? CommandRecord{} : result.commands.front();
}

// ---- Queued commands ---------------------------------------------------------

struct QueuedCase {
    std::string text;
    Operation operation;
    int node;
    std::uint32_t index;
    int subindex;
    NmtWord nmt;
    std::string file;
    Bytes data;
};

class QueuedCommands : public testing::TestWithParam<QueuedCase> {};

TEST_P(QueuedCommands, HoldTheConvertedValues) {
    const QueuedCase& expected = GetParam();
    const CommandRecord record = OnlyCommand(expected.text);
    EXPECT_EQ(record.operation, expected.operation);
    EXPECT_EQ(record.node, expected.node);
    EXPECT_EQ(record.index, expected.index);
    EXPECT_EQ(record.subindex, expected.subindex);
    if (expected.operation == Operation::Nmt) {
        EXPECT_EQ(record.nmt, expected.nmt);
    }
    EXPECT_EQ(record.file, expected.file);
    EXPECT_EQ(record.data, expected.data);
    EXPECT_EQ(record.directive_text, expected.text.substr(expected.text.find_first_not_of(" \n")));
}

constexpr auto kNmt = Operation::Nmt;
constexpr auto kUp = Operation::SdoUpload;
constexpr auto kDown = Operation::SdoDownload;
constexpr auto kStart = NmtWord::Start;

INSTANTIATE_TEST_SUITE_P(
    DocumentedExamples, QueuedCommands,
    testing::Values(
        QueuedCase{"nmt ( 5 , start )", kNmt, 5, 0, 0, kStart, "", {}},
        QueuedCase{"NMT(5,START)", kNmt, 5, 0, 0, kStart, "", {}},
        QueuedCase{"SDOUPLOAD(5,0x1000,0,screen)", kUp, 5, 0x1000, 0, kStart, "SCREEN", {}},
        QueuedCase{"SDOUPLOAD(5,0x1000,0,c:\\my files\\out.bin)",
                   kUp,
                   5,
                   0x1000,
                   0,
                   kStart,
                   "c:\\my files\\out.bin",
                   {}},
        QueuedCase{"SDODOWNLOAD(5,0x6040,0,0x000F)", kDown, 5, 0x6040, 0, kStart, "", {0x0F, 0}},
        QueuedCase{"NMT(0,START)", kNmt, 0, 0, 0, kStart, "", {}}));

INSTANTIATE_TEST_SUITE_P(
    CommandWordsAndOperations, QueuedCommands,
    testing::Values(
        QueuedCase{"NMT(1,stop)", kNmt, 1, 0, 0, NmtWord::Stop, "", {}},
        QueuedCase{"NMT(2,PreOperational)", kNmt, 2, 0, 0, NmtWord::PreOperational, "", {}},
        QueuedCase{"NMT(3,RESET)", kNmt, 3, 0, 0, NmtWord::Reset, "", {}},
        QueuedCase{"NMT(4,resetcomm)", kNmt, 4, 0, 0, NmtWord::ResetComm, "", {}},
        QueuedCase{
            "ODREAD(6,0x2000,1,Screen)", Operation::OdRead, 6, 0x2000, 1, kStart, "SCREEN", {}},
        QueuedCase{
            "ODWRITE(6,0x2000,1,1234)", Operation::OdWrite, 6, 0x2000, 1, kStart, "", {0x34, 0x12}},
        QueuedCase{"SDOUPLOAD(5,1,0,screen.txt)", kUp, 5, 1, 0, kStart, "screen.txt", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,SCREEN)", kDown, 5, 1, 0, kStart, "SCREEN", {}}));

INSTANTIATE_TEST_SUITE_P(
    NumberForms, QueuedCommands,
    testing::Values(QueuedCase{"NMT(7Fh,START)", kNmt, 127, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(Fh,START)", kNmt, 15, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(0x7F,START)", kNmt, 127, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(0X7f,START)", kNmt, 127, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(7fH,START)", kNmt, 127, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(010,START)", kNmt, 8, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(0177,START)", kNmt, 127, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(09h,START)", kNmt, 9, 0, 0, kStart, "", {}},
                    QueuedCase{"NMT(00,START)", kNmt, 0, 0, 0, kStart, "", {}},
                    QueuedCase{
                        "NMT(0000000000000000000000012,START)", kNmt, 10, 0, 0, kStart, "", {}}));

INSTANTIATE_TEST_SUITE_P(
    RangeLimits, QueuedCommands,
    testing::Values(
        QueuedCase{"SDOUPLOAD(127,0xFFFF,255,a.bin)", kUp, 127, 0xFFFF, 255, kStart, "a.bin", {}},
        QueuedCase{"SDOUPLOAD(0,0,0,a.bin)", kUp, 0, 0, 0, kStart, "a.bin", {}},
        QueuedCase{
            "SDOUPLOAD(0x7F,65535,0FFh,a.bin)", kUp, 127, 0xFFFF, 255, kStart, "a.bin", {}}));

INSTANTIATE_TEST_SUITE_P(
    FileNames, QueuedCommands,
    testing::Values(
        QueuedCase{"SDOUPLOAD(5,1,0, \t out.bin\r )", kUp, 5, 1, 0, kStart, "out.bin", {}},
        QueuedCase{
            "SDOUPLOAD(5,1,0,my\tdata\rfile.bin)", kUp, 5, 1, 0, kStart, "my data file.bin", {}},
        QueuedCase{
            "SDOUPLOAD(5,1,0,C:\\Data_1\\x.TXT)", kUp, 5, 1, 0, kStart, "C:\\Data_1\\x.TXT", {}},
        QueuedCase{"SDOUPLOAD(5,1,0, screen )", kUp, 5, 1, 0, kStart, "SCREEN", {}},
        QueuedCase{"SDOUPLOAD(5,1,0,sCrEeN)", kUp, 5, 1, 0, kStart, "SCREEN", {}},
        QueuedCase{"SDOUPLOAD(5,1,0," + std::string(302, 'n') + ")",
                   kUp,
                   5,
                   1,
                   0,
                   kStart,
                   std::string(302, 'n'),
                   {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,  " + std::string(302, 'n') + "  )",
                   kDown,
                   5,
                   1,
                   0,
                   kStart,
                   std::string(302, 'n'),
                   {}}));

INSTANTIATE_TEST_SUITE_P(
    HexData, QueuedCommands,
    testing::Values(
        QueuedCase{"SDODOWNLOAD(5,1,0,0x12)", kDown, 5, 1, 0, kStart, "", {0x12}},
        QueuedCase{"SDODOWNLOAD(5,1,0,12h)", kDown, 5, 1, 0, kStart, "", {0x12}},
        QueuedCase{"SDODOWNLOAD(5,1,0,1234)", kDown, 5, 1, 0, kStart, "", {0x34, 0x12}},
        QueuedCase{"SDODOWNLOAD(5,1,0,0x0102030405)", kDown, 5, 1, 0, kStart, "", {1, 2, 3, 4, 5}},
        QueuedCase{"SDODOWNLOAD(5,1,0,12)", kDown, 5, 1, 0, kStart, "12", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,0x123)", kDown, 5, 1, 0, kStart, "0x123", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,in.bin)", kDown, 5, 1, 0, kStart, "in.bin", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,0x1234)", kDown, 5, 1, 0, kStart, "", {0x34, 0x12}},
        QueuedCase{
            "SDODOWNLOAD(5,1,0,0X12345678)", kDown, 5, 1, 0, kStart, "", {0x78, 0x56, 0x34, 0x12}},
        QueuedCase{"SDODOWNLOAD(5,1,0,123456789abc)",
                   kDown,
                   5,
                   1,
                   0,
                   kStart,
                   "",
                   {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}},
        QueuedCase{"SDODOWNLOAD(5,1,0,0x12H)", kDown, 5, 1, 0, kStart, "", {0x12}},
        QueuedCase{"SDODOWNLOAD(5,1,0,abh)", kDown, 5, 1, 0, kStart, "", {0xAB}},
        QueuedCase{"SDODOWNLOAD(5,1,0, 0xbeef )", kDown, 5, 1, 0, kStart, "", {0xEF, 0xBE}},
        QueuedCase{"SDODOWNLOAD(5,1,0,face)", kDown, 5, 1, 0, kStart, "", {0xCE, 0xFA}},
        QueuedCase{"SDODOWNLOAD(5,1,0,bad)", kDown, 5, 1, 0, kStart, "bad", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,0xh)", kDown, 5, 1, 0, kStart, "0xh", {}},
        QueuedCase{"SDODOWNLOAD(5,1,0,12 34)", kDown, 5, 1, 0, kStart, "12 34", {}}));

// ---- Value checks ------------------------------------------------------------

struct RefusedCase {
    std::string directive;
    std::string token;
};

class RefusedValues : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedValues, GiveTheDirectivesInvalidParametersMessage) {
    const ReadResult result = ParseCommands("NMT(1,START)\n" + GetParam().token + "\n");
    EXPECT_EQ(result.status, ReadResult::Status::Error);
    EXPECT_EQ(result.error_message, Invalid(GetParam().directive, GetParam().token));
    EXPECT_TRUE(result.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(
    NumberForms, RefusedValues,
    testing::Values(RefusedCase{"NMT", "NMT(7F,START)"}, RefusedCase{"NMT", "NMT(09,STOP)"},
                    RefusedCase{"NMT", "NMT(018,STOP)"}, RefusedCase{"NMT", "NMT(0x,STOP)"},
                    RefusedCase{"NMT", "NMT(h,STOP)"}, RefusedCase{"NMT", "NMT(0x7Fh,STOP)"},
                    RefusedCase{"NMT", "NMT(-1,STOP)"}, RefusedCase{"NMT", "NMT(5 6,STOP)"},
                    RefusedCase{"NMT", "NMT(4294967296,STOP)"},
                    RefusedCase{"NMT", "NMT(4294967301,STOP)"},
                    RefusedCase{"NMT", "NMT(0x100000005,STOP)"},
                    RefusedCase{"NMT", "NMT(100000005h,STOP)"},
                    RefusedCase{"NMT", "NMT(040000000005,STOP)"},
                    RefusedCase{"NMT", "NMT(" + std::string(400, '9') + ",STOP)"}));

INSTANTIATE_TEST_SUITE_P(
    RangeLimits, RefusedValues,
    testing::Values(RefusedCase{"NMT", "NMT(128,START)"}, RefusedCase{"NMT", "NMT(0x80,START)"},
                    RefusedCase{"NMT", "NMT(80h,START)"}, RefusedCase{"NMT", "NMT(0200,START)"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(128,0,0,a.bin)"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,0x10000,0,a.bin)"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,0,256,a.bin)"},
                    RefusedCase{"ODREAD", "ODREAD(5,0,100h,a.bin)"},
                    RefusedCase{"SDODOWNLOAD", "SDODOWNLOAD(128,0,0,0x12)"},
                    RefusedCase{"SDODOWNLOAD", "SDODOWNLOAD(5,65536,0,0x12)"},
                    RefusedCase{"ODWRITE", "ODWRITE(5,0,256,0x12)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKPARALLEL,0x10000,7,STANDARD,1000)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKPARALLEL,0x378,16,STANDARD,1000)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKPARALLEL,0x378,7,FAST,1000)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKPARALLEL,0x378,7,STANDARD,1001)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKISA,0x10000,5,250)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKISA,0x300,16,250)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKISA,0x300,5)"},
                    RefusedCase{"HARDWARE", "HARDWARE(OSTRAUSB,255,500)"},
                    RefusedCase{"HARDWARE", "HARDWARE(OSTRAUSB,none,500)"},
                    RefusedCase{"HARDWARE", "HARDWARE(OSTRAUSB,any,0)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKUSB,100)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKUSB,1000,1)"},
                    RefusedCase{"HARDWARE", "HARDWARE(TRELVIKPCI,4294968296)"}));

INSTANTIATE_TEST_SUITE_P(
    FileNames, RefusedValues,
    testing::Values(RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,0x1000,0,c:/out.bin)"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,1,0,out-1.bin)"},
                    RefusedCase{"ODREAD", "ODREAD(5,1,0,'a.bin')"},
                    RefusedCase{"SDODOWNLOAD", "SDODOWNLOAD(5,1,0,a,b)"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,1,0,   )"},
                    RefusedCase{"QUIET", "QUIET( \t )"},
                    RefusedCase{"SDOUPLOAD", "SDOUPLOAD(5,1,0," + std::string(303, 'n') + ")"},
                    RefusedCase{"ODREAD", "ODREAD(5,1,0,x" + std::string(301, ' ') + "y)"},
                    RefusedCase{"SDODOWNLOAD", "SDODOWNLOAD(5,1,0," + std::string(303, 'n') + ")"},
                    RefusedCase{"ODWRITE", "ODWRITE(5,1,0," + std::string(303, 'n') + ")"},
                    RefusedCase{"QUIET", "QUIET(" + std::string(260, 'q') + ")"}));

// ---- HARDWARE ----------------------------------------------------------------

struct HardwareCase {
    std::string text;
    InterfaceSelection selection;
};

InterfaceSelection Selection(std::int32_t interface, std::uint32_t port_address, std::uint32_t irq,
                             std::uint32_t port_type, std::int32_t baud, std::uint8_t device,
                             std::uint32_t isa_address) {
    return InterfaceSelection{interface, port_address, irq, port_type, baud, device, isa_address};
}

class HardwareForms : public testing::TestWithParam<HardwareCase> {};

TEST_P(HardwareForms, ChangeOnlyTheChosenInterfacesFields) {
    const ReadResult result = ParseCommands(GetParam().text);
    ASSERT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    EXPECT_TRUE(result.commands.empty());
    const InterfaceSelection& got = result.interface;
    const InterfaceSelection& want = GetParam().selection;
    EXPECT_EQ(got.interface, want.interface);
    EXPECT_EQ(got.port_address, want.port_address);
    EXPECT_EQ(got.irq, want.irq);
    EXPECT_EQ(got.port_type, want.port_type);
    EXPECT_EQ(got.baud_kbps, want.baud_kbps);
    EXPECT_EQ(got.device, want.device);
    EXPECT_EQ(got.isa_address, want.isa_address);
}

INSTANTIATE_TEST_SUITE_P(DocumentedExamples, HardwareForms,
                         testing::Values(HardwareCase{"HARDWARE(OSTRAUSB,any,500)",
                                                      Selection(3, 0x378, 7, 1, 500, 255, 0)},
                                         HardwareCase{"HARDWARE(TRELVIKISA,0x300,5,250)",
                                                      Selection(5, 0x378, 5, 1, 250, 255, 0x300)},
                                         HardwareCase{"", Selection(1, 0x378, 7, 1, 1000, 255, 0)},
                                         HardwareCase{"QUIET(run.log)",
                                                      Selection(1, 0x378, 7, 1, 1000, 255, 0)}));

INSTANTIATE_TEST_SUITE_P(
    EveryInterface, HardwareForms,
    testing::Values(
        HardwareCase{"HARDWARE(TRELVIKPARALLEL,0x278,5,EPP,125)",
                     Selection(1, 0x278, 5, 2, 125, 255, 0)},
        HardwareCase{"hardware ( trelvikparallel , 3BCh , 0 , standard , 10 )",
                     Selection(1, 0x3BC, 0, 1, 10, 255, 0)},
        HardwareCase{"HARDWARE(TRELVIKPARALLEL,0xFFFF,15,epp,1000)",
                     Selection(1, 0xFFFF, 15, 2, 1000, 255, 0)},
        HardwareCase{"HARDWARE(TRELVIKUSB,250)", Selection(2, 0x378, 7, 1, 250, 255, 0)},
        HardwareCase{"HARDWARE(TRELVIKPCI,20)", Selection(4, 0x378, 7, 1, 20, 255, 0)},
        HardwareCase{"HARDWARE(TrelvikIsa,0xFFFF,15,50)",
                     Selection(5, 0x378, 15, 1, 50, 255, 0xFFFF)},
        HardwareCase{"HARDWARE(OSTRAUSB,254,800)", Selection(3, 0x378, 7, 1, 800, 254, 0)},
        HardwareCase{"HARDWARE(OstraUsb, ANY ,1000)", Selection(3, 0x378, 7, 1, 1000, 255, 0)},
        HardwareCase{"HARDWARE(OSTRAUSB,0,10)", Selection(3, 0x378, 7, 1, 10, 0, 0)}));

TEST(HardwareForms, AcceptEveryBitRate) {
    for (const int baud : {10, 20, 50, 125, 250, 500, 800, 1000}) {
        const ReadResult result =
            ParseCommands("HARDWARE(TRELVIKUSB," + std::to_string(baud) + ")");
        EXPECT_EQ(result.status, ReadResult::Status::Ok) << baud;
        EXPECT_EQ(result.interface.baud_kbps, baud);
    }
}

// ---- QUIET -------------------------------------------------------------------

struct QuietCase {
    std::string text;
    std::string file;
};

class QuietSettings : public testing::TestWithParam<QuietCase> {};

TEST_P(QuietSettings, SetTheFlagAndTheTrimmedName) {
    const ReadResult result = ParseCommands(GetParam().text);
    ASSERT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    EXPECT_TRUE(result.log.quiet);
    EXPECT_EQ(result.log.file, GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(
    Names, QuietSettings,
    testing::Values(QuietCase{"QUIET(run.log)", "run.log"},
                    QuietCase{"quiet ( c:\\logs\\my\trun.log\r)", "c:\\logs\\my run.log"},
                    QuietCase{"QUIET(" + std::string(259, 'q') + ")", std::string(259, 'q')},
                    QuietCase{"QUIET(SCREEN)", "SCREEN"}));

TEST(QuietSettings, AreOffWithoutQuiet) {
    const ReadResult result = ParseCommands("NMT(1,START)");
    EXPECT_FALSE(result.log.quiet);
    EXPECT_TRUE(result.log.file.empty());
}

}  // namespace
}  // namespace quorcmd
