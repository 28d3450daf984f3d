#include "library_config.h"

#include <charconv>

namespace morvell::session {
namespace {

// Looks a setting up: environment first, then the file. Empty when absent.
std::string lookup(const char* env_name, const char* file_key, const transport::ConfigValues& file,
                   EnvironmentLookup env) {
    if (const char* v = env(env_name); v && *v) return v;
    const auto it = file.find(file_key);
    return it == file.end() ? std::string() : it->second;
}

bool readNumber(const std::string& text, unsigned long min, unsigned long max, unsigned long& out) {
    unsigned long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return false;
    out = value;
    return true;
}

}  // namespace

LibrarySettings loadLibrarySettings(std::int32_t adapter_code, std::uint8_t device_number,
                                    const transport::ConfigValues& file, EnvironmentLookup env) {
    LibrarySettings s;
    const char* channel_env = env("MORVELLCANOPEN_CHANNEL");
    s.channel_text = transport::resolveChannelText(adapter_code, device_number,
                                                   channel_env ? channel_env : "", file);
    unsigned long value = 0;
    auto setting = [&](const char* env_name, const char* key, unsigned long min, unsigned long max,
                       auto apply) {
        const std::string text = lookup(env_name, key, file, env);
        if (text.empty()) return;
        if (readNumber(text, min, max, value))
            apply(value);
        else if (s.problem.empty())
            s.problem = std::string("setting ") + env_name + " / " + key + " = '" + text +
                        "' is not a number " + std::to_string(min) + "-" + std::to_string(max);
    };
    setting("MORVELLCANOPEN_SDO_TIMEOUT_MS", "sdo_timeout_ms", 1, 60000, [&](unsigned long v) {
        s.session.sdo.response_timeout = std::chrono::milliseconds(v);
    });
    setting("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", "block_download_min", 0, 0xFFFFFFFFul,
            [&](unsigned long v) {
                s.session.sdo.block_download_min_bytes = static_cast<std::uint32_t>(v);
            });
    setting("MORVELLCANOPEN_BLOCK_UPLOAD", "block_upload", 0, 1,
            [&](unsigned long v) { s.session.sdo.block_upload = v != 0; });
    return s;
}

}  // namespace morvell::session
