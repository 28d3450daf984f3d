// SDO block transfer frames (CiA 301) as the trace reads them. Command byte
// layouts, bit 7 first (x = reserved):
//
//   client download initiate   110x xcs0   c = CRC supported, s = size in bytes 4-7
//   client download end        110n nnx1   n = bytes of the last segment without data,
//                                          CRC in bytes 1-2
//   server download initiate   101x xc00   block size in byte 4
//   server download end        101x xx01
//   server download ack        101x xx10   sequence in byte 1, next block size in byte 2
//   client upload initiate     101x xc00   block size in byte 4, switch threshold in byte 5
//   client upload end          101x xx01
//   client upload ack          101x xx10   sequence in byte 1, next block size in byte 2
//   client upload start        101x xx11
//   server upload initiate     110x xcs0   size in bytes 4-7
//   server upload end          110n nnx1   as the client's download end
//   segment (either side)      cnnn nnnn   c = last segment, n = sequence 1-127,
//                                          data in bytes 1-7
// Initiate frames carry the index in bytes 1-2 and the sub-index in byte 3.
#pragma once

#include <cstdint>

namespace canopen_trace {

inline constexpr uint32_t kBlockGroupMask = ~uint32_t{0x7F};
inline constexpr uint32_t kBlockNodeMask = 0x7F;
inline constexpr uint32_t kBlockRequestGroup = 0x600;   // client -> server
inline constexpr uint32_t kBlockResponseGroup = 0x580;  // server -> client

inline constexpr unsigned kBlockSpecifierShift = 5;
inline constexpr uint8_t kBlockDownloadClient = 6;  // ccs of a block download
inline constexpr uint8_t kBlockDownloadServer = 5;  // scs of a block download
inline constexpr uint8_t kBlockUploadClient = 5;    // ccs of a block upload
inline constexpr uint8_t kBlockUploadServer = 6;    // scs of a block upload

inline constexpr uint8_t kBlockSubcommandMask = 0x03;  // cs / ss of 101x xx__
inline constexpr uint8_t kBlockEndBit = 0x01;          // of 110x xxx_
inline constexpr uint8_t kBlockCrcBit = 0x04;          // c of an initiate
inline constexpr uint8_t kBlockSizeBit = 0x02;         // s of a 110 initiate
inline constexpr unsigned kBlockUnusedShift = 2;       // n of an end
inline constexpr uint8_t kBlockUnusedMask = 0x07;

inline constexpr uint8_t kBlockInitiate = 0;  // cs / ss values
inline constexpr uint8_t kBlockEnd = 1;
inline constexpr uint8_t kBlockAck = 2;
inline constexpr uint8_t kBlockStart = 3;  // upload only

inline constexpr uint8_t kBlockAbortByte = 0x80;

inline constexpr uint8_t kSegmentLastBit = 0x80;
inline constexpr uint8_t kSegmentSequenceMask = 0x7F;

// Byte positions.
inline constexpr unsigned kBlockIndexByte = 1;  // bytes 1-2
inline constexpr unsigned kBlockSubindexByte = 3;
inline constexpr unsigned kBlockSizeByte = 4;  // bytes 4-7: size; byte 4: block size
inline constexpr unsigned kBlockThresholdByte = 5;
inline constexpr unsigned kBlockSequenceByte = 1;  // of an ack
inline constexpr unsigned kBlockNextSizeByte = 2;  // of an ack
inline constexpr unsigned kBlockCrcByte = 1;       // bytes 1-2 of an end
inline constexpr unsigned kSegmentFirstDataByte = 1;
inline constexpr unsigned kSegmentDataBytes = 7;

constexpr uint8_t BlockSpecifier(uint8_t command) {
    return static_cast<uint8_t>(command >> kBlockSpecifierShift);
}
// 110x xxx0 / 110x xxx1
constexpr bool IsBlockDownloadInitiate(uint8_t command) {
    return BlockSpecifier(command) == kBlockDownloadClient && !(command & kBlockEndBit);
}
constexpr bool IsBlockDownloadEnd(uint8_t command) {
    return BlockSpecifier(command) == kBlockDownloadClient && (command & kBlockEndBit);
}
constexpr bool IsBlockUploadInitiateResponse(uint8_t command) {
    return BlockSpecifier(command) == kBlockUploadServer && !(command & kBlockEndBit);
}
constexpr bool IsBlockUploadEnd(uint8_t command) {
    return BlockSpecifier(command) == kBlockUploadServer && (command & kBlockEndBit);
}
// 101x xx<subcommand>: the client's upload commands ...
constexpr bool IsUploadClientCommand(uint8_t command, uint8_t subcommand) {
    return BlockSpecifier(command) == kBlockUploadClient &&
           (command & kBlockSubcommandMask) == subcommand;
}
// ... and the server's download responses.
constexpr bool IsDownloadServerCommand(uint8_t command, uint8_t subcommand) {
    return BlockSpecifier(command) == kBlockDownloadServer &&
           (command & kBlockSubcommandMask) == subcommand;
}
constexpr bool IsBlockUploadInitiate(uint8_t command) {
    return IsUploadClientCommand(command, kBlockInitiate);
}
constexpr bool IsBlockDownloadInitiateResponse(uint8_t command) {
    return IsDownloadServerCommand(command, kBlockInitiate);
}

}  // namespace canopen_trace
