// Wire constants of the SDO protocol (CiA 301), shared by the client and
// server engines. Private to the protocol folder.
//
// Byte 0 of every SDO frame is the command byte. Bits 7-5 are the command
// specifier: ccs for client requests (COB-ID 0x600 + node), scs for server
// responses (0x580 + node). Layouts, bit 7 first:
//
//   client requests                       server responses
//   initiate download  001- nnes          initiate download  0110 0000
//   download segment   000t nnnc          download segment   001t 0000
//   initiate upload    0100 0000          initiate upload    010- nnes
//   upload segment     011t 0000          upload segment     000t nnnc
//   abort              1000 0000          abort              1000 0000
//   block download     110- -cs0 init     block download     1010 0c00 init
//                      110n nn-1 end                         1010 0010 ack
//                                                            1010 0001 end
//   block upload       1010 0c00 init     block upload       110- -cs0 init
//                      1010 0011 start                       110n nn01 end
//                      1010 0010 ack
//                      1010 0001 end
//   block segment      cSSS SSSS  (c = last segment, S = sequence 1-127)
//
// n: count of bytes in the frame that hold no data; e: expedited; s: size
// indicated; t: toggle; c (segments): last segment; c (block init): CRC
// supported. Multiplexer: bytes 1-2 index (little-endian), byte 3 subindex.
#pragma once

#include <cstdint>

namespace morvell::sdo::wire {

inline constexpr std::uint32_t kRequestBase = 0x600;   // client -> server, + node
inline constexpr std::uint32_t kResponseBase = 0x580;  // server -> client, + node
inline constexpr unsigned kFrameLength = 8;

inline constexpr std::uint8_t kSpecifierMask = 0xE0;
inline constexpr std::uint8_t specifier(std::uint8_t command) { return command >> 5; }

// Client command specifiers (ccs).
inline constexpr std::uint8_t kCcsDownloadSegment = 0;
inline constexpr std::uint8_t kCcsInitiateDownload = 1;
inline constexpr std::uint8_t kCcsInitiateUpload = 2;
inline constexpr std::uint8_t kCcsUploadSegment = 3;
inline constexpr std::uint8_t kCcsAbort = 4;
inline constexpr std::uint8_t kCcsBlockUpload = 5;
inline constexpr std::uint8_t kCcsBlockDownload = 6;

// Server command specifiers (scs).
inline constexpr std::uint8_t kScsUploadSegment = 0;
inline constexpr std::uint8_t kScsDownloadSegment = 1;
inline constexpr std::uint8_t kScsInitiateUpload = 2;
inline constexpr std::uint8_t kScsInitiateDownload = 3;
inline constexpr std::uint8_t kScsAbort = 4;
inline constexpr std::uint8_t kScsBlockDownload = 5;
inline constexpr std::uint8_t kScsBlockUpload = 6;

inline constexpr std::uint8_t kAbortCommand = 0x80;

// Bits of the initiate commands.
inline constexpr std::uint8_t kSizeIndicated = 0x01;  // s
inline constexpr std::uint8_t kExpedited = 0x02;      // e
inline constexpr unsigned kExpeditedUnusedShift = 2;  // nn, bits 3-2
inline constexpr std::uint8_t kExpeditedUnusedMask = 0x0C;

// Bits of segment commands.
inline constexpr std::uint8_t kToggle = 0x10;        // t
inline constexpr std::uint8_t kLastSegment = 0x01;   // c
inline constexpr unsigned kSegmentUnusedShift = 1;   // nnn, bits 3-1
inline constexpr std::uint8_t kSegmentUnusedMask = 0x0E;
inline constexpr unsigned kSegmentDataBytes = 7;

// Block transfer sub-commands (bits 1-0 of the command byte; cs for the
// client, ss for the server).
inline constexpr std::uint8_t kBlockSubMask = 0x03;
inline constexpr std::uint8_t kBlockInitiate = 0;
inline constexpr std::uint8_t kBlockEnd = 1;
inline constexpr std::uint8_t kBlockAck = 2;
inline constexpr std::uint8_t kBlockStart = 3;  // client, block upload only
inline constexpr std::uint8_t kBlockCrcSupported = 0x04;     // cc / sc
inline constexpr std::uint8_t kBlockSizeIndicated = 0x02;    // s in block initiate
inline constexpr unsigned kBlockEndUnusedShift = 2;          // nnn, bits 4-2 of end
inline constexpr std::uint8_t kBlockEndUnusedMask = 0x1C;
inline constexpr std::uint8_t kBlockLastSegment = 0x80;      // c in a block segment
inline constexpr std::uint8_t kBlockSequenceMask = 0x7F;
inline constexpr unsigned kMaxBlockSize = 127;               // segments per block

}  // namespace morvell::sdo::wire
