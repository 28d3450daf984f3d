// The simulated CANopen Manager on a virtual clock: its dictionary, the four
// control commands with the frames they cause, and the device commands that
// shape a dictionary for tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands.h"
#include "protocol/can_frame.h"
#include "sim_manager.h"
#include "simulator.h"

namespace quorsim {
namespace {

using morvell::makeFrame;
using morvell::toString;

constexpr std::uint8_t kManager = 0x10;

class QuorsimManager : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(runner.run("manager 16", now).line, "ok node 16 added: CANopen Manager");
        ASSERT_EQ(runner.run("add 5", now).line.rfind("ok", 0), 0u);
        ASSERT_EQ(runner.run("add 7", now).line.rfind("ok", 0), 0u);
        sim.takeFrames();
    }

    // An SDO request to the manager; returns every frame that went to the bus.
    std::vector<std::string> request(std::initializer_list<std::uint8_t> bytes) {
        sim.onBusFrame(makeFrame(0x600 + kManager, bytes), now);
        return texts(sim.takeFrames());
    }
    std::vector<std::string> command(const char (&word)[5]) {
        return request({0x23, 0x50, 0x1F, 0x05, static_cast<std::uint8_t>(word[0]),
                        static_cast<std::uint8_t>(word[1]), static_cast<std::uint8_t>(word[2]),
                        static_cast<std::uint8_t>(word[3])});
    }
    std::uint64_t value(std::uint16_t index, std::uint8_t sub) {
        return manager()->objects().number(index, sub).value_or(0xDEAD);
    }
    std::string status() {
        const Entry* e = manager()->objects().find(0x2001, 0);
        return e ? std::string(e->value.begin(), e->value.end()) : "-";
    }
    SimManager* manager() { return dynamic_cast<SimManager*>(sim.findNode(kManager)); }
    // Fires every deadline up to `later` after now.
    std::vector<std::string> runFor(std::chrono::milliseconds later) {
        std::vector<std::string> sent;
        const TimePoint end = now + later;
        for (auto d = sim.nextDeadline(); d && *d <= end; d = sim.nextDeadline()) {
            now = std::max(now, *d);
            sim.onTimer(now);
            for (const std::string& t : texts(sim.takeFrames())) sent.push_back(t);
        }
        now = end;
        return sent;
    }
    static std::vector<std::string> texts(const std::vector<CanFrame>& frames) {
        std::vector<std::string> out;
        for (const CanFrame& f : frames) out.push_back(toString(f));
        return out;
    }

    TimePoint now = TimePoint{} + std::chrono::hours(1);
    Simulator sim;
    CommandRunner runner{sim};
};

TEST_F(QuorsimManager, DictionaryHoldsTheManagerMap) {
    // index, sub, value (numbers as the device holds them)
    const struct {
        std::uint16_t index;
        std::uint8_t sub;
        std::uint64_t value;
    } rows[] = {
        {0x1F81, 0, 127},    {0x1F81, 127, 0}, {0x1F26, 0, 127}, {0x1F27, 0, 127}, {0x1F84, 0, 127},
        {0x1F88, 127, 0},    {0x1F50, 5, 0},   {0x2000, 1, 0},   {0x2000, 2, 500}, {0x2000, 7, 150},
        {0x2011, 1, 0x8000}, {0x2011, 2, 4},   {0x2012, 1, 0},   {0x2012, 2, 0},   {0x2101, 1, 12},
        {0x2101, 2, 40},     {0x2101, 3, 7},   {0x2102, 3, 0},   {0x1020, 0, 2},
    };
    for (const auto& r : rows)
        EXPECT_EQ(value(r.index, r.sub), r.value) << std::hex << r.index << " sub " << +r.sub;
    EXPECT_EQ(status(), "Quorsim Manager node 16: ready");
    // Slaves answer 0x1020 sub 0-2.
    EXPECT_EQ(sim.findNode(5)->objects().number(0x1020, 0), 2u);
    EXPECT_EQ(sim.findNode(5)->objects().number(0x1020, 2), 0u);
    // The port tables are write-only domains of up to 1000 bytes.
    EXPECT_EQ(manager()->objects().find(0x2011, 3)->capacity, 1000u);
    EXPECT_EQ(manager()->objects().find(0x2012, 3)->access, Access::WriteOnly);
}

TEST_F(QuorsimManager, HardwareResetAnswersThenBootsWithTheStoredConfiguration) {
    request({0x23, 0x81, 0x1F, 0x05, 0x01, 0x00, 0x00, 0x00});  // slave 5, not stored
    EXPECT_EQ(command("RSET"), (std::vector<std::string>{"590#60501F0500000000", "710#00"}));
    EXPECT_EQ(value(0x1F81, 5), 0u);
    EXPECT_EQ(value(0x1F50, 5), 0u);
}

