#include "sdo_server.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "can_frame.h"
#include "crc16.h"
#include "frame_duration.h"
#include "sdo_abort.h"
#include "sdo_wire.h"

namespace morvell::sdo {
namespace {

constexpr unsigned kExpeditedMaxBytes = 4;
constexpr unsigned kDataOffset = 4;  // first data byte of initiate frames
constexpr unsigned kShortFrameLength = 4;
constexpr std::uint16_t kCrcFaultMask = 0xFFFF;
constexpr std::size_t kMaxIndicatedSize = 0xFFFFFFFF;

// Block upload requests: byte 4 block size, byte 5 protocol switch threshold.
constexpr unsigned kBlockSizeByte = 4;
constexpr unsigned kSwitchThresholdByte = 5;
// Block acknowledgements: byte 1 ackseq, byte 2 next block size.
constexpr unsigned kAckSequenceByte = 1;
constexpr unsigned kAckBlockSizeByte = 2;
// Block end frames: CRC in bytes 1-2.
constexpr unsigned kCrcByte = 1;

constexpr std::uint8_t command(std::uint8_t specifier) {
    return static_cast<std::uint8_t>(specifier << 5);
}

std::uint32_t readU32(const std::array<std::uint8_t, 8>& r, unsigned at) {
    return static_cast<std::uint32_t>(r[at]) | static_cast<std::uint32_t>(r[at + 1]) << 8 |
           static_cast<std::uint32_t>(r[at + 2]) << 16 |
           static_cast<std::uint32_t>(r[at + 3]) << 24;
}

void writeU32(std::array<std::uint8_t, 8>& r, unsigned at, std::uint32_t v) {
    for (unsigned i = 0; i < 4; ++i) r[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool validBlockSize(std::uint8_t size) {
    return size >= 1 && size <= wire::kMaxBlockSize;
}

}  // namespace

Server::Server(ServerConfig config, ObjectAccess& objects) : config_(config), objects_(objects) {
    config_.block_size = std::clamp<std::uint8_t>(config_.block_size, 1, wire::kMaxBlockSize);
}

void Server::setFault(ServerFault fault, std::uint32_t abort_code) {
    fault_ = fault;
    fault_abort_code_ = abort_code;
}

ServerFault Server::fault() const {
    return fault_;
}

std::optional<TimePoint> Server::deadline() const {
    return deadline_;
}

std::vector<CanFrame> Server::takeFrames() {
    return std::exchange(out_, {});
}

void Server::onFrame(const CanFrame& frame, TimePoint now) {
    if (frame.id != wire::kRequestBase + config_.node || isExtended(frame) || isRemote(frame) ||
        frame.length > wire::kFrameLength || fault_ == ServerFault::NoAnswer)
        return;
    Request r{};
    std::memcpy(r.data(), frame.data, frame.length);
    if (frame.length > 0 && r[0] == wire::kAbortCommand) {
        state_ = State::Idle;  // the client ends the transfer; nothing to answer
    } else if (frame.length < wire::kFrameLength) {
        if (state_ == State::Idle) {
            index_ = static_cast<std::uint16_t>(r[1] | r[2] << 8);
            subindex_ = r[3];
        }
        state_ = abort(code(Abort::CommandSpecifier));
    } else {
        state_ = handleRequest(r);
    }
    const auto bus_time = std::exchange(pending_bus_time_, {});
    if (state_ == State::Idle)
        deadline_.reset();
    else
        deadline_ =
            now + std::chrono::duration_cast<TimePoint::duration>(bus_time) + config_.timeout;
}

void Server::onTimer(TimePoint now) {
    if (state_ == State::Idle || !deadline_ || now < *deadline_) return;
    if (fault_ != ServerFault::NoAnswer) abort(code(Abort::Timeout));
    state_ = State::Idle;
    deadline_.reset();
    pending_bus_time_ = {};
}

// Block download segments carry no command specifier: while a block runs,
// every request but an abort is a segment.
Server::State Server::handleRequest(const Request& r) {
    if (state_ == State::BlockDownloadSubBlock) return onBlockDownloadSegment(r);
    if (state_ == State::Idle || isInitiate(r)) {
        index_ = static_cast<std::uint16_t>(r[1] | r[2] << 8);
        subindex_ = r[3];
    }
    if (isInitiate(r)) return initiate(r);  // also while a transfer runs: start over
    switch (state_) {
        case State::Idle:
            return onIdle(r);
        case State::DownloadSegment:
            return onDownloadSegment(r);
        case State::UploadSegment:
            return onUploadSegment(r);
        case State::BlockDownloadSubBlock:
            return onBlockDownloadSegment(r);
        case State::BlockDownloadEnd:
            return onBlockDownloadEnd(r);
        case State::BlockUploadStart:
            return onBlockUploadStart(r);
        case State::BlockUploadSubBlock:
            return onBlockUploadAck(r);
        case State::BlockUploadEnd:
            return onBlockUploadEnd(r);
    }
    return abort(code(Abort::General));
}

bool Server::isInitiate(const Request& r) const {
    switch (wire::specifier(r[0])) {
        case wire::kCcsInitiateDownload:
        case wire::kCcsInitiateUpload:
            return true;
        case wire::kCcsBlockUpload:
            return (r[0] & wire::kBlockSubMask) == wire::kBlockInitiate;
        case wire::kCcsBlockDownload:
            return (r[0] & wire::kBlockEnd) == 0;  // cs: 1 bit
        default:
            return false;
    }
}

Server::State Server::initiate(const Request& r) {
    if (fault_ == ServerFault::Abort) return abort(fault_abort_code_);
    switch (wire::specifier(r[0])) {
        case wire::kCcsInitiateDownload:
            return initiateDownload(r);
        case wire::kCcsInitiateUpload:
            return initiateUpload();
        case wire::kCcsBlockUpload:
            return initiateBlockUpload(r);
        default:
            return initiateBlockDownload(r);
    }
}

Server::State Server::onIdle(const Request&) {
    return abort(code(Abort::CommandSpecifier));
}

// Initiate download request 001- nnes, response 0110 0000.
Server::State Server::initiateDownload(const Request& r) {
    const bool size_indicated = (r[0] & wire::kSizeIndicated) != 0;
    if (r[0] & wire::kExpedited) {
        // Without a size, all four data bytes are the value.
        const unsigned unused =
            size_indicated ? (r[0] & wire::kExpeditedUnusedMask) >> wire::kExpeditedUnusedShift : 0;
        const std::size_t size = kExpeditedMaxBytes - unused;
        if (std::uint32_t a = objects_.checkWrite(index_, subindex_, size)) return abort(a);
        if (std::uint32_t a =
                objects_.write(index_, subindex_, std::span(r).subspan(kDataOffset, size)))
            return abort(a);
        send(responseWithMultiplexer(command(wire::kScsInitiateDownload)));
        return State::Idle;
    }
    indicated_size_.reset();
    if (size_indicated) indicated_size_ = readU32(r, kDataOffset);
    if (std::uint32_t a = objects_.checkWrite(index_, subindex_, indicated_size_)) return abort(a);
    value_.clear();
    toggle_ = false;
    send(responseWithMultiplexer(command(wire::kScsInitiateDownload)));
    return State::DownloadSegment;
}

// Download segment request 000t nnnc, response 001t 0000.
Server::State Server::onDownloadSegment(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsDownloadSegment)
        return abort(code(Abort::CommandSpecifier));
    const bool toggle = (r[0] & wire::kToggle) != 0;
    if (toggle != toggle_) return abort(code(Abort::ToggleBit));
    const unsigned unused = (r[0] & wire::kSegmentUnusedMask) >> wire::kSegmentUnusedShift;
    value_.insert(value_.end(), r.begin() + 1, r.begin() + 1 + (wire::kSegmentDataBytes - unused));
    if (indicated_size_ && value_.size() > *indicated_size_) return abort(code(Abort::TypeLength));
    const bool last = (r[0] & wire::kLastSegment) != 0;
    if (last) {
        if (indicated_size_ && value_.size() != *indicated_size_)
            return abort(code(Abort::TypeLength));
        if (std::uint32_t a = objects_.write(index_, subindex_, value_)) return abort(a);
    }
    Response out{};
    out[0] = command(wire::kScsDownloadSegment) | responseToggle(toggle);
    send(out);
    toggle_ = !toggle_;
    return last ? State::Idle : State::DownloadSegment;
}

// Initiate upload request 0100 0000.
Server::State Server::initiateUpload() {
    value_.clear();
    if (std::uint32_t a = objects_.read(index_, subindex_, value_)) return abort(a);
    return respondInitiateUpload();
}

// Initiate upload response 010- nnes: expedited for 1-4 bytes, otherwise
// the size and segments to follow.
Server::State Server::respondInitiateUpload() {
    if (value_.size() > kMaxIndicatedSize) return abort(code(Abort::OutOfMemory));
    if (!value_.empty() && value_.size() <= kExpeditedMaxBytes) {
        const auto unused = static_cast<std::uint8_t>(kExpeditedMaxBytes - value_.size());
        Response out = responseWithMultiplexer(
            command(wire::kScsInitiateUpload) |
            static_cast<std::uint8_t>(unused << wire::kExpeditedUnusedShift) | wire::kExpedited |
            wire::kSizeIndicated);
        std::copy(value_.begin(), value_.end(), out.begin() + kDataOffset);
        send(out);
        return State::Idle;
    }
    Response out =
        responseWithMultiplexer(command(wire::kScsInitiateUpload) | wire::kSizeIndicated);
    writeU32(out, kDataOffset, static_cast<std::uint32_t>(value_.size()));
    send(out);
    toggle_ = false;
    segments_done_ = 0;
    return State::UploadSegment;
}

// Upload segment request 011t 0000, response 000t nnnc.
Server::State Server::onUploadSegment(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsUploadSegment)
        return abort(code(Abort::CommandSpecifier));
    const bool toggle = (r[0] & wire::kToggle) != 0;
    if (toggle != toggle_) return abort(code(Abort::ToggleBit));
    const std::size_t from = segments_done_ * wire::kSegmentDataBytes;
    const std::size_t count = std::min<std::size_t>(wire::kSegmentDataBytes, value_.size() - from);
    const bool last = ++segments_done_ == uploadSegmentCount();
    Response out{};
    out[0] =
        command(wire::kScsUploadSegment) | responseToggle(toggle) |
        static_cast<std::uint8_t>((wire::kSegmentDataBytes - count) << wire::kSegmentUnusedShift) |
        (last ? wire::kLastSegment : 0);
    std::copy_n(value_.begin() + static_cast<std::ptrdiff_t>(from), count, out.begin() + 1);
    send(out);
    toggle_ = !toggle_;
    return last ? State::Idle : State::UploadSegment;
}

// Initiate block upload request 1010 0c00, blksize in byte 4, pst in byte 5;
// response 110- -cs0 with the size, or a normal initiate upload response
// when the value is at most pst bytes (protocol switch).
Server::State Server::initiateBlockUpload(const Request& r) {
    if (!config_.block_transfer) return abort(code(Abort::CommandSpecifier));
    client_crc_ = (r[0] & wire::kBlockCrcSupported) != 0;
    block_size_ = r[kBlockSizeByte];
    if (!validBlockSize(block_size_)) return abort(code(Abort::BlockSize));
    value_.clear();
    if (std::uint32_t a = objects_.read(index_, subindex_, value_)) return abort(a);
    const std::uint8_t switch_threshold = r[kSwitchThresholdByte];
    if (switch_threshold != 0 && value_.size() <= switch_threshold) return respondInitiateUpload();
    if (value_.size() > kMaxIndicatedSize) return abort(code(Abort::OutOfMemory));
    Response out =
        responseWithMultiplexer(command(wire::kScsBlockUpload) | wire::kBlockCrcSupported |
                                wire::kBlockSizeIndicated | wire::kBlockInitiate);
    writeU32(out, kDataOffset, static_cast<std::uint32_t>(value_.size()));
    send(out);
    segments_done_ = 0;
    return State::BlockUploadStart;
}

// Start block upload request 1010 0011.
Server::State Server::onBlockUploadStart(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsBlockUpload ||
        (r[0] & wire::kBlockSubMask) != wire::kBlockStart)
        return abort(code(Abort::CommandSpecifier));
    return sendSubBlock();
}

