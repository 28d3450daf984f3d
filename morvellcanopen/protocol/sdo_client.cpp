#include "sdo_client.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "can_frame.h"
#include "crc16.h"
#include "frame_duration.h"
#include "sdo_abort.h"
#include "sdo_wire.h"

namespace morvell::sdo {
namespace {

using namespace wire;

// Byte positions inside an SDO frame.
constexpr unsigned kCommandByte = 0;
constexpr unsigned kIndexByte = 1;  // 2 bytes, little-endian
constexpr unsigned kSubindexByte = 3;
constexpr unsigned kInitiateDataByte = 4;     // expedited data, size or abort code (4 bytes)
constexpr unsigned kSegmentDataByte = 1;      // segment data (7 bytes)
constexpr unsigned kBlockSizeByte = 4;        // block initiate: blksize
constexpr unsigned kSwitchThresholdByte = 5;  // block upload initiate: pst
constexpr unsigned kAckSequenceByte = 1;      // block ack: ackseq
constexpr unsigned kAckBlockSizeByte = 2;     // block ack: blksize of the next block
constexpr unsigned kEndCrcByte = 1;           // block end: CRC (2 bytes)
constexpr unsigned kExpeditedBytes = 4;

// Completion codes (the binding's result codes).
constexpr std::int32_t kSuccess = 0;
constexpr std::int32_t kCancelled = 1;
constexpr std::int32_t kSdoError = 5;
constexpr std::int32_t kTimedOut = 11;

constexpr std::uint8_t commandOf(std::uint8_t specifier) {
    return static_cast<std::uint8_t>(specifier << 5);
}

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

void putLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void putLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

Client::Client(ClientConfig config) : config_(config) {}

void Client::setConfig(const ClientConfig& config) {
    config_ = config;
    block_upload_refused_.fill(false);
    block_download_refused_.fill(false);
}

bool Client::busy() const {
    return state_ != State::Idle;
}

// ---- starting -------------------------------------------------------------------------------

void Client::startUpload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                         std::span<std::uint8_t> destination, TimePoint now) {
    if (busy()) return;
    now_ = now;
    transfer_ = Transfer{};
    transfer_.node = node;
    transfer_.index = index;
    transfer_.subindex = subindex;
    transfer_.destination = destination;
    pending_bus_time_ = {};
    const bool block = config_.block_upload && !block_upload_refused_[node % kNodeSlots];
    state_ = block ? sendBlockUploadInitiate() : sendInitiateUpload();
    waitFor(config_.response_timeout, now);
}

void Client::startDownload(std::uint8_t node, std::uint16_t index, std::uint8_t subindex,
                           std::span<const std::uint8_t> data, TimePoint now) {
    if (busy()) return;
    now_ = now;
    transfer_ = Transfer{};
    transfer_.node = node;
    transfer_.index = index;
    transfer_.subindex = subindex;
    transfer_.source.assign(data.begin(), data.end());
    transfer_.size = static_cast<std::uint32_t>(data.size());
    pending_bus_time_ = {};
    const std::uint32_t min_bytes = config_.block_download_min_bytes;
    const bool block =
        min_bytes != 0 && data.size() >= min_bytes && !block_download_refused_[node % kNodeSlots];
    state_ = block ? sendBlockDownloadInitiate() : sendInitiateDownload();
    waitFor(config_.response_timeout, now);
}

// ---- inputs ---------------------------------------------------------------------------------

void Client::onFrame(const CanFrame& frame, TimePoint now) {
    if (state_ == State::Idle) return;
    if (isExtended(frame) || isRemote(frame) || !isValidFrame(frame)) return;
    if (frame.id != kResponseBase + transfer_.node) return;
    now_ = now;
    if (cannotAnswerInitiate(frame)) return;
    state_ = dispatch(frame);
    if (state_ == State::Idle) return;
    // Inside a started block, segments follow each other closely; half the
    // response time without one means the block's end was lost.
    const bool inside_block = state_ == State::BlockUploadSubBlock && blockStarted();
    waitFor(inside_block ? config_.response_timeout / 2 : config_.response_timeout, now);
}

void Client::waitFor(std::chrono::milliseconds response_time, TimePoint now) {
    deadline_ = now +
                std::chrono::duration_cast<Clock::duration>(std::exchange(pending_bus_time_, {})) +
                response_time;
}

// A block upload whose segments stop after some arrived lost the end of its
// block: the client acknowledges what it has, the server resends the rest,
// and only a silence after that is a time-out.
void Client::onTimer(TimePoint now) {
    if (state_ == State::Idle || now < deadline_) return;
    now_ = now;
    if (state_ == State::BlockUploadSubBlock && blockStarted()) {
        state_ = acknowledgeBlock();
        waitFor(config_.response_timeout, now);
        return;
    }
    sendAbort(code(Abort::Timeout));
    state_ =
        complete(kTimedOut, "No response from node " + std::to_string(transfer_.node) + " within " +
                                std::to_string(config_.response_timeout.count()) + " ms");
}

void Client::cancel(TimePoint now) {
    if (state_ == State::Idle) return;
    now_ = now;
    sendAbort(code(Abort::General));
    state_ = complete(kCancelled, "Transfer cancelled");
}

void Client::fail(std::int32_t result_code, std::string text) {
    if (state_ == State::Idle) return;
    state_ = complete(result_code, std::move(text));
}

std::optional<TimePoint> Client::deadline() const {
    if (state_ == State::Idle) return std::nullopt;
    return deadline_;
}

std::vector<CanFrame> Client::takeFrames() {
    return std::exchange(frames_, {});
}
std::optional<float> Client::takeProgress() {
    return std::exchange(progress_, std::nullopt);
}
std::optional<Completion> Client::takeCompletion() {
    return std::exchange(completion_, std::nullopt);
}

// While waiting for the answer to an initiate request only an answer to
// this request counts: the initiate response (or the protocol-switch response
// of a block upload) or an abort, each naming this transfer's index and
// subindex. Anything else is a late frame of an earlier transfer.
bool Client::cannotAnswerInitiate(const CanFrame& f) const {
    const bool initiate = state_ == State::UploadInitiate || state_ == State::BlockUploadInitiate ||
                          state_ == State::DownloadInitiate ||
                          state_ == State::BlockDownloadInitiate;
    if (!initiate) return false;
    if (f.length < kFrameLength) return true;
    const std::uint8_t command = f.data[kCommandByte];
    const std::uint8_t scs = specifier(command);
    bool fits = scs == kScsAbort;
    switch (state_) {
        case State::UploadInitiate:
            fits = fits || scs == kScsInitiateUpload;
            break;
        case State::BlockUploadInitiate:
            // Response 110- -cs0: bit 0 (ss) is 0 for the initiate response.
            fits = fits || scs == kScsInitiateUpload ||
                   (scs == kScsBlockUpload && (command & kBlockEnd) == 0);
            break;
        case State::DownloadInitiate:
            fits = fits || scs == kScsInitiateDownload;
            break;
        case State::BlockDownloadInitiate:
            fits =
                fits || (scs == kScsBlockDownload && (command & kBlockSubMask) == kBlockInitiate);
            break;
        default:
            break;
    }
    return !fits || !multiplexerMatches(f);
}

Client::State Client::dispatch(const CanFrame& f) {
    if (f.length < kFrameLength) return abortTransfer(code(Abort::General));
    const std::uint8_t command = f.data[kCommandByte];
    // Inside a sub-block every frame is a segment; 0x80 would be sequence 0.
    const bool abort = state_ == State::BlockUploadSubBlock ? command == kAbortCommand
                                                            : specifier(command) == kScsAbort;
    if (abort) return onServerAbort(le32(&f.data[kInitiateDataByte]));
    switch (state_) {
        case State::Idle:
            return State::Idle;
        case State::UploadInitiate:
            return onUploadInitiateResponse(f);
        case State::UploadSegment:
            return onUploadSegment(f);
        case State::BlockUploadInitiate:
            return onBlockUploadInitiateResponse(f);
        case State::BlockUploadSubBlock:
            return onBlockUploadSegment(f);
        case State::BlockUploadEnd:
            return onBlockUploadEnd(f);
        case State::DownloadInitiate:
            return onDownloadInitiateResponse(f);
        case State::DownloadSegment:
            return onDownloadSegmentResponse(f);
        case State::BlockDownloadInitiate:
            return onBlockDownloadInitiateResponse(f);
        case State::BlockDownloadSubBlock:
            return onBlockDownloadAck(f);
        case State::BlockDownloadEnd:
            return onBlockDownloadEnd(f);
    }
    return State::Idle;
}

// A server that refuses block transfer (0x05040001) is asked again the normal way.
Client::State Client::onServerAbort(std::uint32_t abort_code) {
    if (abort_code == code(Abort::CommandSpecifier)) {
        if (state_ == State::BlockUploadInitiate) {
            block_upload_refused_[transfer_.node % kNodeSlots] = true;
            return sendInitiateUpload();
        }
        if (state_ == State::BlockDownloadInitiate) {
            block_download_refused_[transfer_.node % kNodeSlots] = true;
            return sendInitiateDownload();
        }
    }
    return complete(kSdoError, describeAbort(abort_code));
}

// ---- upload ---------------------------------------------------------------------------------

// Request 0100 0000 | index | subindex | reserved.
Client::State Client::sendInitiateUpload() {
    send(withMultiplexer(commandOf(kCcsInitiateUpload)));
    return State::UploadInitiate;
}

// Response 010- nnes | index | subindex | data (e = 1) or size (s = 1).
// Only fitting responses get here (cannotAnswerInitiate).
Client::State Client::onUploadInitiateResponse(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    const bool size_indicated = (command & kSizeIndicated) != 0;
    if (command & kExpedited) {
        const unsigned unused = (command & kExpeditedUnusedMask) >> kExpeditedUnusedShift;
        if (!size_indicated && unused != 0) return abortTransfer(code(Abort::TypeLength));
        transfer_.size = size_indicated ? kExpeditedBytes - unused : unspecifiedExpeditedSize(f);
        if (auto fault = checkCapacity()) return *fault;
        if (auto fault = store({&f.data[kInitiateDataByte], *transfer_.size})) return *fault;
        updateProgress();
        return complete(kSuccess, {});
    }
    if (size_indicated) {
        transfer_.size = le32(&f.data[kInitiateDataByte]);
        if (auto fault = checkCapacity()) return *fault;
    }
    transfer_.toggle = false;
    return sendUploadSegmentRequest();
}

// A segment response must carry the expected specifier and this segment's
// toggle bit; otherwise the transfer is aborted.
std::optional<Client::State> Client::checkSegmentResponse(std::uint8_t command,
                                                          std::uint8_t expected_scs) {
    if (specifier(command) != expected_scs) return abortTransfer(code(Abort::CommandSpecifier));
    if (((command & kToggle) != 0) != transfer_.toggle)
        return abortTransfer(code(Abort::ToggleBit));
    return std::nullopt;
}

// Request 011t 0000 | reserved.
Client::State Client::sendUploadSegmentRequest() {
    Bytes b{};
    b[kCommandByte] = commandOf(kCcsUploadSegment) | (transfer_.toggle ? kToggle : 0);
    send(b);
    return State::UploadSegment;
}

// Response 000t nnnc | 7 - n data bytes.
Client::State Client::onUploadSegment(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (auto fault = checkSegmentResponse(command, kScsUploadSegment)) return *fault;
    const unsigned unused = (command & kSegmentUnusedMask) >> kSegmentUnusedShift;
    if (auto fault = store({&f.data[kSegmentDataByte], kSegmentDataBytes - unused})) return *fault;
    updateProgress();
    if (command & kLastSegment) {
        if (transfer_.size && transfer_.transferred != *transfer_.size)
            return abortTransfer(code(Abort::TypeLength));
        return complete(kSuccess, {});
    }
    transfer_.toggle = !transfer_.toggle;
    return sendUploadSegmentRequest();
}

// Request 1010 0c00 | index | subindex | blksize | pst | reserved.
Client::State Client::sendBlockUploadInitiate() {
    Bytes b = withMultiplexer(commandOf(kCcsBlockUpload) | kBlockCrcSupported | kBlockInitiate);
    b[kBlockSizeByte] = blockSize();
    b[kSwitchThresholdByte] = config_.protocol_switch_threshold;
    send(b);
    return State::BlockUploadInitiate;
}

// Response 110- -cs0 | index | subindex | size (s = 1); or a normal initiate
// upload response when the server switches protocol.
Client::State Client::onBlockUploadInitiateResponse(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (specifier(command) == kScsInitiateUpload) return onUploadInitiateResponse(f);
    transfer_.crc = (command & kBlockCrcSupported) != 0;
    if (command & kBlockSizeIndicated) {
        transfer_.size = le32(&f.data[kInitiateDataByte]);
        if (auto fault = checkCapacity()) return *fault;
    }
    transfer_.block_size = blockSize();
    transfer_.sequence = 0;
    // Request 1010 0011 | reserved: start.
    Bytes b{};
    b[kCommandByte] = commandOf(kCcsBlockUpload) | kBlockStart;
    send(b);
    return State::BlockUploadSubBlock;
}

// Segment cSSS SSSS | 7 bytes. Segments after a lost one are ignored; the
// acknowledgement 1010 0010 | ackseq | blksize at the end of the block names
// the last good one and the server resends the rest.
Client::State Client::onBlockUploadSegment(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    const unsigned sequence = command & kBlockSequenceMask;
    const bool last = (command & kBlockLastSegment) != 0;
    if (sequence == 0 || sequence > transfer_.block_size)
        return abortTransfer(code(Abort::SequenceNumber));
    if (!transfer_.sequence_error && sequence == transfer_.sequence + 1u) {
        if (auto fault = store(transfer_.pending)) return *fault;
        transfer_.pending.assign(&f.data[kSegmentDataByte],
                                 &f.data[kSegmentDataByte + kSegmentDataBytes]);
        transfer_.sequence = static_cast<std::uint8_t>(sequence);
        transfer_.last_segment = last;
        updateProgress();
    } else if (sequence > transfer_.sequence) {
        transfer_.sequence_error = true;
    }
    if (sequence != transfer_.block_size && !last) return State::BlockUploadSubBlock;
    return acknowledgeBlock();
}

// Request 1010 0010 | ackseq | blksize: the last good segment of the block.
Client::State Client::acknowledgeBlock() {
    Bytes b{};
    b[kCommandByte] = commandOf(kCcsBlockUpload) | kBlockAck;
    b[kAckSequenceByte] = transfer_.sequence;
    b[kAckBlockSizeByte] = blockSize();
    send(b);
    transfer_.block_size = blockSize();
    transfer_.sequence = 0;
    transfer_.sequence_error = false;
    return transfer_.last_segment ? State::BlockUploadEnd : State::BlockUploadSubBlock;
}

// Response 110n nn01 | CRC | reserved; request 1010 0001 | reserved.
Client::State Client::onBlockUploadEnd(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (specifier(command) != kScsBlockUpload || (command & kBlockEnd) == 0)
        return abortTransfer(code(Abort::CommandSpecifier));
    const unsigned unused = (command & kBlockEndUnusedMask) >> kBlockEndUnusedShift;
    const std::size_t last_bytes =
        transfer_.pending.size() - std::min<std::size_t>(unused, transfer_.pending.size());
    if (auto fault = store({transfer_.pending.data(), last_bytes})) return *fault;
    transfer_.pending.clear();
    if (transfer_.size && transfer_.transferred != *transfer_.size)
        return abortTransfer(code(Abort::TypeLength));
    if (transfer_.crc &&
        crc16(transfer_.destination.first(transfer_.transferred)) != le16(&f.data[kEndCrcByte]))
        return abortTransfer(code(Abort::Crc));
    Bytes b{};
    b[kCommandByte] = commandOf(kCcsBlockUpload) | kBlockEnd;
    send(b);
    updateProgress();
    return complete(kSuccess, {});
}

// ---- download -------------------------------------------------------------------------------

// Request 001- nnes | index | subindex | data (e = 1, 1-4 bytes) or size.
Client::State Client::sendInitiateDownload() {
    const std::vector<std::uint8_t>& data = transfer_.source;
    Bytes b = withMultiplexer(commandOf(kCcsInitiateDownload) | kSizeIndicated);
    transfer_.expedited = !data.empty() && data.size() <= kExpeditedBytes;
    if (transfer_.expedited) {
        const auto unused = static_cast<std::uint8_t>(kExpeditedBytes - data.size());
        b[kCommandByte] |= kExpedited | static_cast<std::uint8_t>(unused << kExpeditedUnusedShift);
        std::copy(data.begin(), data.end(), b.begin() + kInitiateDataByte);
    } else {
        putLe32(&b[kInitiateDataByte], static_cast<std::uint32_t>(data.size()));
    }
    send(b);
    return State::DownloadInitiate;
}

// Response 0110 0000 | index | subindex | reserved.
Client::State Client::onDownloadInitiateResponse(const CanFrame&) {
    if (transfer_.expedited) {
        transfer_.transferred = *transfer_.size;
        updateProgress();
        return complete(kSuccess, {});
    }
    transfer_.toggle = false;
    return sendDownloadSegment();
}

// Request 000t nnnc | 7 - n data bytes.
Client::State Client::sendDownloadSegment() {
    const std::uint32_t remaining = *transfer_.size - transfer_.transferred;
    const auto bytes = std::min<std::uint32_t>(kSegmentDataBytes, remaining);
    const bool last = bytes == remaining;
    Bytes b{};
    b[kCommandByte] = static_cast<std::uint8_t>(
        commandOf(kCcsDownloadSegment) | (transfer_.toggle ? kToggle : 0) |
        (kSegmentDataBytes - bytes) << kSegmentUnusedShift | (last ? kLastSegment : 0));
    const auto first = transfer_.source.begin() + transfer_.transferred;
    std::copy(first, first + bytes, b.begin() + kSegmentDataByte);
    transfer_.segment_bytes = bytes;
    send(b);
    return State::DownloadSegment;
}

// Response 001t 0000 | reserved.
Client::State Client::onDownloadSegmentResponse(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (auto fault = checkSegmentResponse(command, kScsDownloadSegment)) return *fault;
    transfer_.transferred += transfer_.segment_bytes;
    updateProgress();
    if (transfer_.transferred == *transfer_.size) return complete(kSuccess, {});
    transfer_.toggle = !transfer_.toggle;
    return sendDownloadSegment();
}

// Request 110- -cs0 | index | subindex | size.
Client::State Client::sendBlockDownloadInitiate() {
    Bytes b = withMultiplexer(commandOf(kCcsBlockDownload) | kBlockCrcSupported |
                              kBlockSizeIndicated | kBlockInitiate);
    putLe32(&b[kInitiateDataByte], *transfer_.size);
    send(b);
    return State::BlockDownloadInitiate;
}

// Response 1010 0c00 | index | subindex | blksize.
Client::State Client::onBlockDownloadInitiateResponse(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    const std::uint8_t block_size = f.data[kBlockSizeByte];
    if (block_size == 0 || block_size > kMaxBlockSize) return abortTransfer(code(Abort::BlockSize));
    transfer_.crc = (command & kBlockCrcSupported) != 0;
    transfer_.block_size = block_size;
    return sendBlock();
}

// Segments cSSS SSSS | 7 bytes, from the first unacknowledged byte on.
Client::State Client::sendBlock() {
    std::uint32_t offset = transfer_.transferred;
    transfer_.sequence = 0;
    transfer_.last_segment = false;
    while (transfer_.sequence < transfer_.block_size && !transfer_.last_segment) {
        const auto bytes = std::min<std::uint32_t>(kSegmentDataBytes, *transfer_.size - offset);
        transfer_.last_segment = offset + bytes == *transfer_.size;
        Bytes b{};
        b[kCommandByte] = static_cast<std::uint8_t>(
            ++transfer_.sequence | (transfer_.last_segment ? kBlockLastSegment : 0));
        const auto first = transfer_.source.begin() + offset;
        std::copy(first, first + bytes, b.begin() + kSegmentDataByte);
        send(b);
        offset += bytes;
    }
    return State::BlockDownloadSubBlock;
}

// Response 1010 0010 | ackseq | blksize; after the last block the request
// 110n nn01 | CRC ends the transfer.
Client::State Client::onBlockDownloadAck(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (specifier(command) != kScsBlockDownload || (command & kBlockSubMask) != kBlockAck)
        return abortTransfer(code(Abort::CommandSpecifier));
    const std::uint8_t acknowledged = f.data[kAckSequenceByte];
    if (acknowledged > transfer_.sequence) return abortTransfer(code(Abort::SequenceNumber));
    transfer_.transferred = std::min<std::uint32_t>(
        transfer_.transferred + acknowledged * kSegmentDataBytes, *transfer_.size);
    updateProgress();
    if (acknowledged == transfer_.sequence && transfer_.last_segment) {
        const std::uint32_t unused =
            (kSegmentDataBytes - *transfer_.size % kSegmentDataBytes) % kSegmentDataBytes;
        Bytes b{};
        b[kCommandByte] = static_cast<std::uint8_t>(commandOf(kCcsBlockDownload) |
                                                    unused << kBlockEndUnusedShift | kBlockEnd);
        if (transfer_.crc) putLe16(&b[kEndCrcByte], crc16(transfer_.source));
        send(b);
        return State::BlockDownloadEnd;
    }
    const std::uint8_t block_size = f.data[kAckBlockSizeByte];
    if (block_size == 0 || block_size > kMaxBlockSize) return abortTransfer(code(Abort::BlockSize));
    transfer_.block_size = block_size;
    return sendBlock();
}

// Response 1010 0001 | reserved.
Client::State Client::onBlockDownloadEnd(const CanFrame& f) {
    const std::uint8_t command = f.data[kCommandByte];
    if (specifier(command) != kScsBlockDownload || (command & kBlockSubMask) != kBlockEnd)
        return abortTransfer(code(Abort::CommandSpecifier));
    return complete(kSuccess, {});
}

// ---- helpers --------------------------------------------------------------------------------

// An expedited response without size carries up to 4 bytes. A smaller buffer
// takes the value when the bytes beyond it are zero (a small integer padded);
// otherwise the size stays 4 and the upload fails as too large.
std::uint32_t Client::unspecifiedExpeditedSize(const CanFrame& f) const {
    const std::uint8_t* data = &f.data[kInitiateDataByte];
    const std::size_t capacity = transfer_.destination.size();
    if (capacity >= kExpeditedBytes) return kExpeditedBytes;
    const bool padding_only =
        std::all_of(data + capacity, data + kExpeditedBytes, [](std::uint8_t b) { return b == 0; });
    return padding_only ? static_cast<std::uint32_t>(capacity) : kExpeditedBytes;
}

std::optional<Client::State> Client::checkCapacity() {
    const std::size_t capacity = transfer_.destination.size();
    if (!transfer_.size || *transfer_.size <= capacity) return std::nullopt;
    return abortTransfer(code(Abort::OutOfMemory), "Entry of " + std::to_string(*transfer_.size) +
                                                       " bytes does not fit the buffer of " +
                                                       std::to_string(capacity) + " bytes: ");
}

std::optional<Client::State> Client::store(std::span<const std::uint8_t> bytes) {
    const std::size_t end = std::size_t{transfer_.transferred} + bytes.size();
    if (transfer_.size && end > *transfer_.size) return abortTransfer(code(Abort::TypeLength));
    const std::size_t capacity = transfer_.destination.size();
    if (end > capacity) {
        return abortTransfer(code(Abort::OutOfMemory), "Entry larger than the buffer of " +
                                                           std::to_string(capacity) + " bytes: ");
    }
    std::copy(bytes.begin(), bytes.end(), transfer_.destination.begin() + transfer_.transferred);
    transfer_.transferred = static_cast<std::uint32_t>(end);
    return std::nullopt;
}

bool Client::blockStarted() const {
    return transfer_.sequence > 0 || transfer_.sequence_error;
}

bool Client::multiplexerMatches(const CanFrame& f) const {
    return le16(&f.data[kIndexByte]) == transfer_.index &&
           f.data[kSubindexByte] == transfer_.subindex;
}

std::uint8_t Client::blockSize() const {
    return static_cast<std::uint8_t>(std::clamp<unsigned>(config_.block_size, 1, kMaxBlockSize));
}

Client::Bytes Client::withMultiplexer(std::uint8_t command) const {
    Bytes b{};
    b[kCommandByte] = command;
    putLe16(&b[kIndexByte], transfer_.index);
    b[kSubindexByte] = transfer_.subindex;
    return b;
}

void Client::send(const Bytes& bytes) {
    CanFrame f{};
    f.id = kRequestBase + transfer_.node;
    f.length = kFrameLength;
    std::memcpy(f.data, bytes.data(), bytes.size());
    frames_.push_back(f);
    if (config_.bitrate_bps != 0) pending_bus_time_ += frameDuration(f, config_.bitrate_bps);
}

// Abort 1000 0000 | index | subindex | abort code.
void Client::sendAbort(std::uint32_t abort_code) {
    Bytes b = withMultiplexer(kAbortCommand);
    putLe32(&b[kInitiateDataByte], abort_code);
    send(b);
}

Client::State Client::abortTransfer(std::uint32_t abort_code, std::string explanation) {
    sendAbort(abort_code);
    return complete(kSdoError, explanation + describeAbort(abort_code));
}

Client::State Client::complete(std::int32_t result_code, std::string text) {
    completion_ = Completion{result_code, std::move(text), transfer_.transferred};
    transfer_.source = {};
    transfer_.destination = {};
    return State::Idle;
}

// Percent of the known size, reported in steps of at least 1 % and at 100 %.
void Client::updateProgress() {
    if (!transfer_.size || *transfer_.size == 0) return;
    const std::uint64_t total = *transfer_.size;
    const std::uint64_t done =
        std::min<std::uint64_t>(total, transfer_.transferred + transfer_.pending.size());
    const auto percent = static_cast<float>(100.0 * static_cast<double>(done) / total);
    const bool step = percent - transfer_.reported_percent >= 1.0f;
    const bool full = done == total && transfer_.reported_percent < 100.0f;
    if (!step && !full) return;
    transfer_.reported_percent = percent;
    progress_ = percent;
}

}  // namespace morvell::sdo
