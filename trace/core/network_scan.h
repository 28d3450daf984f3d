// The scan of the network overview: every node ID 1-127 is asked for its
// device type (0x1000); a node that answers gets a row and is asked for its
// error register (0x1001) and identity (0x1018 sub 0, then sub 1 up to the
// count it gives, at most 4). One upload at a time; no I/O here: the window
// starts each upload the scan asks for and hands its end back.
//
//     NetworkScan scan;
//     ScanUpload u = scan.Start();            // node 1, 0x1000 sub 0
//     // upload ends: code 0, bytes 91 01 03 00
//     scan.Complete(0, bytes, 4);             // -> node 1, 0x1001 sub 0
//     // row: "01 (1d)", device type "00030191", the rest "-"
//
// Not thread-safe: one thread (the UI thread) drives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sync/auto_reset_event.h"

struct ScanUpload {
    uint8_t node;  // 1-127
    uint16_t index;
    uint8_t subindex;
    bool operator==(const ScanUpload&) const = default;
};

// One node the scan found. Values the node did not give (an abort, a time-out,
// fewer bytes than the value holds) stay "-".
struct ScannedNode {
    uint8_t node = 0;
    std::string deviceType = "-";      // 0x1000, eight upper-case hex digits
    std::string errorRegister = "-";   // 0x1001, two hex digits
    std::string manufacturerId = "-";  // 0x1018 sub 1
    std::string productId = "-";       // 0x1018 sub 2
    std::string revisionId = "-";      // 0x1018 sub 3
    std::string serialNumber = "-";    // 0x1018 sub 4
    bool operator==(const ScannedNode&) const = default;
};

class NetworkScan {
public:
    static constexpr uint32_t kUploadCapacity = 10;  // bytes of each upload
    static constexpr uint8_t kLastNode = 127;

    // Begins a scan at node 1 and forgets the nodes of an earlier one.
    ScanUpload Start();
    // The upload asked for last has ended: code 0 when the node answered,
    // with `length` bytes at `data` (at most kUploadCapacity are read).
    // Returns the next upload, or nothing when the scan is over: after node
    // 127, or when it was cancelled.
    std::optional<ScanUpload> Complete(int32_t code, const uint8_t* data, uint32_t length);
    // Ends the scan when the upload in flight completes.
    void Cancel() { cancelled_ = true; }

    bool running() const { return running_; }
    // The nodes found so far, in scan order; the last may be partly read.
    const std::vector<ScannedNode>& found() const { return found_; }
    // Progress of the scan: the node being asked, 0-100 %.
    int percent() const { return current_.node * 100 / kLastNode; }

private:
    void nextNode();

    bool running_ = false;
    bool cancelled_ = false;
    ScanUpload current_{1, 0x1000, 0};
    uint8_t identityEntries_ = 0;
    std::vector<ScannedNode> found_;
};

// The end of a scan upload, handed from the library's completion callback
// (library thread) to the window's 5 ms timer (UI thread).
struct ScanCompletion {
    std::atomic<int32_t> code{0};
    quorvane::AutoResetEvent operationcompleted_event;
    // Called after the event is set, on the library thread: lets the UI
    // thread take the result at once instead of at its next 5 ms tick.
    std::function<void()> wake;
};

// "%2.2X (%dd)" of a node ID, e.g. "05 (5d)".
std::string NodeIdColumnText(uint8_t node);