// Sends up to block_size_ segments cSSS SSSS after the acknowledged ones.
Server::State Server::sendSubBlock() {
    const std::size_t total = uploadSegmentCount();
    const std::size_t count = std::min<std::size_t>(block_size_, total - segments_done_);
    for (std::size_t seq = 1; seq <= count; ++seq) {
        const std::size_t segment = segments_done_ + seq - 1;
        const std::size_t from = segment * wire::kSegmentDataBytes;
        const std::size_t bytes =
            std::min<std::size_t>(wire::kSegmentDataBytes, value_.size() - from);
        Response out{};
        out[0] = static_cast<std::uint8_t>(seq) |
                 (segment + 1 == total ? wire::kBlockLastSegment : std::uint8_t{0});
        std::copy_n(value_.begin() + static_cast<std::ptrdiff_t>(from), bytes, out.begin() + 1);
        send(out);
    }
    sequence_ = static_cast<std::uint8_t>(count);
    return State::BlockUploadSubBlock;
}

// Block acknowledgement 1010 0010, ackseq in byte 1, next blksize in byte 2.
// Segments after ackseq are sent again in the next block.
Server::State Server::onBlockUploadAck(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsBlockUpload ||
        (r[0] & wire::kBlockSubMask) != wire::kBlockAck)
        return abort(code(Abort::CommandSpecifier));
    const std::uint8_t ack_sequence = r[kAckSequenceByte];
    if (ack_sequence > sequence_) return abort(code(Abort::SequenceNumber));
    segments_done_ += ack_sequence;
    if (segments_done_ == uploadSegmentCount()) return sendBlockUploadEnd();
    block_size_ = r[kAckBlockSizeByte];
    if (!validBlockSize(block_size_)) return abort(code(Abort::BlockSize));
    return sendSubBlock();
}

