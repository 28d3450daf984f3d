// Reassembles SDO downloads to one node from the frames a hub client sees on
// the bus: expedited, segmented and block transfers. Block segments count
// once they are acknowledged, so a repeated sub-block does not double them.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/quorbus_test_client.h"

namespace managertest {

struct SeenDownload {
    uint16_t index = 0;
    uint8_t subindex = 0;
    std::vector<uint8_t> data;
    bool aborted = false;  // either side sent an abort
};

class SdoDownloadReader {
public:
    SdoDownloadReader(quorbustest::HubClient& client, uint8_t node)
        : client_(client), node_(node) {}

    // The next download to the node, read up to its end (or abort); nothing
    // when none began and ended within the limit.
    std::optional<SeenDownload> next(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        std::optional<SeenDownload> seen;
        Phase phase = Phase::Idle;
        std::map<int, std::vector<uint8_t>> subBlock;
        int lastSegment = 0;
        while (auto message = client_.next(std::chrono::duration_cast<std::chrono::milliseconds>(
                   end - std::chrono::steady_clock::now()))) {
            const auto timed =
                morvell::socketcand::parseFrame(morvell::socketcand::splitWords(*message));
            if (!timed || timed->frame.length != 8) continue;
            const uint8_t* d = timed->frame.data;
            const bool request = timed->frame.id == 0x600u + node_;
            const bool response = timed->frame.id == 0x580u + node_;
            if (!request && !response) continue;
            if (phase != Phase::Idle && d[0] == 0x80) {
                seen->aborted = true;
                return seen;
            }
            switch (phase) {
                case Phase::Idle:
                    if (!request) break;
                    if ((d[0] >> 5) == 1) {  // initiate download
                        seen = SeenDownload{uint16_t(d[1] | d[2] << 8), d[3], {}, false};
                        if (d[0] & 0x02) {  // expedited
                            const int unused = (d[0] & 0x01) ? (d[0] >> 2) & 3 : 0;
                            seen->data.assign(d + 4, d + 8 - unused);
                            return seen;
                        }
                        phase = Phase::Segments;
                    } else if ((d[0] >> 5) == 6 && (d[0] & 0x01) == 0) {  // block initiate
                        seen = SeenDownload{uint16_t(d[1] | d[2] << 8), d[3], {}, false};
                        phase = Phase::Blocks;
                    }
                    break;
                case Phase::Segments:
                    if (!request || (d[0] >> 5) != 0) break;
                    seen->data.insert(seen->data.end(), d + 1, d + 8 - ((d[0] >> 1) & 7));
                    if (d[0] & 0x01) return seen;
                    break;
                case Phase::Blocks:
                    if (request) {
                        subBlock[d[0] & 0x7F].assign(d + 1, d + 8);
                        if (d[0] & 0x80) lastSegment = d[0] & 0x7F;
                    } else if (d[0] == 0xA2) {  // sub-block acknowledged up to d[1]
                        for (int seq = 1; seq <= d[1]; ++seq) {
                            const auto& bytes = subBlock[seq];
                            seen->data.insert(seen->data.end(), bytes.begin(), bytes.end());
                        }
                        if (lastSegment != 0 && lastSegment <= d[1]) phase = Phase::BlockEnd;
                        subBlock.clear();
                        lastSegment = 0;
                    }
                    break;
                case Phase::BlockEnd:
                    if (request && (d[0] >> 5) == 6 && (d[0] & 0x01) == 1) {
                        seen->data.resize(seen->data.size() - ((d[0] >> 2) & 7));
                        return seen;
                    }
                    break;
            }
        }
        return std::nullopt;
    }

private:
    enum class Phase { Idle, Segments, Blocks, BlockEnd };

    quorbustest::HubClient& client_;
    const uint8_t node_;
};

}  // namespace managertest
