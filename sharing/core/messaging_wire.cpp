#include "sharing/core/messaging_wire.h"

#include <algorithm>
#include <cstring>

namespace sharing {

namespace {

void putU32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t getU32(const uint8_t* at) {
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

CanFrame frameAt(const uint8_t* at) {
    CanFrame frame{};
    frame.id = getU32(at);
    frame.length = at[4];
    frame.flags = at[5];
    std::memcpy(frame.data, at + 6, kMaxDataBytes);
    return frame;
}

}  // namespace

void AppendNotification(Bytes& out, uint32_t message, uint32_t handle, uint32_t senderFlag) {
    putU32(out, message);
    putU32(out, handle);
    putU32(out, senderFlag);
    putU32(out, 0);
}

void AppendDataHeader(Bytes& out, uint32_t handle, uint32_t kind, uint32_t count) {
    putU32(out, kMessageData);
    putU32(out, handle);
    putU32(out, kind);
    putU32(out, count);
}

void PatchDataCount(Bytes& out, std::size_t headerAt, uint32_t count) {
    for (int i = 0; i < 4; ++i) out[headerAt + 12 + i] = static_cast<uint8_t>(count >> (8 * i));
}

void AppendFrame(Bytes& out, const CanFrame& frame) {
    putU32(out, frame.id);
    out.push_back(frame.length);
    out.push_back(frame.flags);
    out.insert(out.end(), frame.data, frame.data + kMaxDataBytes);
}

void AppendFilter(Bytes& out, const FilterSetting& filter) {
    putU32(out, filter.mask);
    putU32(out, filter.value);
    putU32(out, filter.slot);
}

Bytes Notification(uint32_t message, uint32_t handle, uint32_t senderFlag) {
    Bytes out;
    AppendNotification(out, message, handle, senderFlag);
    return out;
}

Bytes FramesMessage(uint32_t handle, const CanFrame* frames, std::size_t count) {
    Bytes out;
    out.reserve(kHeaderBytes + count * kFrameBytes);
    AppendDataHeader(out, handle, kBlockFrames, static_cast<uint32_t>(count * kFrameBytes));
    for (std::size_t i = 0; i < count; ++i) AppendFrame(out, frames[i]);
    return out;
}

Bytes FilterMessage(uint32_t handle, const FilterSetting& filter) {
    Bytes out;
    AppendDataHeader(out, handle, kBlockFilter, kFilterBytes);
    AppendFilter(out, filter);
    return out;
}

std::vector<CanFrame> FramesOfBlock(const uint8_t* bytes, std::size_t size) {
    std::vector<CanFrame> frames;
    frames.reserve(size / kFrameBytes);
    for (std::size_t at = 0; at + kFrameBytes <= size; at += kFrameBytes) {
        CanFrame frame = frameAt(bytes + at);
        if (frame.length > kMaxDataBytes) continue;
        std::fill(frame.data + frame.length, frame.data + kMaxDataBytes, uint8_t{0});
        frames.push_back(frame);
    }
    return frames;
}

std::optional<FilterSetting> FilterOfBlock(const uint8_t* bytes, std::size_t size) {
    if (size != kFilterBytes) return std::nullopt;
    FilterSetting filter{getU32(bytes), getU32(bytes + 4), getU32(bytes + 8)};
    if (filter.slot >= kFilterSlotCount) return std::nullopt;
    return filter;
}

void WireReader::Feed(const uint8_t* bytes, std::size_t size) {
    if (broken_) return;
    if (start_ > 0 && start_ == pending_.size()) {
        pending_.clear();
        start_ = 0;
    } else if (start_ > 65536 && start_ * 2 > pending_.size()) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    pending_.insert(pending_.end(), bytes, bytes + size);
}

std::optional<WireMessage> WireReader::Next() {
    if (broken_ || pending_.size() - start_ < kHeaderBytes) return std::nullopt;
    const uint8_t* header = pending_.data() + start_;
    const uint32_t count = getU32(header + 12);
    if (count > kMaxBlockBytes) {
        broken_ = true;
        pending_.clear();
        start_ = 0;
        return std::nullopt;
    }
    if (pending_.size() - start_ < kHeaderBytes + count) return std::nullopt;
    WireMessage message;
    message.message = getU32(header);
    message.handle = getU32(header + 4);
    message.parameter = getU32(header + 8);
    message.block.assign(header + kHeaderBytes, header + kHeaderBytes + count);
    start_ += kHeaderBytes + count;
    return message;
}

}  // namespace sharing