// End block upload 110n nn01, CRC in bytes 1-2 when the client supports it.
Server::State Server::sendBlockUploadEnd() {
    const auto unused =
        static_cast<std::uint8_t>(uploadSegmentCount() * wire::kSegmentDataBytes - value_.size());
    Response out{};
    out[0] = command(wire::kScsBlockUpload) |
             static_cast<std::uint8_t>(unused << wire::kBlockEndUnusedShift) | wire::kBlockEnd;
    if (client_crc_ || fault_ == ServerFault::BadBlockCrc) {
        std::uint16_t crc = crc16(value_);
        if (fault_ == ServerFault::BadBlockCrc) crc ^= kCrcFaultMask;
        out[kCrcByte] = static_cast<std::uint8_t>(crc);
        out[kCrcByte + 1] = static_cast<std::uint8_t>(crc >> 8);
    }
    send(out);
    return State::BlockUploadEnd;
}

// End block upload response 1010 0001 completes the transfer.
Server::State Server::onBlockUploadEnd(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsBlockUpload ||
        (r[0] & wire::kBlockSubMask) != wire::kBlockEnd)
        return abort(code(Abort::CommandSpecifier));
    return State::Idle;
}

// Initiate block download request 110- -cs0 (size in bytes 4-7 when s);
// response 1010 0c00 with the block size in byte 4.
Server::State Server::initiateBlockDownload(const Request& r) {
    if (!config_.block_transfer) return abort(code(Abort::CommandSpecifier));
    client_crc_ = (r[0] & wire::kBlockCrcSupported) != 0;
    indicated_size_.reset();
    if (r[0] & wire::kBlockSizeIndicated) indicated_size_ = readU32(r, kDataOffset);
    if (std::uint32_t a = objects_.checkWrite(index_, subindex_, indicated_size_)) return abort(a);
    value_.clear();
    block_size_ = config_.block_size;
    sequence_ = 0;
    last_segment_received_ = false;
    Response out = responseWithMultiplexer(command(wire::kScsBlockDownload) |
                                           wire::kBlockCrcSupported | wire::kBlockInitiate);
    out[kBlockSizeByte] = block_size_;
    send(out);
    return State::BlockDownloadSubBlock;
}

