// The command language (parsing, replies) and the program's options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands.h"
#include "program_options.h"
#include "protocol/can_frame.h"
#include "transport/socketcan_transport.h"

namespace quorsim {
namespace {

const std::string kEds =
    std::string(QUORVANE_SOURCE_DIR) + "/sim/quorsim/examples/quorsim_io_module.eds";

// The injected error frames must mean to the library what their names say.
TEST(QuorsimCommands, BusErrorFramesDecodeToTheirCondition) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"warning", MORVELL_ERROR_WARNING},      {"passive", MORVELL_ERROR_PASSIVE},
        {"busoff", MORVELL_ERROR_BUS_OFF},       {"protocol", MORVELL_ERROR_PROTOCOL},
        {"overflow", MORVELL_ERROR_RX_OVERFLOW}, {"cleared", MORVELL_ERROR_CLEARED},
    };
    for (const auto& [name, code] : cases) {
        const auto frame = quorsim::busErrorFrame(name);
        ASSERT_TRUE(frame) << name;
        EXPECT_EQ(morvell::transport::errorCodesOfErrorFrame(*frame),
                  std::vector<std::int32_t>{code})
            << name;
    }
    EXPECT_FALSE(quorsim::busErrorFrame("loud"));
}

TEST(QuorsimCommands, BadLinesGiveClearErrors) {
    const std::pair<const char*, const char*> cases[] = {
        {"jump 5", "unknown command 'jump'"},
        {"add 0", "bad node '0': expected 1-127"},
        {"emcy 5 1 256", "bad error register '256'"},
        {"state 5 running", "bad state 'running'"},
        {"heartbeat 5 65536", "bad heartbeat time '65536'"},
        {"fault 5 explode", "bad fault 'explode'"},
        {"fault 5 abort 0x1FFFFFFFF", "bad abort code"},
        {"block 5 maybe", "usage: block NODE on|off"},
        {"load 2000000 181#00", "bad rate '2000000'"},
        {"load 10 181#xyz", "frame '181#xyz'"},
        {"load 100.01% 181#00", "bad load '100.01%': 0.01% to 100%"},
        {"load 0% 181#00", "bad load '0%'"},
        {"load 1.234% 181#00", "bad load '1.234%'"},
        {"load 40%", "usage: load RATE|PERCENT% ID#DATA"},
        {"stats now", "stats takes no arguments"},
    };
    for (const auto& [line, expected] : cases) {
        const ParseResult r = parseCommand(line);
        EXPECT_FALSE(r.command) << line;
        EXPECT_NE(r.error.find(expected), std::string::npos) << line << "\ngot: " << r.error;
    }
}

class QuorsimCommandRunner : public ::testing::Test {
protected:
    std::string run(const std::string& line) { return runner.run(line, now).line; }
    std::vector<std::string> bus() {
        std::vector<std::string> out;
        for (const CanFrame& f : sim.takeFrames()) out.push_back(morvell::toString(f));
        return out;
    }

    TimePoint now = TimePoint{} + std::chrono::hours(3);
    Simulator sim;
    CommandRunner runner{sim, 200};
};

