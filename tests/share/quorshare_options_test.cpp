// quorshare's command line: what each form means and what is refused.
#include <gtest/gtest.h>

#include "share/quorshare_cli.h"

namespace {

using share::CliOptions;

std::optional<CliOptions> parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string ignored;
    return share::ParseCliOptions(args, error ? error : &ignored);
}

TEST(QuorshareOptionsTest, DumpAndSendForms) {
    const auto dump = parse({"dump"});
    ASSERT_TRUE(dump);
    EXPECT_EQ(dump->command, CliOptions::Command::kDump);
    EXPECT_LT(dump->waitMs, 0);  // waits for quorvane without a limit
    EXPECT_LT(dump->count, 0);
    EXPECT_EQ(dump->interface, "quorvane");

    const auto filtered =
        parse({"dump", "--filter", "FFFFFFFF:0@0", "--filter", "0000FFFF:0181FFFF@1", "--count",
               "5", "--wait", "1.5", "--interface", "can0"});
    ASSERT_TRUE(filtered);
    ASSERT_EQ(filtered->filters.size(), 2u);
    EXPECT_EQ(filtered->filters[1].value, 0x0181FFFFu);
    EXPECT_EQ(filtered->count, 5);
    EXPECT_EQ(filtered->waitMs, 1500);
    EXPECT_EQ(filtered->interface, "can0");

    const auto send = parse({"send", "123#11", "--wait", "2", "12345678#R"});
    ASSERT_TRUE(send);
    EXPECT_EQ(send->command, CliOptions::Command::kSend);
    EXPECT_EQ(send->waitMs, 2000);
    ASSERT_EQ(send->frames.size(), 2u);
    EXPECT_EQ(send->frames[1].flags, QUORSHARE_FLAG_EXTENDED | QUORSHARE_FLAG_REMOTE);
    EXPECT_EQ(parse({"send", "123#11"})->waitMs, 0);

    for (auto help :
         {std::vector<std::string>{"--help"}, {"-h"}, {"dump", "--help"}, {"send", "--help"}}) {
        const auto shown = parse(help);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->command, CliOptions::Command::kHelp);
    }
}

TEST(QuorshareOptionsTest, UsageErrorsNameTheProblem) {
    struct Row {
        std::vector<std::string> args;
        const char* says;
    } rows[] = {
        {{}, "command is missing"},
        {{"listen"}, "unknown command 'listen'"},
        {{"send"}, "at least one frame"},
        {{"send", "123#1"}, "not a frame: '123#1'"},
        {{"send", "--filter", "FFFF:0@0", "123#11"}, "unknown option '--filter'"},
        {{"dump", "123#11"}, "unknown option '123#11'"},
        {{"dump", "--filter"}, "--filter needs a value"},
        {{"dump", "--filter", "FFFF:0@32"}, "--filter takes MASK:VALUE@SLOT"},
        {{"dump", "--count", "0"}, "--count takes a number"},
        {{"dump", "--wait", "-1"}, "--wait takes seconds"},
        {{"dump", "--wait", "soon"}, "--wait takes seconds"},
        {{"dump", "--interface", "a b"}, "without blanks"},
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_FALSE(parse(row.args, &error));
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
    }
}

}  // namespace