// Block segment cSSS SSSS. In-order segments are kept; after a gap the rest
// of the block is dropped. The block ends with its last sequence number or
// the last segment of the value; the ack names the last in-order segment so
// the client sends the rest again.
Server::State Server::onBlockDownloadSegment(const Request& r) {
    const std::uint8_t sequence = r[0] & wire::kBlockSequenceMask;
    const bool last = (r[0] & wire::kBlockLastSegment) != 0;
    if (sequence == sequence_ + 1 && !last_segment_received_) {
        value_.insert(value_.end(), r.begin() + 1, r.end());
        sequence_ = sequence;
        last_segment_received_ = last;
        // The last segment holds up to 7 bytes of padding.
        if (indicated_size_ && value_.size() > *indicated_size_ + wire::kSegmentDataBytes)
            return abort(code(Abort::TypeLength));
    }
    if (!last && sequence < block_size_) return State::BlockDownloadSubBlock;
    Response out{};
    out[0] = command(wire::kScsBlockDownload) | wire::kBlockAck;
    out[kAckSequenceByte] = sequence_;
    out[kAckBlockSizeByte] = block_size_;
    send(out);
    sequence_ = 0;
    return last_segment_received_ ? State::BlockDownloadEnd : State::BlockDownloadSubBlock;
}

