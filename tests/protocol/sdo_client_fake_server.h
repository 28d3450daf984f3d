// Test helper: a minimal SDO server written independently of the library's
// server engine, and an exchange that runs the client engine against it on
// virtual time. Faults are injected by filters on the frames in flight.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "protocol/can_frame.h"
#include "protocol/crc16.h"
#include "protocol/sdo_client.h"

namespace sdoclienttest {

using morvell::sdo::Client;
using morvell::sdo::ClientConfig;
using morvell::sdo::Completion;
using morvell::sdo::TimePoint;
using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kNode = 5;
inline constexpr std::uint16_t kIndex = 0x2345;
inline constexpr std::uint8_t kSubindex = 6;

inline std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline CanFrame frame8(std::uint32_t id, std::initializer_list<std::uint8_t> bytes) {
    CanFrame f = morvell::makeFrame(id, bytes);
    f.length = 8;  // unspecified bytes stay 0
    return f;
}

inline Bytes pattern(std::size_t size) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

class FakeServer {
public:
    Bytes value;    // what uploads read
    Bytes written;  // what the last download wrote
    bool block_transfer = true;
    bool crc = true;
    bool indicate_size = true;
    std::uint8_t download_block_size = 127;
    std::optional<std::uint32_t> last_abort;  // received from the client
    int block_acks_sent = 0;
    std::vector<std::uint8_t> upload_acks;  // ackseq of each block upload ack received

    std::vector<CanFrame> handle(const CanFrame& request) {
        out_.clear();
        if (request.id != 0x600u + kNode) return out_;
        const std::uint8_t* d = request.data;
        if (d[0] == 0x80) {
            last_abort = le32(d + 4);
            mode_ = Mode::Idle;
            return out_;
        }
        if (mode_ == Mode::BlockDownload) {
            onBlockDownloadSegment(d);
            return out_;
        }
        switch (d[0] >> 5) {
            case 2:
                initiateUpload();
                break;
            case 3:
                uploadSegment(d);
                break;
            case 5:
                blockUpload(d);
                break;
            case 1:
                initiateDownload(d);
                break;
            case 0:
                downloadSegment(d);
                break;
            case 6:
                blockDownload(d);
                break;
            default:
                abort(0x05040001);
        }
        return out_;
    }

private:
    enum class Mode { Idle, UploadSegment, BlockUpload, DownloadSegment, BlockDownload };

    void respond(std::initializer_list<std::uint8_t> bytes) {
        out_.push_back(frame8(0x580 + kNode, bytes));
    }
    void respondRaw(const std::uint8_t* d) {
        CanFrame f{};
        f.id = 0x580 + kNode;
        f.length = 8;
        std::copy(d, d + 8, f.data);
        out_.push_back(f);
    }
    void abort(std::uint32_t code) {
        const std::uint8_t d[8] = {0x80,
                                   kIndex & 0xFF,
                                   kIndex >> 8,
                                   kSubindex,
                                   static_cast<std::uint8_t>(code),
                                   static_cast<std::uint8_t>(code >> 8),
                                   static_cast<std::uint8_t>(code >> 16),
                                   static_cast<std::uint8_t>(code >> 24)};
        respondRaw(d);
        mode_ = Mode::Idle;
    }
    std::uint8_t sizeBits() const { return indicate_size ? 1 : 0; }

    void initiateUpload() {
        const auto size = static_cast<std::uint32_t>(value.size());
        if (size >= 1 && size <= 4) {
            std::uint8_t d[8] = {static_cast<std::uint8_t>(0x42 | sizeBits() |
                                                           (indicate_size ? (4 - size) << 2 : 0)),
                                 kIndex & 0xFF, kIndex >> 8, kSubindex};
            std::copy(value.begin(), value.end(), d + 4);
            respondRaw(d);
            mode_ = Mode::Idle;
            return;
        }
        respond({static_cast<std::uint8_t>(0x40 | sizeBits()), kIndex & 0xFF, kIndex >> 8,
                 kSubindex, static_cast<std::uint8_t>(indicate_size ? size : 0),
                 static_cast<std::uint8_t>(indicate_size ? size >> 8 : 0),
                 static_cast<std::uint8_t>(indicate_size ? size >> 16 : 0)});
        mode_ = Mode::UploadSegment;
        offset_ = 0;
        toggle_ = false;
    }

