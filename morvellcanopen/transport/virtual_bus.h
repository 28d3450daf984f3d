// The virtual bus: a socketcand connection to the quorbus hub on
// 127.0.0.1:PORT, bus name as interface. When nothing listens there, quorbus
// is started detached (it exits by itself 5 s after its last client left).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "channel.h"

namespace morvell::transport {

// Where quorbus is looked for. environment: MORVELLCANOPEN_QUORBUS (empty
// when unset); library_dir: folder of the program or library holding this
// code; path_variable: PATH.
struct QuorbusSearch {
    std::string environment;
    std::string library_dir;
    std::string path_variable;
};

// Candidate paths in order: the environment value alone when set; else
// library_dir/../bin/quorbus, library_dir/quorbus, then each PATH folder.
std::vector<std::string> quorbusCandidates(const QuorbusSearch& search);

// The search of this process: environment, dladdr() folder, PATH.
QuorbusSearch currentQuorbusSearch();

// First executable candidate; empty with a reason in *error when none.
std::string locateQuorbus(const QuorbusSearch& search, std::string* error);

// Starts `program --port PORT --idle-exit 5000 --quiet` detached (own
// session, standard streams on /dev/null, no inherited descriptors). Returns
// once it runs; false with a reason when it could not be executed.
bool startQuorbus(const std::string& program, std::uint16_t port, std::string* error);

// Connects to the hub on 127.0.0.1:port, starting it when nothing listens;
// another process may start one at the same moment (the loser exits with 2),
// so connecting is retried for up to kQuorbusStartLimit. bitrate_kbps is
// announced to the hub (0 = none).
OpenResult openVirtualBus(const std::string& bus, std::uint16_t port, int bitrate_kbps = 0);

inline constexpr std::chrono::milliseconds kQuorbusStartLimit{3000};

}  // namespace morvell::transport
