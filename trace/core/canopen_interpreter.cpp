#include "trace/core/canopen_interpreter.h"

#include <algorithm>
#include <string>

#include "trace/core/calendar_text.h"
#include "trace/core/canopen_trace_wire.h"
#include "trace/core/emergency_codes.h"
#include "trace/core/message_names.h"
#include "trace/core/sdo_abort_texts.h"
#include "trace/core/sdo_block_texts.h"
#include "trace/core/trace_text.h"

using namespace canopen_trace;

std::string_view TraceLine::text(TraceColumn column) const {
    return std::string_view(texts[column].data());
}

namespace {

// The nine texts being written for one record.
struct LineWriter {
    explicit LineWriter(TraceLine& line)
        : msgType(line.texts[kColMsgType].data(), TraceLine::kTextSize),
          nodeId(line.texts[kColNodeId].data(), TraceLine::kTextSize),
          details(line.texts[kColDetails].data(), TraceLine::kTextSize),
          dataHex(line.texts[kColDataHex].data(), TraceLine::kTextSize),
          dataAscii(line.texts[kColDataAscii].data(), TraceLine::kTextSize) {}

    TextBuilder msgType;
    TextBuilder nodeId;
    TextBuilder details;
    TextBuilder dataHex;
    TextBuilder dataAscii;
};

constexpr uint8_t kDirectionTransmitted = 1;  // TraceRecord.direction
constexpr uint8_t kFirstPrintable = 0x20;
constexpr uint8_t kLastPrintable = 0x7E;

uint16_t read16(const uint8_t* data, unsigned at) {
    return static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
}

uint32_t read32(const uint8_t* data, unsigned at) {
    return static_cast<uint32_t>(data[at]) | (static_cast<uint32_t>(data[at + 1]) << 8) |
           (static_cast<uint32_t>(data[at + 2]) << 16) |
           (static_cast<uint32_t>(data[at + 3]) << 24);
}

unsigned validLength(const TraceRecord& record) {
    return std::min<unsigned>(record.length, kMaxDataLength);
}

void appendHexBytes(const uint8_t* data, unsigned first, unsigned count, TextBuilder& out) {
    for (unsigned i = first; i < first + count && i < kMaxDataLength; ++i) {
        out.hex(data[i], 2).put(' ');
    }
}

// Data (Hex) and Data (ASCII) of `count` bytes from `first`.
void showData(const uint8_t* data, unsigned first, unsigned count, LineWriter& w) {
    appendHexBytes(data, first, count, w.dataHex);
    for (unsigned i = first; i < first + count && i < kMaxDataLength; ++i) {
        const uint8_t byte = data[i];
        w.dataAscii.put(byte >= kFirstPrintable && byte <= kLastPrintable ? static_cast<char>(byte)
                                                                          : '.');
    }
}

// "1A (26d)"
void appendNode(uint32_t node, TextBuilder& out) {
    out.hex(node, 2).text(" (").unsignedDecimal(node).text("d)");
}

const char* toggleText(uint8_t command) {
    return (command & kToggleBit) ? "1" : "0";
}

void appendSegmentDetails(uint8_t command, TextBuilder& out) {
    out.text("toggle = ").text(toggleText(command));
    if (command & kLastSegmentBit) out.text(", last segment");
}

void showSegmentData(const uint8_t* data, LineWriter& w) {
    const unsigned unused = (data[0] >> kSegmentUnusedShift) & kSegmentUnusedMask;
    showData(data, kSegmentFirstByte, kSegmentCapacity - unused, w);
}

// Data of an initiate command by its e/s bits: the expedited bytes, else none.
void showInitiateData(const uint8_t* data, LineWriter& w) {
    const uint8_t sizeBits = data[0] & kSizeBitsMask;
    if (sizeBits == kExpeditedNoSize) {
        showData(data, kExpeditedFirstByte, kExpeditedCapacity, w);
    } else if (sizeBits == kExpeditedSized) {
        const unsigned unused = (data[0] >> kExpeditedUnusedShift) & kExpeditedUnusedMask;
        showData(data, kExpeditedFirstByte, kExpeditedCapacity - unused, w);
    }
}

void appendInitiateDetails(const uint8_t* data, TextBuilder& out) {
    switch (data[0] & kSizeBitsMask) {
        case kSizeNotIndicated:
            out.text("fragmented");
            break;
        case kSizeIndicated:
            out.text("fragmented, size = ")
                .signedDecimal(static_cast<int32_t>(read32(data, kSdoValueByte)))
                .text(" bytes");
            break;
        default:
            out.text("expedited");
            break;
    }
}

void appendMultiplexer(const uint8_t* data, TextBuilder& out) {
    out.text("Index = 0x").hex(read16(data, kSdoIndexByte), 4);
    out.text(", Sub = 0x").hex(data[kSdoSubindexByte], 2);
}

void appendAbortReason(const uint8_t* data, TextBuilder& out) {
    const char* reason = SdoAbortText(read32(data, kSdoValueByte));
    out.text(reason != nullptr ? reason : "Unknown reason");
}

void interpretNmt(const TraceRecord& record, LineWriter& w) {
    w.msgType.text("NMT Master Request");
    const uint8_t node = record.data[1];
    if (node == kNmtAllNodes) {
        w.nodeId.text("All");
    } else {
        appendNode(node, w.nodeId);
    }
    const char* command = "Unknown";
    switch (record.data[0]) {
        case kNmtStart:
            command = "Operational";
            break;
        case kNmtStop:
            command = "Stop";
            break;
        case kNmtEnterPreOperational:
            command = "Pre-Operational";
            break;
        case kNmtResetNode:
            command = "Reset";
            break;
        case kNmtResetCommunication:
            command = "Reset Communication";
            break;
        default:
            break;
    }
    w.details.text(command);
}

void interpretTime(const TraceRecord& record, LineWriter& w) {
    w.msgType.text("TIME");
    const uint32_t milliseconds = read32(record.data, 0) & kTimeMillisecondsMask;
    AppendTimeOfDay(milliseconds, read16(record.data, kTimeDaysByte), w.details);
    showData(record.data, 0, validLength(record), w);
}

void interpretEmergency(const TraceRecord& record, TEmergencyCodes& codes, LineWriter& w) {
    w.msgType.text("Emergency");
    char name[TraceLine::kTextSize];
    codes.EmergencyText(read16(record.data, 0), name, sizeof name);
    w.details.text(name);
    const unsigned length = validLength(record);
    if (length > kEmergencyDataByte) {
        showData(record.data, kEmergencyDataByte, length - kEmergencyDataByte, w);
    }
}

void interpretSdoResponse(const TraceRecord& record, LineWriter& w) {
    SdoBlockTexts block{w.msgType, w.details, w.dataHex, w.dataAscii};
    if (DescribeSdoBlockResponse(record, block)) return;
    const uint8_t* data = record.data;
    switch (data[0] >> kSpecifierShift) {
        case kScsUploadSegment:
            w.msgType.text("SDO Upload Response");
            appendSegmentDetails(data[0], w.details);
            showSegmentData(data, w);
            break;
        case kScsDownloadSegment:
            w.msgType.text("SDO Download Response");
            w.details.text("toggle = ").text(toggleText(data[0]));
            break;
        case kScsInitiateUpload:
            w.msgType.text("SDO Upload Response");
            appendInitiateDetails(data, w.details);
            showInitiateData(data, w);
            break;
        case kScsInitiateDownload:
            w.msgType.text("SDO Download Response");
            break;
        case kScsAbort:
            w.msgType.text("SDO Abort by Server");
            appendAbortReason(data, w.details);
            break;
        default:
            w.msgType.text("SDO Response");
            w.details.text("Unknown");
            showData(data, 0, validLength(record), w);
            break;
    }
}

void interpretSdoRequest(const TraceRecord& record, LineWriter& w) {
    SdoBlockTexts block{w.msgType, w.details, w.dataHex, w.dataAscii};
    if (DescribeSdoBlockRequest(record, block)) return;
    const uint8_t* data = record.data;
    switch (data[0] >> kSpecifierShift) {
        case kCcsDownloadSegment:
            w.msgType.text("SDO Download Request");
            appendSegmentDetails(data[0], w.details);
            showSegmentData(data, w);
            break;
        case kCcsInitiateDownload:
            w.msgType.text("SDO Download Request");
            appendMultiplexer(data, w.details);
            w.details.text(", ");
            appendInitiateDetails(data, w.details);
            showInitiateData(data, w);
            break;
        case kCcsInitiateUpload:
            w.msgType.text("SDO Upload Request");
            appendMultiplexer(data, w.details);
            break;
        case kCcsUploadSegment:
            w.msgType.text("SDO Upload Request");
            w.details.text("toggle = ").text(toggleText(data[0]));
            break;
        case kCcsAbort:
            w.msgType.text("SDO Abort by Client");
            appendAbortReason(data, w.details);
            break;
        default:
            w.msgType.text("SDO Request");
            w.details.text("Unknown");
            showData(data, 0, validLength(record), w);
            break;
    }
}

void interpretErrorControl(const TraceRecord& record, LineWriter& w) {
    if (record.flags & kTraceFlagRemote) {
        w.msgType.text("Node Guard Request");
        return;
    }
    const uint8_t state = record.data[0] & kStateMask;
    if (state == kStateBootup) {
        w.msgType.text("Bootup");
        return;
    }
    w.msgType.text("Node Guarding/Heartbeat");
    const char* name = "Unknown";
    switch (state) {
        case kStateStopped:
            name = "Stopped";
            break;
        case kStateOperational:
            name = "Operational";
            break;
        case kStatePreOperational:
            name = "Pre-Operational";
            break;
        default:
            break;
    }
    w.details.text(name);
}

void interpretOther(const TraceRecord& record, LineWriter& w) {
    w.details.text("COB-ID: 0x").hex(record.identifier, 1);
    showData(record.data, 0, validLength(record), w);
}

void interpretByIdentifier(const TraceRecord& record, TEmergencyCodes& codes, LineWriter& w) {
    const uint32_t id = record.identifier;
    if (id == kIdNmt) return interpretNmt(record, w);
    if (id == kIdSync) {
        w.msgType.text("SYNC");
        return;
    }
    if (id == kIdTime) return interpretTime(record, w);

    const uint32_t group = id & kFunctionGroupMask;
    const bool known = group == kGroupEmergency || group == kGroupSdoResponse ||
                       group == kGroupSdoRequest || group == kGroupErrorControl;
    if (!known) return interpretOther(record, w);
    appendNode(id & kNodeMask, w.nodeId);
    switch (group) {
        case kGroupEmergency:
            return interpretEmergency(record, codes, w);
        case kGroupSdoResponse:
            return interpretSdoResponse(record, w);
        case kGroupSdoRequest:
            return interpretSdoRequest(record, w);
        default:
            return interpretErrorControl(record, w);
    }
}

}  // namespace

