#include "trace/core/sdo_block_texts.h"

#include <algorithm>

#include "trace/core/sdo_block_wire.h"

namespace canopen_trace {
namespace {

constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kLastPrintable = 0x7E;
constexpr unsigned kMaxBytes = 8;

// Data byte `at`, 0 beyond the record's length.
uint8_t byteAt(const TraceRecord& record, unsigned at) {
    return at < std::min<unsigned>(record.length, kMaxBytes) ? record.data[at] : 0;
}

uint32_t read16(const TraceRecord& record, unsigned at) {
    return byteAt(record, at) | (uint32_t{byteAt(record, at + 1)} << 8);
}

uint32_t read32(const TraceRecord& record, unsigned at) {
    return read16(record, at) | (read16(record, at + 2) << 16);
}

void appendIndex(const TraceRecord& record, TextBuilder& out) {
    out.text("Index = 0x").hex(read16(record, kBlockIndexByte), 4);
    out.text(", Sub = 0x").hex(byteAt(record, kBlockSubindexByte), 2);
    out.text(", block");
}

void appendSize(const TraceRecord& record, uint8_t command, TextBuilder& out) {
    if (!(command & kBlockSizeBit)) return;
    out.text(", size = ")
        .signedDecimal(static_cast<int32_t>(read32(record, kBlockSizeByte)))
        .text(" bytes");
}

void appendCrcSupport(uint8_t command, TextBuilder& out) {
    if (command & kBlockCrcBit) out.text(", CRC");
}

void appendBlockSize(const TraceRecord& record, unsigned at, TextBuilder& out) {
    out.text(", block size = ").unsignedDecimal(byteAt(record, at));
}

void appendAck(const TraceRecord& record, TextBuilder& out) {
    out.text("block ack, sequence = ").unsignedDecimal(byteAt(record, kBlockSequenceByte));
    appendBlockSize(record, kBlockNextSizeByte, out);
}

void appendEnd(const TraceRecord& record, uint8_t command, TextBuilder& out) {
    out.text("block end, ")
        .unsignedDecimal((command >> kBlockUnusedShift) & kBlockUnusedMask)
        .text(" bytes unused, CRC = 0x")
        .hex(read16(record, kBlockCrcByte), 4);
}

// Data bytes 1-7 of a segment, those within the record's length.
void showSegment(const TraceRecord& record, SdoBlockTexts& out) {
    const uint8_t command = record.data[0];
    out.details.text("block segment, sequence = ").unsignedDecimal(command & kSegmentSequenceMask);
    if (command & kSegmentLastBit) out.details.text(", last segment");
    const unsigned end = std::min<unsigned>(record.length, kMaxBytes);
    for (unsigned i = kSegmentFirstDataByte; i < end; ++i) {
        const uint8_t byte = record.data[i];
        out.dataHex.hex(byte, 2).put(' ');
        out.dataAscii.put(
            byte >= kFirstPrintable && byte <= kLastPrintable ? static_cast<char>(byte) : '.');
    }
}

// The data sender's initiate (index, size, CRC support) or end (unused
// bytes, CRC): the client's in a download, the server's in an upload.
void appendSenderInitiateOrEnd(const TraceRecord& record, uint8_t command, TextBuilder& details) {
    if (command & kBlockEndBit) {
        appendEnd(record, command, details);
    } else {
        appendIndex(record, details);
        appendSize(record, command, details);
        appendCrcSupport(command, details);
    }
}

bool isSegment(const TraceRecord& record) {
    return (record.flags & kTraceFlagSdoBlockSegment) != 0 && record.length > 0;
}

}  // namespace

bool DescribeSdoBlockRequest(const TraceRecord& record, SdoBlockTexts& out) {
    const uint8_t command = byteAt(record, 0);
    if (isSegment(record)) {
        out.msgType.text("SDO Download Request");
        showSegment(record, out);
        return true;
    }
    switch (BlockSpecifier(command)) {
        case kBlockDownloadClient:
            out.msgType.text("SDO Download Request");
            appendSenderInitiateOrEnd(record, command, out.details);
            return true;
        case kBlockUploadClient:
            out.msgType.text("SDO Upload Request");
            switch (command & kBlockSubcommandMask) {
                case kBlockInitiate:
                    appendIndex(record, out.details);
                    appendBlockSize(record, kBlockSizeByte, out.details);
                    out.details.text(", threshold = ")
                        .unsignedDecimal(byteAt(record, kBlockThresholdByte));
                    appendCrcSupport(command, out.details);
                    break;
                case kBlockEnd:
                    out.details.text("block end");
                    break;
                case kBlockAck:
                    appendAck(record, out.details);
                    break;
                default:
                    out.details.text("block start");
                    break;
            }
            return true;
        default:
            return false;
    }
}

bool DescribeSdoBlockResponse(const TraceRecord& record, SdoBlockTexts& out) {
    const uint8_t command = byteAt(record, 0);
    if (isSegment(record)) {
        out.msgType.text("SDO Upload Response");
        showSegment(record, out);
        return true;
    }
    switch (BlockSpecifier(command)) {
        case kBlockUploadServer:
            out.msgType.text("SDO Upload Response");
            appendSenderInitiateOrEnd(record, command, out.details);
            return true;
        case kBlockDownloadServer:
            switch (command & kBlockSubcommandMask) {
                case kBlockInitiate:
                    out.msgType.text("SDO Download Response");
                    appendIndex(record, out.details);
                    appendBlockSize(record, kBlockSizeByte, out.details);
                    appendCrcSupport(command, out.details);
                    return true;
                case kBlockEnd:
                    out.msgType.text("SDO Download Response");
                    out.details.text("block end");
                    return true;
                case kBlockAck:
                    out.msgType.text("SDO Download Response");
                    appendAck(record, out.details);
                    return true;
                default:
                    return false;  // 101x xx11 is no server command
            }
        default:
            return false;
    }
}

}  // namespace canopen_trace
