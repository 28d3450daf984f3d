// The SDO client and server engines talking to each other over a channel
// that the input disturbs: frames dropped, doubled, held back while time
// passes. However disturbed, the client completes exactly once, and a
// transfer it reports as successful moved exactly the right bytes.
#include <algorithm>
#include <chrono>
#include <deque>
#include <vector>

#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "protocol/memory_objects.h"
#include "protocol/sdo_client.h"
#include "protocol/sdo_server.h"

namespace quorvane_fuzz {
namespace {

using namespace std::chrono_literals;
namespace sdo = morvell::sdo;

constexpr std::uint8_t kNode = 5;
constexpr std::uint16_t kIndex = 0x2345;
constexpr std::uint8_t kSubindex = 6;
constexpr int kSettleSteps = 100000;

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
    bool empty() const { return at_ >= size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

struct Conversation {
    sdotest::MemoryObjects objects;
    sdo::Client client;
    std::optional<sdo::Server> server;
    sdo::TimePoint now{};
    std::deque<CanFrame> to_server, to_client;
    std::optional<sdo::Completion> completion;
    int completions = 0;

    void collect() {
        for (const CanFrame& f : client.takeFrames()) to_server.push_back(f);
        for (const CanFrame& f : server->takeFrames()) to_client.push_back(f);
        (void)client.takeProgress();
        if (auto c = client.takeCompletion()) {
            ++completions;
            completion = c;
        }
        FUZZ_CHECK(completions <= 1);
    }

    void deliverToServer() {
        if (to_server.empty()) return;
        const CanFrame f = to_server.front();
        to_server.pop_front();
        server->onFrame(f, now);
    }
    void deliverToClient() {
        if (to_client.empty()) return;
        const CanFrame f = to_client.front();
        to_client.pop_front();
        client.onFrame(f, now);
    }
    void timers() {
        client.onTimer(now);
        server->onTimer(now);
    }
};

}  // namespace

int FuzzSdoConversation(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Conversation c;
    const std::uint8_t setup = in.byte();
    const bool upload = (setup & 1) != 0;
    const std::size_t length = std::size_t{in.byte()} * ((setup & 2) ? 9 : 1);
    const std::size_t capacity = (setup & 4) ? length / 2 + in.byte() % 8 : length + in.byte();

    sdo::ClientConfig client_config;
    client_config.response_timeout = 1000ms;
    client_config.block_upload = (setup & 0x08) != 0;
    client_config.block_download_min_bytes = (setup & 0x10) ? in.byte() : 0;
    client_config.block_size = in.byte();
    client_config.protocol_switch_threshold = in.byte();
    c.client.setConfig(client_config);

    sdo::ServerConfig server_config;
    server_config.node = kNode;
    server_config.block_transfer = (setup & 0x20) != 0;
    server_config.block_size = static_cast<std::uint8_t>(std::clamp(in.byte() & 0x7F, 1, 127));
    server_config.timeout = 1000ms;
    c.server.emplace(server_config, c.objects);

    const std::vector<std::uint8_t> stored = pattern(length, 0x11);
    const std::vector<std::uint8_t> sent = pattern(length, 0x99);
    c.objects.add(kIndex, kSubindex, upload ? stored : std::vector<std::uint8_t>{});
    std::vector<std::uint8_t> buffer(capacity, 0);
    if (upload) {
        c.client.startUpload(kNode, kIndex, kSubindex, buffer, c.now);
    } else {
        c.client.startDownload(kNode, kIndex, kSubindex, sent, c.now);
    }
    c.collect();

    // The disturbed part: each byte says what happens next.
    while (!in.empty() && c.completions == 0) {
        const std::uint8_t action = in.byte();
        switch (action & 7) {
            case 0:
            case 1:
                c.deliverToServer();
                break;
            case 2:
            case 3:
                c.deliverToClient();
                break;
            case 4:  // lost on the way
                if (action & 8) {
                    if (!c.to_server.empty()) c.to_server.pop_front();
                } else if (!c.to_client.empty()) {
                    c.to_client.pop_front();
                }
                break;
            case 5:  // sent twice
                if (action & 8) {
                    if (!c.to_server.empty()) c.to_server.push_front(c.to_server.front());
                } else if (!c.to_client.empty()) {
                    c.to_client.push_front(c.to_client.front());
                }
                break;
            default:  // time passes
                c.now += std::chrono::milliseconds((action >> 3) * 20);
                c.timers();
                break;
        }
        c.collect();
    }
    // Then the channel is perfect: every frame arrives, time runs to the
    // next deadline when nothing is under way.
    for (int step = 0; step < kSettleSteps && c.completions == 0; ++step) {
        if (!c.to_server.empty()) {
            c.deliverToServer();
        } else if (!c.to_client.empty()) {
            c.deliverToClient();
        } else {
            auto deadline = c.client.deadline();
            if (auto server_deadline = c.server->deadline())
                deadline = deadline ? std::min(*deadline, *server_deadline) : *server_deadline;
            FUZZ_CHECK(deadline.has_value());
            c.now = std::max(c.now, *deadline);
            c.timers();
        }
        c.collect();
    }
    FUZZ_CHECK(c.completions == 1);
    FUZZ_CHECK(!c.client.busy());
    if (c.completion->code != 0) return 0;
    if (upload) {
        FUZZ_CHECK(c.completion->length == length);
        FUZZ_CHECK(std::equal(stored.begin(), stored.end(), buffer.begin()));
    } else {
        FUZZ_CHECK(c.completion->length == length);
        FUZZ_CHECK(c.objects.value(kIndex, kSubindex) == sent);
    }
    return 0;
}

}  // namespace quorvane_fuzz