    void uploadSegment(const std::uint8_t* d) {
        if (mode_ != Mode::UploadSegment) return abort(0x05040001);
        if (((d[0] & 0x10) != 0) != toggle_) return abort(0x05030000);
        const std::size_t n = std::min<std::size_t>(7, value.size() - offset_);
        const bool last = offset_ + n == value.size();
        std::uint8_t r[8] = {
            static_cast<std::uint8_t>((toggle_ ? 0x10 : 0) | (7 - n) << 1 | (last ? 1 : 0))};
        std::copy_n(value.begin() + static_cast<long>(offset_), n, r + 1);
        respondRaw(r);
        offset_ += n;
        toggle_ = !toggle_;
        if (last) mode_ = Mode::Idle;
    }

    void blockUpload(const std::uint8_t* d) {
        switch (d[0] & 3) {
            case 0: {  // initiate
                if (!block_transfer) return abort(0x05040001);
                client_crc_ = (d[0] & 4) != 0;
                block_size_ = d[4];
                if (d[5] != 0 && value.size() <= d[5]) return initiateUpload();
                const auto size = static_cast<std::uint32_t>(value.size());
                respond({static_cast<std::uint8_t>(0xC0 | (crc ? 4 : 0) | (indicate_size ? 2 : 0)),
                         kIndex & 0xFF, kIndex >> 8, kSubindex,
                         static_cast<std::uint8_t>(indicate_size ? size : 0),
                         static_cast<std::uint8_t>(indicate_size ? size >> 8 : 0),
                         static_cast<std::uint8_t>(indicate_size ? size >> 16 : 0)});
                mode_ = Mode::BlockUpload;
                offset_ = 0;
                started_ = false;
                return;
            }
            case 3:  // start
                if (mode_ != Mode::BlockUpload || started_) return abort(0x05040001);
                started_ = true;
                return sendUploadBlock();
            case 2: {  // ack
                if (mode_ != Mode::BlockUpload) return abort(0x05040001);
                upload_acks.push_back(d[1]);
                offset_ = std::min(value.size(), block_start_ + d[1] * 7u);
                block_size_ = d[2];
                if (d[1] == sent_ && last_sent_) {
                    const std::size_t unused = value.empty() ? 7 : (7 - value.size() % 7) % 7;
                    std::uint16_t c = morvell::sdo::crc16(value);
                    if (!crc || !client_crc_) c = 0;
                    respond({static_cast<std::uint8_t>(0xC1 | unused << 2),
                             static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
                    ended_ = true;
                    return;
                }
                return sendUploadBlock();
            }
            case 1:  // end
                if (!ended_) abort(0x05040001);
                mode_ = Mode::Idle;
                return;
        }
    }

    void sendUploadBlock() {
        block_start_ = offset_;
        sent_ = 0;
        last_sent_ = false;
        ended_ = false;
        std::size_t at = offset_;
        while (sent_ < block_size_ && !last_sent_) {
            const std::size_t n = std::min<std::size_t>(7, value.size() - at);
            last_sent_ = at + n == value.size();
            std::uint8_t r[8] = {static_cast<std::uint8_t>(++sent_ | (last_sent_ ? 0x80 : 0))};
            std::copy_n(value.begin() + static_cast<long>(at), n, r + 1);
            respondRaw(r);
            at += n;
        }
    }

    void initiateDownload(const std::uint8_t* d) {
        written.clear();
        if (d[0] & 2) {
            const unsigned n = (d[0] & 1) ? 4 - ((d[0] >> 2) & 3) : 4;
            written.assign(d + 4, d + 4 + n);
            mode_ = Mode::Idle;
        } else {
            expected_size_ = le32(d + 4);
            mode_ = Mode::DownloadSegment;
            toggle_ = false;
        }
        respond({0x60, kIndex & 0xFF, kIndex >> 8, kSubindex});
    }

    void downloadSegment(const std::uint8_t* d) {
        if (mode_ != Mode::DownloadSegment) return abort(0x05040001);
        if (((d[0] & 0x10) != 0) != toggle_) return abort(0x05030000);
        const unsigned n = 7 - ((d[0] >> 1) & 7);
        written.insert(written.end(), d + 1, d + 1 + n);
        respond({static_cast<std::uint8_t>(0x20 | (toggle_ ? 0x10 : 0))});
        toggle_ = !toggle_;
        if (d[0] & 1) {
            mode_ = Mode::Idle;
            if (written.size() != expected_size_) abort(0x06070010);
        }
    }

    void blockDownload(const std::uint8_t* d) {
        if ((d[0] & 1) == 0) {  // initiate
            if (!block_transfer) return abort(0x05040001);
            client_crc_ = (d[0] & 4) != 0;
            expected_size_ = le32(d + 4);
            written.clear();
            respond({static_cast<std::uint8_t>(0xA0 | (crc ? 4 : 0)), kIndex & 0xFF, kIndex >> 8,
                     kSubindex, download_block_size});
            mode_ = Mode::BlockDownload;
            sequence_ = 0;
            sequence_error_ = false;
            last_received_ = false;
            return;
        }
        // end
        if (!last_received_) return abort(0x05040001);
        const unsigned unused = (d[0] >> 2) & 7;
        written.resize(written.size() - unused);
        const std::uint16_t c = static_cast<std::uint16_t>(d[1] | d[2] << 8);
        if (crc && client_crc_ && c != morvell::sdo::crc16(written)) return abort(0x05040004);
        if (written.size() != expected_size_) return abort(0x06070010);
        respond({0xA1});
        mode_ = Mode::Idle;
    }

    void onBlockDownloadSegment(const std::uint8_t* d) {
        const unsigned seq = d[0] & 0x7F;
        const bool last = (d[0] & 0x80) != 0;
        if (!sequence_error_ && seq == sequence_ + 1u) {
            written.insert(written.end(), d + 1, d + 8);
            sequence_ = static_cast<std::uint8_t>(seq);
            last_received_ = last;
        } else {
            sequence_error_ = true;
        }
        if (seq != download_block_size && !last) return;
        respond({0xA2, sequence_, download_block_size});
        ++block_acks_sent;
        if (last_received_) mode_ = Mode::Idle;  // the end request follows
        sequence_ = 0;
        sequence_error_ = false;
    }

    Mode mode_ = Mode::Idle;
    std::vector<CanFrame> out_;
    std::size_t offset_ = 0;
    std::size_t block_start_ = 0;
    bool toggle_ = false;
    bool client_crc_ = false;
    bool started_ = false;
    bool ended_ = false;
    bool last_sent_ = false;
    bool last_received_ = false;
    bool sequence_error_ = false;
    std::uint8_t block_size_ = 0;
    std::uint8_t sent_ = 0;
    std::uint8_t sequence_ = 0;
    std::uint32_t expected_size_ = 0;
};

// Runs client and server against each other on virtual time. Filters see
// every frame in flight and may change it or drop it (return false).
struct Exchange {
    Client client;
    FakeServer server;
    TimePoint now{};
    std::function<bool(CanFrame&)> to_server_filter;
    std::function<bool(CanFrame&)> to_client_filter;
    std::vector<CanFrame> client_frames;  // everything the client sent
    std::vector<float> progress;
    std::optional<Completion> completion;
    int completions = 0;

    explicit Exchange(ClientConfig config = {}) : client(config) {}

    void collect() {
        for (const CanFrame& f : client.takeFrames()) pending_.push_back(f);
        if (auto p = client.takeProgress()) progress.push_back(*p);
        if (auto c = client.takeCompletion()) {
            ++completions;
            completion = c;
        }
    }

    // Delivers frames until the transfer completes; time moves on to the
    // client's deadline when nothing is in flight.
    void run() {
        collect();
        for (int steps = 0; steps < 1000000 && client.busy(); ++steps) {
            if (pending_.empty()) {
                now = *client.deadline();
                client.onTimer(now);
                collect();
                continue;
            }
            std::vector<CanFrame> batch;
            batch.swap(pending_);
            for (CanFrame f : batch) {
                client_frames.push_back(f);
                if (to_server_filter && !to_server_filter(f)) continue;
                for (CanFrame r : server.handle(f)) {
                    if (to_client_filter && !to_client_filter(r)) continue;
                    client.onFrame(r, now);
                    collect();
                }
            }
        }
        // The client's last frames (end response, abort) still reach the server.
        for (CanFrame f : pending_) {
            client_frames.push_back(f);
            server.handle(f);
        }
        pending_.clear();
    }

    Completion upload(Bytes& destination) {
        reset();
        client.startUpload(kNode, kIndex, kSubindex, destination, now);
        run();
        return completion.value_or(Completion{-1, "no completion", 0});
    }

    Completion download(const Bytes& data) {
        reset();
        client.startDownload(kNode, kIndex, kSubindex, data, now);
        run();
        return completion.value_or(Completion{-1, "no completion", 0});
    }

    void reset() {
        client_frames.clear();
        progress.clear();
        completion.reset();
        completions = 0;
        server.last_abort.reset();
    }

private:
    std::vector<CanFrame> pending_;
};

}  // namespace sdoclienttest
