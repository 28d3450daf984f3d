#include "trace/core/sdo_block_tracker.h"

#include "trace/core/sdo_block_wire.h"

using namespace canopen_trace;

namespace {

bool isAbort(uint8_t command) {
    return command == kBlockAbortByte;
}

}  // namespace

bool SdoBlockTracker::Observe(uint32_t identifier, uint8_t length, const uint8_t* data,
                              bool remote) {
    if (remote || length == 0) return false;
    const uint32_t group = identifier & kBlockGroupMask;
    if (group != kBlockRequestGroup && group != kBlockResponseGroup) return false;
    Transfer& transfer = transfers_[identifier & kBlockNodeMask];
    const uint8_t second = length > 1 ? data[1] : 0;
    return group == kBlockRequestGroup ? clientFrame(transfer, data[0], second)
                                       : serverFrame(transfer, data[0], second);
}

bool SdoBlockTracker::clientFrame(Transfer& t, uint8_t command, uint8_t second) {
    if (isAbort(command)) {
        t = Transfer{};
        return false;
    }
    switch (t.phase) {
        case Phase::kDownloadSegments:
            // cnnn nnnn: c = last segment, n = sequence number
            if (command & kSegmentLastBit) t.lastSequence = command & kSegmentSequenceMask;
            return true;
        case Phase::kDownloadEnding:
            if (IsBlockDownloadEnd(command)) return false;  // the server's response ends it
            break;
        case Phase::kUploadInitiated:
        case Phase::kUploadStarting:
            if (IsUploadClientCommand(command, kBlockStart)) {
                t.phase = Phase::kUploadSegments;
                t.lastSequence = 0;
                return false;
            }
            break;
        case Phase::kUploadSegments:
            if (IsUploadClientCommand(command, kBlockAck)) {
                // All segments up to the last one arrived: the end follows;
                // else the next sub-block starts at sequence 1 again.
                if (t.lastSequence != 0 && second >= t.lastSequence) {
                    t.phase = Phase::kUploadEnding;
                } else {
                    t.lastSequence = 0;
                }
                return false;
            }
            break;
        case Phase::kUploadEnding:
            if (IsUploadClientCommand(command, kBlockEnd)) {
                t = Transfer{};
                return false;
            }
            break;
        default:
            break;
    }
    // Anything else starts afresh: a new initiate, or a transfer of another kind.
    t = Transfer{};
    if (IsBlockDownloadInitiate(command)) t.phase = Phase::kDownloadInitiated;
    if (IsBlockUploadInitiate(command)) t.phase = Phase::kUploadInitiated;
    return false;
}

bool SdoBlockTracker::serverFrame(Transfer& t, uint8_t command, uint8_t second) {
    if (isAbort(command)) {
        t = Transfer{};
        return false;
    }
    switch (t.phase) {
        case Phase::kUploadSegments:
            if (command & kSegmentLastBit) t.lastSequence = command & kSegmentSequenceMask;
            return true;
        case Phase::kDownloadInitiated:
            if (IsBlockDownloadInitiateResponse(command)) {
                t.phase = Phase::kDownloadSegments;
                t.lastSequence = 0;
                return false;
            }
            break;
        case Phase::kDownloadSegments:
            if (IsDownloadServerCommand(command, kBlockAck)) {
                if (t.lastSequence != 0 && second >= t.lastSequence) {
                    t.phase = Phase::kDownloadEnding;
                } else {
                    t.lastSequence = 0;
                }
                return false;
            }
            break;
        case Phase::kDownloadEnding:
            if (IsDownloadServerCommand(command, kBlockEnd)) break;  // done
            return false;
        case Phase::kUploadInitiated:
            // A block initiate response, or a segmented/expedited one when
            // the server switched protocols (then no block follows).
            if (IsBlockUploadInitiateResponse(command)) {
                t.phase = Phase::kUploadStarting;
                return false;
            }
            break;
        case Phase::kUploadEnding:
            if (IsBlockUploadEnd(command)) return false;  // the client's response ends it
            break;
        default:
            return false;
    }
    t = Transfer{};
    return false;
}
