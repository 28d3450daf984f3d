// Reading command texts: what accepted directives leave behind (queued
// commands, interface selection, log settings) and the value checks.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "cli/command_model.h"

namespace quorcmd {
namespace {

using Bytes = std::vector<std::uint8_t>;

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

void PrintTo(const QueuedCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.text.substr(0, 80));
}

constexpr auto kUp = Operation::SdoUpload;
constexpr auto kDown = Operation::SdoDownload;

QueuedCase Nmt(std::string text, int node, NmtWord word = NmtWord::Start) {
    return {std::move(text), Operation::Nmt, node, 0, 0, word, "", {}};
}

QueuedCase Transfer(Operation operation, std::string text, int node, std::uint32_t index,
                    int subindex, std::string file, Bytes data = {}) {
    return {std::move(text), operation,       node,           index, subindex,
            NmtWord::Start,  std::move(file), std::move(data)};
}

// Node 5, index 1, subindex 0.
QueuedCase Up(std::string text, std::string file) {
    return Transfer(kUp, std::move(text), 5, 1, 0, std::move(file));
}
QueuedCase Down(std::string text, std::string file, Bytes data = {}) {
    return Transfer(kDown, std::move(text), 5, 1, 0, std::move(file), std::move(data));
}

class QueuedCommands : public testing::TestWithParam<QueuedCase> {};

TEST_P(QueuedCommands, HoldTheConvertedValues) {
    const QueuedCase& expected = GetParam();
    const ReadResult result = ParseCommands(expected.text);
    ASSERT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    ASSERT_EQ(result.commands.size(), 1u);
    const CommandRecord& r = result.commands.front();
    const auto fields = [](auto& c) {
        const NmtWord nmt = c.operation == Operation::Nmt ? c.nmt : NmtWord::Start;
        return std::tuple(c.operation, c.node, c.index, c.subindex, nmt, c.file, c.data);
    };
    EXPECT_EQ(fields(r), fields(expected));
    // The directive exactly as read, without what comes before it.
    EXPECT_EQ(r.directive_text, expected.text.substr(expected.text.find_first_not_of(" \t\n")));
}

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, QueuedCommands,
    testing::Values(
        Nmt("nmt ( 5 , start )", 5), Nmt("NMT(4,resetcomm)", 4, NmtWord::ResetComm),
        Transfer(kUp, "SDOUPLOAD(5,0x1000,0,c:\\my files\\out.bin)", 5, 0x1000, 0,
                 "c:\\my files\\out.bin"),
        Transfer(kDown, "SDODOWNLOAD(5,0x6040,0,0x000F)", 5, 0x6040, 0, "", {0x0F, 0}),
        Transfer(Operation::OdRead, "ODREAD(6,0x2000,1,Screen)", 6, 0x2000, 1, "SCREEN"),
        Transfer(Operation::OdWrite, "ODWRITE(6,0x2000,1,1234)", 6, 0x2000, 1, "", {0x34, 0x12}),
        Transfer(kUp, "  \n\tSdoUpload(5,0x1000,0,\tmy file )", 5, 0x1000, 0, "my file")));

INSTANTIATE_TEST_SUITE_P(NumberForms, QueuedCommands,
                         testing::Values(Nmt("NMT(7fH,START)", 127), Nmt("NMT(0X7f,START)", 127),
                                         Nmt("NMT(010,START)", 8),
                                         Nmt("NMT(0000000000000000000000012,START)", 10)));

INSTANTIATE_TEST_SUITE_P(RangeLimits, QueuedCommands,
                         testing::Values(Transfer(kUp, "SDOUPLOAD(127,0xFFFF,255,a.bin)", 127,
                                                  0xFFFF, 255, "a.bin")));

INSTANTIATE_TEST_SUITE_P(
    FileNames, QueuedCommands,
    testing::Values(Up("SDOUPLOAD(5,1,0,my\tdata\rfile.bin)", "my data file.bin"),
                    Up("SDOUPLOAD(5,1,0," + std::string(302, 'n') + ")", std::string(302, 'n'))));

