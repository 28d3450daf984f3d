// A simulated CANopen Manager: a node (NMT, heartbeat, SDO server) whose
// dictionary holds the network configuration a manager keeps, and which acts
// on the control commands written to 0x1F50 sub 5. No I/O, time passed in;
// not thread-safe (quorsim's loop thread).
//
// Its dictionary (makeManagerDevice): the built-in device's communication
// objects 0x1000-0x1020, then
//   0x1F81 / 0x1F26 / 0x1F27 / 0x1F84-0x1F88   sub 0 count 127 (const),
//                          sub 1-127 UNSIGNED32 rw 0: slave assignment,
//                          expected date, time, device type, vendor, product,
//                          revision, serial number per node
//   0x1F50 sub 5           UNSIGNED32 rw: control command, four ASCII bytes
//   0x2000 sub 1-7         UNSIGNED16 rw: configuration word, pre/post boot
//                          delay, SDO timeout, SDO delay, heartbeat time, factor
//   0x2001 sub 0           VISIBLE_STRING ro: status message (up to 1000)
//   0x2011 / 0x2012        sub 1 UNSIGNED16 ro port status (bit 15 enabled),
//                          sub 2 UNSIGNED8 ro bit rate code, sub 3 DOMAIN wo
//                          bridge forwarding table (up to 1000 bytes)
//   0x2101 / 0x2102        sub 1-3 UNSIGNED16 ro: current load, maximum load,
//                          longest burst of port 1 / port 2
//
// Commands (written as 52 53 45 54 = "RSET" etc., first character first):
//   RSET  hardware reset: the stored configuration returns, boot-up frame
//   ClrN  clears the network configuration (0x1F81, 0x1F26/27, 0x1F84-88),
//         in force and stored
//   ScnN  scans: a node guarding request to every other node 1-127; each node
//         heard on 0x700 + node within kScanWindow becomes a slave (0x1F81 sub
//         n = 1), every other entry becomes 0; the status message tells the count
//   WrtN  scans as ScnN, then stores the configuration (kept over a reset)
// Any other word is taken and only named in the status message.
#pragma once

#include <map>
#include <optional>
#include <set>

#include "sim_node.h"

namespace quorsim {

inline constexpr std::uint16_t kSlaveAssignmentIndex = 0x1F81;
inline constexpr std::uint16_t kExpectedDateIndex = 0x1F26;
inline constexpr std::uint16_t kExpectedTimeIndex = 0x1F27;
inline constexpr std::uint16_t kFirstExpectedIdentityIndex = 0x1F84;  // .. 0x1F88
inline constexpr std::uint16_t kLastExpectedIdentityIndex = 0x1F88;
inline constexpr std::uint16_t kManagerCommandIndex = 0x1F50;
inline constexpr std::uint8_t kManagerCommandSubindex = 5;
inline constexpr std::uint16_t kManagerSettingsIndex = 0x2000;
inline constexpr std::uint16_t kManagerStatusIndex = 0x2001;
inline constexpr std::uint16_t kPortInfoIndex = 0x2011;  // + port - 1
inline constexpr std::uint16_t kPortLoadIndex = 0x2101;  // + port - 1
inline constexpr std::size_t kManagerTextBytes = 1000;
inline constexpr Milliseconds kScanWindow{100};

// The manager's dictionary for node 1-127.
ObjectDictionary makeManagerDevice(std::uint8_t node);

class SimManager : public SimNode {
public:
    explicit SimManager(std::uint8_t node);

    void onFrame(const CanFrame& frame, TimePoint now) override;
    void onTimer(TimePoint now) override;
    std::optional<TimePoint> nextDeadline() const override;

    // SDO requests that start a transfer of index/subindex get no answer
    // (the client times out); nothing clears it but clearSilentEntries().
    void silenceEntry(std::uint16_t index, std::uint8_t subindex);
    void clearSilentEntries() { silent_.clear(); }
    // SDO requests that start a transfer of index/subindex are answered with
    // an abort of abort_code (the entry keeps its value); nothing clears it
    // but clearRefusedEntries().
    void refuseEntry(std::uint16_t index, std::uint8_t subindex, std::uint32_t abort_code);
    void clearRefusedEntries() { refused_.clear(); }
    // Changes the entry in force and the stored one (what a reset returns to).
    void setEntry(std::uint16_t index, std::uint8_t subindex, const Entry& entry);
    std::size_t removeEntry(std::uint16_t index, std::optional<std::uint8_t> subindex);

    bool scanning() const { return scan_end_.has_value(); }

private:
    bool isSilenced(const CanFrame& request) const;
    // Answers a request for a refused entry with its abort; false for others.
    bool refuse(const CanFrame& request);
    void runCommand(std::uint32_t word, TimePoint now);
    void clearNetwork(ObjectDictionary& objects);
    void startScan(bool store, TimePoint now);
    void endScan();

    std::set<std::uint32_t> silent_;                  // index << 8 | subindex
    std::map<std::uint32_t, std::uint32_t> refused_;  // index << 8 | subindex -> abort code
    std::optional<TimePoint> scan_end_;
    bool store_after_scan_ = false;
    std::set<std::uint8_t> heard_;  // nodes heard during the scan
};

}  // namespace quorsim