void InterpretFrame(const TraceRecord& record, TEmergencyCodes& codes, const MessageNames* names,
                    TraceLine& line) {
    const int count = names != nullptr ? names->Count() : 0;
    for (int i = 0; i < count; ++i) {
        if (names->EffectiveId(i) != record.identifier) continue;
        const std::string name = names->DisplayName(i);
        return InterpretNamedFrame(record, codes, &name, line);
    }
    InterpretNamedFrame(record, codes, nullptr, line);
}

void InterpretNamedFrame(const TraceRecord& stored, TEmergencyCodes& codes, const std::string* name,
                         TraceLine& line) {
    // Bytes beyond the length read as zero, whatever the record held there.
    TraceRecord record = stored;
    const unsigned length = validLength(record);
    std::fill(record.data + length, record.data + kMaxDataLength, uint8_t{0});

    TextBuilder dir(line.texts[kColDir].data(), TraceLine::kTextSize);
    dir.text(record.direction == kDirectionTransmitted ? "Tx" : "Rx");
    TextBuilder(line.texts[kColCnt].data(), TraceLine::kTextSize).unsignedDecimal(record.count);
    const bool extended = (record.flags & kTraceFlagExtended) != 0;
    TextBuilder(line.texts[kColMsgId].data(), TraceLine::kTextSize)
        .hex(record.identifier, extended ? 8 : 3);

    LineWriter writer(line);
    interpretByIdentifier(record, codes, writer);
    if (name != nullptr) {
        if (!writer.msgType.empty()) writer.msgType.put(' ');
        writer.msgType.text(*name);
    }

    TextBuilder raw(line.texts[kColRaw].data(), TraceLine::kTextSize);
    appendHexBytes(record.data, 0, length, raw);
}
