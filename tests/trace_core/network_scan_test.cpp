// The network overview's scan and live states, driven by hand: every upload
// the scan asks for is answered from a table of nodes, no bus.
#include "trace/core/network_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "trace/core/network_live_states.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Entry = std::pair<uint16_t, uint8_t>;
// A node's answers: bytes for an entry it has; an entry it lacks is aborted.
using Node = std::map<Entry, Bytes>;
using Network = std::map<uint8_t, Node>;

constexpr int32_t kAnswered = 0;
constexpr int32_t kAborted = 5;
constexpr int32_t kTimedOut = 11;

Node fullNode() {
    return {{{0x1000, 0}, {0x91, 0x01, 0x03, 0x00}},
            {{0x1001, 0}, {0x81}},
            {{0x1018, 0}, {4}},
            {{0x1018, 1}, {0xA5, 0xA5, 0, 0}},
            {{0x1018, 2}, {0x01, 0x07, 0, 0}},
            {{0x1018, 3}, {0x02, 0x00, 0x01, 0x00}},
            {{0x1018, 4}, {0x78, 0x56, 0x34, 0x12}}};
}

Node without(Node node, std::vector<Entry> entries) {
    for (const Entry& e : entries) node.erase(e);
    return node;
}

Node with(Node node, Entry entry, Bytes bytes) {
    node[entry] = std::move(bytes);
    return node;
}

struct ScanRun {
    std::vector<ScannedNode> found;
    std::vector<ScanUpload> uploads;
};

// Runs a whole scan; absent nodes time out. `cancelAfter` uploads, then Cancel.
ScanRun runScan(const Network& network, std::optional<size_t> cancelAfter = std::nullopt) {
    NetworkScan scan;
    ScanRun run;
    std::optional<ScanUpload> upload = scan.Start();
    while (upload) {
        run.uploads.push_back(*upload);
        if (cancelAfter && run.uploads.size() == *cancelAfter) scan.Cancel();
        uint8_t buffer[NetworkScan::kUploadCapacity] = {};
        int32_t code = kTimedOut;
        uint32_t length = 0;
        if (const auto node = network.find(upload->node); node != network.end()) {
            const auto entry = node->second.find({upload->index, upload->subindex});
            code = entry == node->second.end() ? kAborted : kAnswered;
            if (code == kAnswered) {
                length = static_cast<uint32_t>(entry->second.size());
                std::copy(entry->second.begin(), entry->second.end(), buffer);
            }
        }
        upload = scan.Complete(code, buffer, length);
        EXPECT_LE(run.uploads.size(), 127u * 7) << "the scan does not end";
        if (run.uploads.size() > 127u * 7) break;
    }
    EXPECT_FALSE(scan.running());
    run.found = scan.found();
    return run;
}

ScannedNode row(uint8_t node, std::string device, std::string error, std::string vendor,
                std::string product, std::string revision, std::string serial) {
    return {node, device, error, vendor, product, revision, serial};
}

