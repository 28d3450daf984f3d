// Frame sharing between quorvane and its client programs: the messages on
// the per-user Unix domain stream socket (sharing/core/socket_path.h).
// Messages follow each other without gaps; each is a header of four
// little-endian 32-bit words, followed for data by the block's bytes:
//
//   word 0  message  1 Startup, 2 Handle, 3 Shutdown, 0x4A data
//   word 1  handle   the sender's handle: its process id (informational;
//                    quorvane tells its clients apart by their connections)
//   word 2  Startup / Handle / Shutdown: 1 sent by a client, 0 by quorvane;
//           data: the block's kind, 0 frames or 1 filter
//   word 3  data: the block's byte count, at most kMaxBlockBytes; else 0
//
// Blocks: kind 0 is frames of 14 bytes each (identifier u32, length u8,
// flags u8 with bit 0 extended and bit 1 remote, 8 data bytes), kind 1 a
// filter of 12 bytes (mask u32, value u32, slot u32 0-31). All numbers are
// little-endian. Examples, the header words split by "|":
//
//   01000000|39300000|01000000|00000000        Startup from client 12345
//   02000000|d2040000|00000000|00000000        Handle from quorvane 1234
//   03000000|39300000|01000000|00000000        Shutdown from client 12345
//   03000000|d2040000|00000000|00000000        Shutdown from quorvane 1234
//   4a000000|39300000|01000000|0c000000 ffff0000 ffff8101 01000000
//                       client 12345 sets slot 1 = (0x0000FFFF, 0x0181FFFF)
//   4a000000|d2040000|00000000|0e000000 81010000 08 00 1122334455667788
//                       quorvane 1234 forwards 181#1122334455667788
//   4a000000|d2040000|00000000|1c000000 78560412 02 01 aabb000000000000
//                                       80000000 00 02 0000000000000000
//       a batch of two, newest first: 12045678#AABB (extended), then 080#R
//
// Reading never trusts the peer: a header announcing more than
// kMaxBlockBytes breaks the stream (the connection is then closed); a block
// of the wrong size or kind is skipped by whoever interprets it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "canlib/morvellcanopen.h"

namespace sharing {

enum WireMessageCode : uint32_t {
    kMessageStartup = 1,
    kMessageHandle = 2,
    kMessageShutdown = 3,
    kMessageData = 0x4A,
};
enum WireBlockKind : uint32_t {
    kBlockFrames = 0,
    kBlockFilter = 1,
};
// The sender flag of Startup / Handle / Shutdown.
constexpr uint32_t kFromQuorvane = 0;
constexpr uint32_t kFromClient = 1;

constexpr std::size_t kHeaderBytes = 16;
constexpr std::size_t kFrameBytes = 14;
constexpr std::size_t kFilterBytes = 12;
constexpr uint32_t kFilterSlotCount = 32;
// The largest block: a whole ring of frames.
constexpr std::size_t kMaxBlockFrames = 13000;
constexpr std::size_t kMaxBlockBytes = kMaxBlockFrames * kFrameBytes;
constexpr std::size_t kMaxDataBytes = 8;

using Bytes = std::vector<uint8_t>;

struct WireMessage {
    uint32_t message = 0;
    uint32_t handle = 0;
    uint32_t parameter = 0;  // sender flag, or the block's kind
    Bytes block;             // data only
};

// A filter setting of a kind-1 block.
struct FilterSetting {
    uint32_t mask = 0;
    uint32_t value = 0;
    uint32_t slot = 0;
};

// Appends Startup / Handle / Shutdown.
void AppendNotification(Bytes& out, uint32_t message, uint32_t handle, uint32_t senderFlag);
// Appends a data header announcing `count` block bytes; the block follows.
void AppendDataHeader(Bytes& out, uint32_t handle, uint32_t kind, uint32_t count);
// Sets the byte count of the data header at out[headerAt].
void PatchDataCount(Bytes& out, std::size_t headerAt, uint32_t count);
// Appends one frame in the 14-byte layout (all 8 data bytes as given).
void AppendFrame(Bytes& out, const CanFrame& frame);
void AppendFilter(Bytes& out, const FilterSetting& filter);

Bytes Notification(uint32_t message, uint32_t handle, uint32_t senderFlag);
Bytes FramesMessage(uint32_t handle, const CanFrame* frames, std::size_t count);
Bytes FilterMessage(uint32_t handle, const FilterSetting& filter);

// The frames of a kind-0 block, in block order: every whole 14-byte frame
// whose length byte is 0-8; trailing bytes short of a frame and frames with
// a larger length byte are skipped. Data bytes past the length are zero.
std::vector<CanFrame> FramesOfBlock(const uint8_t* bytes, std::size_t size);
// The filter of a kind-1 block: exactly 12 bytes and a slot 0-31, else none.
std::optional<FilterSetting> FilterOfBlock(const uint8_t* bytes, std::size_t size);

// Splits a byte stream into messages. Robust to messages split at any byte
// and to several in one read. Memory: one partial message (at most
// kHeaderBytes + kMaxBlockBytes) plus the bytes not yet taken by Next(); drain
// Next() after each Feed. One thread.
class WireReader {
public:
    void Feed(const uint8_t* bytes, std::size_t size);
    // The next complete message, or none yet (or after the stream broke).
    std::optional<WireMessage> Next();
    // A header announced a block above kMaxBlockBytes: nothing more is read.
    bool broken() const { return broken_; }

private:
    Bytes pending_;
    std::size_t start_ = 0;  // first unread byte of pending_
    bool broken_ = false;
};

}  // namespace sharing