// Even digit counts are data, others are file names.
INSTANTIATE_TEST_SUITE_P(
    HexData, QueuedCommands,
    testing::Values(Down("SDODOWNLOAD(5,1,0,12h)", "", {0x12}),
                    Down("SDODOWNLOAD(5,1,0,0x0102030405)", "", {1, 2, 3, 4, 5}),
                    Down("SDODOWNLOAD(5,1,0,12)", "12"), Down("SDODOWNLOAD(5,1,0,0x123)", "0x123"),
                    Down("SDODOWNLOAD(5,1,0,12 34)", "12 34")));

// ---- Value checks ------------------------------------------------------------

// Each row is a well-formed directive whose values are refused.
class RefusedValues : public testing::TestWithParam<std::string> {};

TEST_P(RefusedValues, GiveTheDirectivesInvalidParametersMessage) {
    const std::string& token = GetParam();
    const std::string directive = token.substr(0, token.find('('));
    const ReadResult result = ParseCommands("NMT(1,START)\n" + token + "\n");
    EXPECT_EQ(result.status, ReadResult::Status::Error);
    EXPECT_EQ(result.error_message,
              "ERROR: Invalid parameters for " + directive + " directive: " + token + "\n");
    EXPECT_TRUE(result.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(NumberForms, RefusedValues,
                         testing::Values("NMT(7F,START)", "NMT(018,STOP)", "NMT(0x7Fh,STOP)",
                                         "NMT(-1,STOP)", "NMT(4294967301,STOP)"));

INSTANTIATE_TEST_SUITE_P(RangeLimits, RefusedValues,
                         testing::Values("SDOUPLOAD(128,0,0,a.bin)", "SDOUPLOAD(5,0x10000,0,a.bin)",
                                         "ODWRITE(5,0,256,0x12)",
                                         "HARDWARE(TRELVIKPARALLEL,0x10000,7,STANDARD,1000)",
                                         "HARDWARE(TRELVIKPARALLEL,0x378,16,STANDARD,1000)",
                                         "HARDWARE(TRELVIKPARALLEL,0x378,7,FAST,1000)",
                                         "HARDWARE(OSTRAUSB,255,500)"));

INSTANTIATE_TEST_SUITE_P(FileNames, RefusedValues,
                         testing::Values("SDOUPLOAD(5,1,0,out-1.bin)", "SDODOWNLOAD(5,1,0,a,b)",
                                         "QUIET( \t )",
                                         "SDOUPLOAD(5,1,0," + std::string(303, 'n') + ")",
                                         "QUIET(" + std::string(260, 'q') + ")"));

// ---- HARDWARE ----------------------------------------------------------------

struct HardwareCase {
    std::string text;
    InterfaceSelection selection;
};

auto Fields(const InterfaceSelection& s) {
    return std::tuple(s.interface, s.port_address, s.irq, s.port_type, s.baud_kbps, int{s.device},
                      s.isa_address);
}

class HardwareForms : public testing::TestWithParam<HardwareCase> {};

TEST_P(HardwareForms, ChangeOnlyTheChosenInterfacesFields) {
    const ReadResult result = ParseCommands(GetParam().text);
    ASSERT_EQ(result.status, ReadResult::Status::Ok) << result.error_message;
    EXPECT_TRUE(result.commands.empty());
    EXPECT_EQ(Fields(result.interface), Fields(GetParam().selection));
}

INSTANTIATE_TEST_SUITE_P(
    EveryInterface, HardwareForms,
    testing::Values(HardwareCase{"", {1, 0x378, 7, 1, 1000, 255, 0}},
                    HardwareCase{"hardware ( trelvikparallel , 3BCh , 0 , standard , 10 )",
                                 {1, 0x3BC, 0, 1, 10, 255, 0}},
                    HardwareCase{"HARDWARE(TRELVIKPARALLEL,0xFFFF,15,epp,1000)",
                                 {1, 0xFFFF, 15, 2, 1000, 255, 0}},
                    HardwareCase{"HARDWARE(TRELVIKISA,0x300,5,250)",
                                 {5, 0x378, 5, 1, 250, 255, 0x300}},
                    HardwareCase{"HARDWARE(OstraUsb, ANY ,1000)", {3, 0x378, 7, 1, 1000, 255, 0}}));

}  // namespace
}  // namespace quorcmd