// End block download request 110n nn01, CRC in bytes 1-2; response 1010 0001
// once the value is stored.
Server::State Server::onBlockDownloadEnd(const Request& r) {
    if (wire::specifier(r[0]) != wire::kCcsBlockDownload || (r[0] & wire::kBlockEnd) == 0)
        return abort(code(Abort::CommandSpecifier));
    if (fault_ == ServerFault::BadBlockCrc) return abort(code(Abort::Crc));
    const std::size_t unused = (r[0] & wire::kBlockEndUnusedMask) >> wire::kBlockEndUnusedShift;
    if (unused > value_.size()) return abort(code(Abort::TypeLength));
    value_.resize(value_.size() - unused);
    if (indicated_size_ && value_.size() != *indicated_size_) return abort(code(Abort::TypeLength));
    if (client_crc_) {
        const auto crc = static_cast<std::uint16_t>(r[kCrcByte] | r[kCrcByte + 1] << 8);
        if (crc != crc16(value_)) return abort(code(Abort::Crc));
    }
    if (std::uint32_t a = objects_.write(index_, subindex_, value_)) return abort(a);
    Response out{};
    out[0] = command(wire::kScsBlockDownload) | wire::kBlockEnd;
    send(out);
    return State::Idle;
}

// Abort transfer 1000 0000, multiplexer, code in bytes 4-7.
Server::State Server::abort(std::uint32_t abort_code) {
    Response out = responseWithMultiplexer(wire::kAbortCommand);
    writeU32(out, kDataOffset, abort_code);
    send(out);
    return State::Idle;
}

Server::Response Server::responseWithMultiplexer(std::uint8_t command_byte) const {
    return {command_byte, static_cast<std::uint8_t>(index_), static_cast<std::uint8_t>(index_ >> 8),
            subindex_};
}

std::uint8_t Server::responseToggle(bool toggle) const {
    if (fault_ == ServerFault::WrongToggle) toggle = !toggle;
    return toggle ? wire::kToggle : 0;
}

// Segments of the value; an empty value still takes one.
std::size_t Server::uploadSegmentCount() const {
    return std::max<std::size_t>(
        1, (value_.size() + wire::kSegmentDataBytes - 1) / wire::kSegmentDataBytes);
}

void Server::send(const Response& bytes) {
    CanFrame f{};
    f.id = wire::kResponseBase + config_.node;
    f.length = fault_ == ServerFault::ShortFrames ? kShortFrameLength : wire::kFrameLength;
    std::memcpy(f.data, bytes.data(), bytes.size());
    out_.push_back(f);
    if (config_.bitrate_bps != 0) pending_bus_time_ += frameDuration(f, config_.bitrate_bps);
}

}  // namespace morvell::sdo