TEST_F(QuorsimManager, ScanMakesTheNodesHeardSlavesAndStoreKeepsThem) {
    request({0x23, 0x81, 0x1F, 0x09, 0x01, 0x00, 0x00, 0x00});  // node 9 is absent
    const std::vector<std::string> sent = command("WrtN");
    // The response, then a guarding request to every other node; 5 and 7 answer.
    ASSERT_EQ(sent.size(), 1u + 126u + 2u);
    EXPECT_EQ(sent[0], "590#60501F0500000000");
    EXPECT_EQ(sent[1], "701#R");
    EXPECT_EQ(sent[2], "702#R");
    EXPECT_EQ(sent[5], "705#R");
    EXPECT_EQ(sent[15], "70F#R");
    EXPECT_EQ(sent[16], "711#R");
    EXPECT_EQ(sent[127], "705#7F");
    EXPECT_EQ(sent[128], "707#7F");
    EXPECT_TRUE(manager()->scanning());
    EXPECT_EQ(status(), "Scanning the network");
    runFor(kScanWindow);
    EXPECT_FALSE(manager()->scanning());
    EXPECT_EQ(value(0x1F81, 5), 1u);
    EXPECT_EQ(value(0x1F81, 7), 1u);
    EXPECT_EQ(value(0x1F81, 9), 0u);
    EXPECT_EQ(value(0x1F81, 16), 0u);
    EXPECT_EQ(status(), "Scan found 2 nodes, configuration stored");
    command("RSET");
    EXPECT_EQ(value(0x1F81, 5), 1u) << "stored";

    // A scan without store is lost with a reset; a clear is not.
    runner.run("remove 7", now);
    command("ScnN");
    runFor(kScanWindow);
    EXPECT_EQ(value(0x1F81, 7), 0u);
    EXPECT_EQ(status(), "Scan found 1 nodes");
    command("RSET");
    EXPECT_EQ(value(0x1F81, 7), 1u);
    command("ClrN");
    EXPECT_EQ(value(0x1F81, 5), 0u);
    EXPECT_EQ(status(), "Network configuration cleared");
    command("RSET");
    EXPECT_EQ(value(0x1F81, 5), 0u);
}

TEST_F(QuorsimManager, DeviceCommandsShapeEntries) {
    // command, reply, then an upload of 0x1F81 sub 0 (or the entry named) answers
    EXPECT_EQ(runner.run("entry 16 0x1F81 0 u8 200", now).line, "ok entry set");
    EXPECT_EQ(request({0x40, 0x81, 0x1F, 0x00, 0, 0, 0, 0}),
              (std::vector<std::string>{"590#4F811F00C8000000"}));
    EXPECT_EQ(runner.run("entry 16 0x1F84 3 u16 0x1234", now).line, "ok entry set");
    EXPECT_EQ(request({0x40, 0x84, 0x1F, 0x03, 0, 0, 0, 0}),
              (std::vector<std::string>{"590#4B841F0334120000"}));
    command("RSET");
    EXPECT_EQ(value(0x1F81, 0), 200u) << "kept over a reset";

    EXPECT_EQ(runner.run("noentry 16 0x1F88", now).line, "ok 128 entries removed");
    EXPECT_EQ(request({0x40, 0x88, 0x1F, 0x00, 0, 0, 0, 0}),
              (std::vector<std::string>{"590#80881F0000000206"}));
    EXPECT_EQ(runner.run("noentry 5 0x1020 2", now).line, "ok 1 entries removed");
    EXPECT_EQ(sim.findNode(5)->objects().find(0x1020, 2), nullptr);

    EXPECT_EQ(runner.run("silent 16 0x2101 2", now).line, "ok entry silent");
    EXPECT_TRUE(request({0x40, 0x01, 0x21, 0x02, 0, 0, 0, 0}).empty());
    EXPECT_EQ(request({0x40, 0x01, 0x21, 0x01, 0, 0, 0, 0}).size(), 1u);
    runner.run("silent 16 none", now);
    EXPECT_EQ(request({0x40, 0x01, 0x21, 0x02, 0, 0, 0, 0}).size(), 1u);

    // A refused entry answers with its abort and keeps its value; a block
    // download initiate of it is refused as well.
    EXPECT_EQ(runner.run("refuse 16 0x1F81 3 0x06010002", now).line, "ok entry refused");
    EXPECT_EQ(request({0x23, 0x81, 0x1F, 0x03, 0x05, 0, 0, 0}),
              (std::vector<std::string>{"590#80811F0302000106"}));
    EXPECT_EQ(request({0xC6, 0x81, 0x1F, 0x03, 0x04, 0, 0, 0}),
              (std::vector<std::string>{"590#80811F0302000106"}));
    EXPECT_EQ(value(0x1F81, 3), 0u);
    EXPECT_EQ(request({0x23, 0x81, 0x1F, 0x04, 0x05, 0, 0, 0}),
              (std::vector<std::string>{"590#60811F0400000000"}));
    runner.run("refuse 16 none", now);
    EXPECT_EQ(request({0x23, 0x81, 0x1F, 0x03, 0x05, 0, 0, 0}),
              (std::vector<std::string>{"590#60811F0300000000"}));
    EXPECT_EQ(value(0x1F81, 3), 5u);

    EXPECT_EQ(runner.run("entry 16 0x2001 0 string Two words", now).line, "ok entry set");
    EXPECT_EQ(status(), "Two words");
    // Faulty commands
    const std::pair<const char*, const char*> faults[] = {
        {"manager 16", "error: node 16 already exists"},
        {"manager 0", "error: usage: manager NODE (1-127)"},
        {"entry 16 0x1F81 0 u8 256", "error: usage: entry NODE INDEX SUB u8|u16|u32|string VALUE"},
        {"entry 99 0x1F81 0 u8 1", "error: no node 99"},
        {"noentry 16", "error: usage: noentry NODE INDEX [SUB]"},
        {"silent 5 0x1000 0", "error: node 5 is no manager"},
        {"refuse 16 0x1F81 3", "error: usage: refuse NODE INDEX SUB ABORTCODE | refuse NODE none"},
        {"refuse 5 0x1F81 3 1", "error: node 5 is no manager"},
    };
    for (const auto& [line, reply] : faults) EXPECT_EQ(runner.run(line, now).line, reply) << line;
}

}  // namespace
}  // namespace quorsim