TEST(NetworkScanTest, RowsFollowWhatEachNodeAnswers) {
    const struct {
        const char* name;
        Node node;
        ScannedNode expected;
    } cases[] = {
        {"whole identity", fullNode(),
         row(5, "00030191", "81", "0000A5A5", "00000701", "00010002", "12345678")},
        {"two identity entries", with(fullNode(), {0x1018, 0}, {2}),
         row(5, "00030191", "81", "0000A5A5", "00000701", "-", "-")},
        {"no identity entries", with(fullNode(), {0x1018, 0}, {0}),
         row(5, "00030191", "81", "-", "-", "-", "-")},
        {"more than four entries read four", with(fullNode(), {0x1018, 0}, {7}),
         row(5, "00030191", "81", "0000A5A5", "00000701", "00010002", "12345678")},
        {"no identity object", without(fullNode(), {{0x1018, 0}}),
         row(5, "00030191", "81", "-", "-", "-", "-")},
        {"no error register", without(fullNode(), {{0x1001, 0}}),
         row(5, "00030191", "-", "0000A5A5", "00000701", "00010002", "12345678")},
        {"an aborted identity entry keeps its dash", without(fullNode(), {{0x1018, 2}}),
         row(5, "00030191", "81", "0000A5A5", "-", "00010002", "12345678")},
        {"short replies leave dashes",
         with(with(with(fullNode(), {0x1000, 0}, {0x91, 0x01}), {0x1001, 0}, {}), {0x1018, 1},
              {0xA5, 0xA5, 0}),
         row(5, "-", "-", "-", "00000701", "00010002", "12345678")},
        {"an empty identity count reads no entry", with(fullNode(), {0x1018, 0}, {}),
         row(5, "00030191", "81", "-", "-", "-", "-")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScanRun run = runScan({{5, c.node}});
        ASSERT_EQ(run.found.size(), 1u);
        EXPECT_EQ(run.found[0], c.expected);
    }
}

TEST(NetworkScanTest, AsksEveryNodeOnceAndAPresentOneForItsEntriesInOrder) {
    const ScanRun run = runScan({{1, with(fullNode(), {0x1018, 0}, {2})}});
    const std::vector<ScanUpload> firstNode(run.uploads.begin(), run.uploads.begin() + 5);
    const std::vector<ScanUpload> expected = {
        {1, 0x1000, 0}, {1, 0x1001, 0}, {1, 0x1018, 0}, {1, 0x1018, 1}, {1, 0x1018, 2}};
    EXPECT_EQ(firstNode, expected);
    ASSERT_EQ(run.uploads.size(), 5u + 126u);
    EXPECT_EQ(run.uploads[5], (ScanUpload{2, 0x1000, 0}));
    EXPECT_EQ(run.uploads.back(), (ScanUpload{127, 0x1000, 0}));
}

TEST(NetworkScanTest, FindsNodesInIdOrderAndNoneOnAnEmptyBus) {
    const ScanRun run = runScan({{127, fullNode()}, {2, fullNode()}, {64, fullNode()}});
    ASSERT_EQ(run.found.size(), 3u);
    EXPECT_EQ(run.found[0].node, 2);
    EXPECT_EQ(run.found[1].node, 64);
    EXPECT_EQ(run.found[2].node, 127);
    const ScanRun empty = runScan({});
    EXPECT_TRUE(empty.found.empty());
    EXPECT_EQ(empty.uploads.size(), 127u);
}

// A cancel takes effect when the upload in flight completes: what it
// brought is kept, nothing more is asked.
TEST(NetworkScanTest, CancelEndsAfterTheUploadInFlight) {
    const ScanRun run = runScan({{1, fullNode()}, {2, fullNode()}}, 2);
    EXPECT_EQ(run.uploads.size(), 2u);
    ASSERT_EQ(run.found.size(), 1u);
    EXPECT_EQ(run.found[0], row(1, "00030191", "81", "-", "-", "-", "-"));
}

TEST(NetworkScanTest, ProgressAndNodeText) {
    NetworkScan scan;
    scan.Start();
    EXPECT_EQ(scan.percent(), 0);  // node 1: 100 / 127
    const uint8_t none[NetworkScan::kUploadCapacity] = {};
    for (int node = 1; node < 64; ++node) scan.Complete(kTimedOut, none, 0);
    EXPECT_EQ(scan.percent(), 50);  // node 64
    EXPECT_EQ(NodeIdColumnText(5), "05 (5d)");
    EXPECT_EQ(NodeIdColumnText(127), "7F (127d)");
}

TEST(NetworkLiveStatesTest, KeepsTheLastStateOfNodes1To127) {
    NetworkLiveStates states;
    EXPECT_EQ(states.GetLiveState(5), kLiveStateNone);
    const std::tuple<uint8_t, uint8_t, uint8_t> rows[] = {
        // node, byte received, state read back
        {5, 0x05, 5},   {5, 0x85, 5},  // the toggle bit of guarding is dropped
        {5, 0x7F, 127}, {1, 0x00, 0}, {127, 0x04, 4},
    };
    for (const auto& [node, byte, state] : rows) {
        states.SetLiveState(node, byte);
        EXPECT_EQ(states.GetLiveState(node), state) << int(node) << " " << int(byte);
    }
    states.SetLiveState(0, 0x05);
    states.SetLiveState(128, 0x05);
    EXPECT_EQ(states.GetLiveState(0), kLiveStateNone);
    EXPECT_EQ(states.GetLiveState(128), kLiveStateNone);
}

TEST(NetworkLiveStatesTest, ABusyMutexGivesUnknownAfterItsLimit) {
    NetworkLiveStates states;
    states.SetLiveState(5, 0x05);
    std::lock_guard held(states.realtime_mutex);
    EXPECT_EQ(states.GetLiveState(5), kLiveStateNone);
}

TEST(NetworkLiveStatesTest, StateTexts) {
    const std::pair<uint8_t, const char*> rows[] = {
        {0, "Bootup"},      {4, "Stopped"},
        {5, "Operational"}, {127, "Pre-Operational"},
        {1, "Unknown"},     {kLiveStateNone, "Unknown"}};
    for (const auto& [state, text] : rows) EXPECT_STREQ(LiveStateText(state), text);
}

}  // namespace