TEST_F(QuorsimCommandRunner, EveryCommandAnswersOneLine) {
    struct Case {
        std::string line;
        std::string reply;  // the reply starts with this
        std::vector<std::string> frames;
    };
    const std::vector<Case> cases = {
        {"add 5", "ok node 5 added: built-in device", {"705#00"}},
        {"add 5", "error: node 5 already exists", {}},
        {"add 7 " + kEds, "ok node 7 added: " + kEds, {"707#00"}},
        {"add 8 /nonexistent/a b.eds", "error: /nonexistent/a b.eds: cannot open", {}},
        {"emcy 5 0x8110 0x11 1 2 3 4 255", "ok node 5 emergency", {"085#10811101020304FF"}},
        {"emcy 5 1", "ok node 5 emergency", {"085#0100110000000000"}},  // register kept
        {"state 5 operational", "ok node 5 state operational", {"705#05"}},
        {"heartbeat 5 65535", "ok node 5 heartbeat 65535 ms", {}},
        {"fault 5 abort 0x06020000", "ok node 5 fault abort 0x06020000", {}},
        {"fault 5 delay 10", "ok node 5 fault delay 10 ms", {}},
        {"fault 5 none", "ok node 5 fault none", {}},
        {"block 5 off", "ok node 5 block off", {}},
        {"send 000#8200", "ok sent 000#8200", {"000#8200", "705#00", "707#00"}},
        {"load 2500 701#R", "ok load 2500 frames/s of 701#R", {}},
        {"load 0", "ok load stopped, 0 load frames sent", {}},
        // 115 bits a frame at 125 kbit/s: 434.8 frames/s fill 40 %.
        {"load 40% 181#1122334455667788",
         "ok load 435 frames/s of 181#1122334455667788 (40.00 % of 125 kbit/s)",
         {}},
        {"load 0", "ok load stopped, 0 load frames sent", {}},
        {"buserror passive", "ok error frame ", {}},
        {"  stats  ", "ok nodes 5,7 received 0 sent 8 load 0 rate 0", {}},
        {"remove 7", "ok node 7 removed", {}},
        {"remove 7", "error: no node 7", {}},
        {"quit", "ok bye", {}},
    };
    for (const Case& c : cases) {
        const std::string reply = run(c.line);
        EXPECT_EQ(reply.rfind(c.reply, 0), 0u) << c.line << "\ngot: " << reply;
        EXPECT_EQ(reply.find('\n'), std::string::npos);
        EXPECT_EQ(bus(), c.frames) << c.line;
    }
    EXPECT_TRUE(runner.run("quit", now).quit);
    for (const char* empty : {"", "   \t", "# a comment"}) EXPECT_EQ(run(empty), "") << empty;
}

TEST_F(QuorsimCommandRunner, HeartbeatOptionOverridesTheDefaultOfEveryNode) {
    run("add 5");
    run("add 7 " + kEds);
    EXPECT_EQ(sim.findNode(5)->heartbeatPeriod(), std::chrono::milliseconds(200));
    EXPECT_EQ(sim.findNode(7)->heartbeatPeriod(), std::chrono::milliseconds(200)) << "EDS says 500";
    run("heartbeat 5 30");
    run("send 000#8105");  // reset node: back to the default
    EXPECT_EQ(sim.findNode(5)->heartbeatPeriod(), std::chrono::milliseconds(200));
}

TEST(QuorsimProgramOptions, ParsesTheCommandLine) {
    // --node, --heartbeat and --exec are used end to end (quorsim_end_to_end_test).
    auto r = parseProgramOptions({"--channel", "virtual:x@4000", "--bitrate", "250", "--node",
                                  "6:/tmp/dev.eds", "--exit-on-eof"},
                                 "socketcan:can0");
    ASSERT_TRUE(r.options) << r.error;
    EXPECT_EQ(r.options->channel, "virtual:x@4000");
    EXPECT_EQ(r.options->bitrate_kbps, 250);
    ASSERT_EQ(r.options->nodes.size(), 1u);
    EXPECT_EQ(r.options->nodes[0].node, 6);
    EXPECT_EQ(r.options->nodes[0].eds_file, "/tmp/dev.eds");
    EXPECT_TRUE(r.options->exit_on_eof);

    EXPECT_EQ(parseProgramOptions({}, "socketcan:can1").options->channel, "socketcan:can1");
    EXPECT_EQ(parseProgramOptions({}, "").options->channel, "virtual");

    const std::pair<std::vector<std::string>, const char*> bad[] = {
        {{"--node", "0"}, "--node '0'"},
        {{"--node", "5:"}, "EDS file name is empty"},
        {{"--bitrate", "100"}, "expected 1000, 800, 500, 250, 125, 50, 20 or 10"},
        {{"--channel"}, "option --channel needs a value"},
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
    };
    for (const auto& [args, expected] : bad) {
        const auto result = parseProgramOptions(args, "");
        EXPECT_FALSE(result.options) << expected;
        EXPECT_NE(result.error.find(expected), std::string::npos) << result.error;
    }
}

}  // namespace
}  // namespace quorsim
