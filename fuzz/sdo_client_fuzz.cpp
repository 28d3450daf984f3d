// The SDO client engine fed server frames: the input picks the configuration
// and the transfers, then is read as steps (length, time passed, 8 bytes).
// Whatever arrives, every request goes to 0x605 with 8 bytes, each transfer
// completes exactly once with a known code, uploads never pass the buffer,
// and busy() and deadline() agree.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "protocol/sdo_client.h"

namespace quorvane_fuzz {
namespace {

using namespace std::chrono_literals;
namespace sdo = morvell::sdo;

constexpr std::uint8_t kNode = 5;

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

struct Run {
    sdo::Client client;
    sdo::TimePoint now{};
    std::vector<std::uint8_t> buffer;
    std::vector<std::uint8_t> source;
    bool upload = true;
    int started = 0, completed = 0;

    void collect() {
        for (const CanFrame& f : client.takeFrames()) {
            FUZZ_CHECK(f.id == 0x600u + kNode && f.length == 8 && f.flags == 0);
        }
        if (auto progress = client.takeProgress()) FUZZ_CHECK(*progress >= 0 && *progress <= 100);
        if (auto completion = client.takeCompletion()) {
            ++completed;
            FUZZ_CHECK(completed == started);
            const std::int32_t code = completion->code;
            FUZZ_CHECK(code == 0 || code == 1 || code == 5 || code == 8 || code == 11);
            FUZZ_CHECK((code == 0) == completion->text.empty());
            if (upload) FUZZ_CHECK(completion->length <= buffer.size());
            if (!upload && code == 0) FUZZ_CHECK(completion->length == source.size());
        }
        FUZZ_CHECK(client.busy() == (started > completed));
        FUZZ_CHECK(client.deadline().has_value() == client.busy());
    }

    void start(Input& in) {
        const std::uint8_t how = in.byte();
        upload = (how & 1) != 0;
        if (upload) {
            buffer.assign(std::size_t{in.byte()} * (how & 0x80 ? 8 : 1), 0);
            client.startUpload(kNode, 0x2345, 6, buffer, now);
        } else {
            source.assign(std::size_t{in.byte()} * (how & 0x80 ? 8 : 1), 0x5A);
            client.startDownload(kNode, 0x2345, 6, source, now);
        }
        ++started;
        collect();
    }
};

}  // namespace

int FuzzSdoClient(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Run run;
    const std::uint8_t setup = in.byte();
    sdo::ClientConfig config;
    config.response_timeout = std::chrono::milliseconds(1 + (setup & 0x0F) * 50);
    config.block_upload = (setup & 0x10) != 0;
    config.block_download_min_bytes = (setup & 0x20) ? 1 : 0;
    config.block_size = in.byte();  // the engine keeps it within 1-127
    config.protocol_switch_threshold = in.byte();
    run.client.setConfig(config);
    run.start(in);
    while (!in.empty()) {
        const std::uint8_t control = in.byte();
        run.now += std::chrono::milliseconds(in.byte() * 4);
        CanFrame frame{};
        frame.id = 0x580u + kNode;
        frame.length = static_cast<std::uint8_t>(std::min(control & 0x0F, 8));
        for (std::uint8_t& b : frame.data) b = in.byte();
        switch (control >> 4) {
            case 0x0:  // timer only
                run.client.onTimer(run.now);
                break;
            case 0x1:
                run.client.cancel(run.now);
                break;
            case 0x2:
                run.client.fail(8, "Interface closed");
                break;
            case 0x3:  // another node
                frame.id = 0x581;
                run.client.onFrame(frame, run.now);
                break;
            default:
                run.client.onFrame(frame, run.now);
                run.client.onTimer(run.now);
                break;
        }
        run.collect();
        if (!run.client.busy()) run.start(in);
    }
    return 0;
}

}  // namespace quorvane_fuzz
