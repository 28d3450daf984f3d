// Library settings read at each Hardware_Initialize: environment variables
// first, then the per-user file, then defaults.
//
//   MORVELLCANOPEN_CHANNEL            channel for every adapter (see channel.h)
//   MORVELLCANOPEN_SDO_TIMEOUT_MS     SDO response time-out, 1-60000 (file: sdo_timeout_ms)
//   MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN downloads of at least this many bytes use
//                                     block transfer, 0 = never (file: block_download_min)
//   MORVELLCANOPEN_BLOCK_UPLOAD       1 try block upload first, 0 never (file: block_upload)
#pragma once

#include <string>

#include "session.h"
#include "transport/channel.h"

namespace morvell::session {

struct LibrarySettings {
    std::string channel_text;  // resolved channel for the adapter
    SessionConfig session;
    std::string problem;  // a malformed value, reported as code 7 text; empty when fine
};

// getenv is a parameter so tests can supply their own environment.
using EnvironmentLookup = const char* (*)(const char*);

LibrarySettings loadLibrarySettings(std::int32_t adapter_code, std::uint8_t device_number,
                                    const transport::ConfigValues& file, EnvironmentLookup env);

}  // namespace morvell::session
