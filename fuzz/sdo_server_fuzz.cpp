// The SDO server engine fed client frames: any request sequence gets
// responses on 0x585 with 8 bytes (4 under the short-frames fault), the
// deadline exists only while a transfer runs, and stored values keep within
// their entry's limit.
#include <algorithm>
#include <chrono>

#include "fuzz_targets.h"
#include "protocol/can_frame.h"
#include "protocol/memory_objects.h"
#include "protocol/sdo_server.h"

namespace quorvane_fuzz {

int FuzzSdoServer(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    sdotest::MemoryObjects objects;
    objects.add(0x2000, 1, {0x78, 0x56, 0x34, 0x12});
    objects.add(0x2000, 2, std::vector<std::uint8_t>(20, 0x11)).max_size = 20;
    objects.add(0x2100, 0, std::vector<std::uint8_t>(300, 0x22));
    objects.add(0x1000, 0, {0x91, 0x01, 0, 0}).read_only = true;
    objects.add(0x2001, 0, {1}).write_abort = 0x08000020;

    morvell::sdo::ServerConfig config;
    config.node = 5;
    config.block_transfer = (data[0] & 1) != 0;
    config.block_size = static_cast<std::uint8_t>(std::clamp(data[1] & 0x7F, 1, 127));
    config.timeout = std::chrono::milliseconds(1000);
    morvell::sdo::Server server(config, objects);
    const auto fault = static_cast<morvell::sdo::ServerFault>((data[0] >> 1) % 6);
    server.setFault(fault, 0x06020000);

    morvell::sdo::TimePoint now{};
    // Steps of 10 bytes: control (length, kind), time passed, 8 data bytes.
    for (std::size_t at = 2; at + 10 <= size; at += 10) {
        const std::uint8_t control = data[at];
        now += std::chrono::milliseconds(data[at + 1] * 8);
        CanFrame frame{};
        frame.id = (control & 0x80) ? 0x606 : 0x605;
        frame.length = static_cast<std::uint8_t>(std::min(control & 0x0F, 8));
        if (control & 0x40) frame.flags = CANFRAME_FLAG_REMOTE;
        std::copy(data + at + 2, data + at + 10, frame.data);
        if (control & 0x20) {
            // Time runs to the deadline: the transfer it guards ends.
            if (auto deadline = server.deadline()) now = std::max(now, *deadline);
            server.onTimer(now);
            FUZZ_CHECK(!server.deadline() || *server.deadline() > now);
        } else {
            server.onFrame(frame, now);
        }
        for (const CanFrame& response : server.takeFrames()) {
            FUZZ_CHECK(response.id == 0x585 && response.flags == 0);
            FUZZ_CHECK(response.length ==
                       (fault == morvell::sdo::ServerFault::ShortFrames ? 4 : 8));
        }
    }
    FUZZ_CHECK(objects.value(0x2000, 2).size() <= 20);
    FUZZ_CHECK(objects.value(0x1000, 0).size() == 4 && objects.value(0x1000, 0)[0] == 0x91);
    return 0;
}

}  // namespace quorvane_fuzz
