#include "frame_text.h"

#include "number_text.h"
#include "protocol/can_frame.h"

namespace quorsim {
namespace {

inline constexpr std::size_t kMaxStandardIdDigits = 3;
inline constexpr std::size_t kMaxExtendedIdDigits = 8;
inline constexpr std::size_t kMaxDataBytes = 8;

std::optional<CanFrame> fail(std::string* error, std::string_view text, const char* reason) {
    if (error) *error = "frame '" + std::string(text) + "': " + reason;
    return std::nullopt;
}

}  // namespace

std::optional<CanFrame> parseFrameText(std::string_view text, std::string* error) {
    const auto hash = text.find('#');
    if (hash == std::string_view::npos) return fail(error, text, "expected ID#DATA, e.g. 181#1122");
    const std::string_view id_text = text.substr(0, hash);
    std::string_view data = text.substr(hash + 1);
    if (id_text.empty() || id_text.size() > kMaxExtendedIdDigits)
        return fail(error, text, "the identifier must be 1-8 hex digits");
    const bool extended = id_text.size() > kMaxStandardIdDigits;
    const auto id = parseUnsigned("0x" + std::string(id_text),
                                  extended ? morvell::kMaxExtendedId : morvell::kMaxStandardId);
    if (!id) return fail(error, text, "the identifier is not hex or out of range (7FF, 1FFFFFFF)");
    CanFrame f{};
    f.id = static_cast<std::uint32_t>(*id);
    if (extended) f.flags |= CANFRAME_FLAG_EXTENDED;
    if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        f.flags |= CANFRAME_FLAG_REMOTE;
        data.remove_prefix(1);
        if (data.empty()) return f;
        const auto length = parseUnsigned(data, kMaxDataBytes);
        if (!length || data.size() != 1) return fail(error, text, "remote length must be 0-8");
        f.length = static_cast<std::uint8_t>(*length);
        return f;
    }
    std::string digits;
    for (char c : data)
        if (c != '.') digits += c;
    const auto bytes = parseHexBytes(digits);
    if (!bytes || digits.find(' ') != std::string::npos)
        return fail(error, text, "data must be pairs of hex digits");
    if (bytes->size() > kMaxDataBytes) return fail(error, text, "at most 8 data bytes");
    for (std::uint8_t b : *bytes) f.data[f.length++] = b;
    return f;
}

}  // namespace quorsim
