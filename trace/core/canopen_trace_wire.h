// CANopen predefined connection set (CiA 301) as the trace interpreter reads
// it: identifiers, function groups and the command bytes it decodes.
#pragma once

#include <cstdint>

namespace canopen_trace {

// Identifiers that stand for themselves.
inline constexpr uint32_t kIdNmt = 0x000;
inline constexpr uint32_t kIdSync = 0x080;
inline constexpr uint32_t kIdTime = 0x100;

// identifier = function group | node number (low 7 bits).
inline constexpr uint32_t kNodeMask = 0x7F;
inline constexpr uint32_t kFunctionGroupMask = ~kNodeMask;
inline constexpr uint32_t kGroupEmergency = 0x080;
inline constexpr uint32_t kGroupSdoResponse = 0x580;
inline constexpr uint32_t kGroupSdoRequest = 0x600;
inline constexpr uint32_t kGroupErrorControl = 0x700;

// NMT master request, byte 0.
inline constexpr uint8_t kNmtStart = 1;
inline constexpr uint8_t kNmtStop = 2;
inline constexpr uint8_t kNmtEnterPreOperational = 128;
inline constexpr uint8_t kNmtResetNode = 129;
inline constexpr uint8_t kNmtResetCommunication = 130;
inline constexpr uint8_t kNmtAllNodes = 0;  // byte 1

// NMT error control, byte 0 without the guarding toggle bit.
inline constexpr uint8_t kStateMask = 0x7F;
inline constexpr uint8_t kStateBootup = 0;
inline constexpr uint8_t kStateStopped = 4;
inline constexpr uint8_t kStateOperational = 5;
inline constexpr uint8_t kStatePreOperational = 127;

// SDO command byte: specifier in bits 7-5, toggle bit 4, then n, e, s.
inline constexpr unsigned kSpecifierShift = 5;
inline constexpr uint8_t kToggleBit = 0x10;
inline constexpr uint8_t kLastSegmentBit = 0x01;
inline constexpr uint8_t kSizeBitsMask = 0x03;      // e and s
inline constexpr unsigned kSegmentUnusedShift = 1;  // n of a segment, bits 3-1
inline constexpr uint8_t kSegmentUnusedMask = 0x07;
inline constexpr unsigned kExpeditedUnusedShift = 2;  // n of an expedited initiate, bits 3-2
inline constexpr uint8_t kExpeditedUnusedMask = 0x03;
inline constexpr unsigned kSegmentCapacity = 7;    // data bytes 1-7
inline constexpr unsigned kExpeditedCapacity = 4;  // data bytes 4-7
inline constexpr unsigned kSegmentFirstByte = 1;
inline constexpr unsigned kExpeditedFirstByte = 4;

// e/s combinations of an initiate command.
inline constexpr uint8_t kSizeNotIndicated = 0;  // segmented, no size
inline constexpr uint8_t kSizeIndicated = 1;     // segmented, size in bytes 4-7
inline constexpr uint8_t kExpeditedNoSize = 2;   // expedited, bytes 4-7
inline constexpr uint8_t kExpeditedSized = 3;    // expedited, n bytes unused

// Client command specifiers (requests, 0x600 + node).
inline constexpr uint8_t kCcsDownloadSegment = 0;
inline constexpr uint8_t kCcsInitiateDownload = 1;
inline constexpr uint8_t kCcsInitiateUpload = 2;
inline constexpr uint8_t kCcsUploadSegment = 3;
inline constexpr uint8_t kCcsAbort = 4;

// Server command specifiers (responses, 0x580 + node).
inline constexpr uint8_t kScsUploadSegment = 0;
inline constexpr uint8_t kScsDownloadSegment = 1;
inline constexpr uint8_t kScsInitiateUpload = 2;
inline constexpr uint8_t kScsInitiateDownload = 3;
inline constexpr uint8_t kScsAbort = 4;

// Byte positions.
inline constexpr unsigned kSdoIndexByte = 1;  // bytes 1-2
inline constexpr unsigned kSdoSubindexByte = 3;
inline constexpr unsigned kSdoValueByte = 4;       // bytes 4-7: size or abort code
inline constexpr unsigned kEmergencyDataByte = 3;  // manufacturer bytes 3-7
inline constexpr unsigned kTimeDaysByte = 4;       // bytes 4-5, bytes 0-3 are milliseconds
inline constexpr uint32_t kTimeMillisecondsMask = 0x0FFFFFFF;

inline constexpr unsigned kMaxDataLength = 8;

}  // namespace canopen_trace
