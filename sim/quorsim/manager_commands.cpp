#include "manager_commands.h"

#include <memory>
#include <string>
#include <vector>

#include "device_constants.h"
#include "number_text.h"
#include "sim_manager.h"

namespace quorsim {
namespace {

std::vector<std::string_view> words(std::string_view line, std::size_t limit) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < limit) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i == line.size()) break;
        const std::size_t start = i;
        // The last word takes the rest of the line.
        if (out.size() + 1 == limit) {
            out.push_back(trimmed(line.substr(start)));
            break;
        }
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        out.push_back(line.substr(start, i - start));
    }
    return out;
}

Reply error(const std::string& reason) {
    return Reply("error: " + reason);
}

std::optional<std::uint8_t> nodeOf(std::string_view text) {
    const auto v = parseUnsigned(text, kMaxNode);
    if (!v || *v < kMinNode) return std::nullopt;
    return static_cast<std::uint8_t>(*v);
}

std::optional<Entry> entryOf(std::string_view type, std::string_view value) {
    if (type == "string") return stringEntry(Access::ReadOnly, std::string(value), 1000);
    const struct {
        std::string_view name;
        DataType type;
        std::uint64_t max;
    } numbers[] = {{"u8", DataType::Unsigned8, 0xFF},
                   {"u16", DataType::Unsigned16, 0xFFFF},
                   {"u32", DataType::Unsigned32, 0xFFFFFFFF}};
    for (const auto& n : numbers) {
        if (type != n.name) continue;
        const auto v = parseUnsigned(value, n.max);
        if (!v) return std::nullopt;
        return numberEntry(n.type, Access::ReadWrite, *v);
    }
    return std::nullopt;
}

Reply addManager(Simulator& simulator, const std::vector<std::string_view>& w, TimePoint now) {
    const auto node = w.size() == 2 ? nodeOf(w[1]) : std::nullopt;
    if (!node) return error("usage: manager NODE (1-127)");
    const std::string refused = simulator.addDevice(std::make_unique<SimManager>(*node), now);
    if (!refused.empty()) return error(refused);
    return Reply("ok node " + std::to_string(*node) + " added: CANopen Manager");
}

Reply setEntry(Simulator& simulator, const std::vector<std::string_view>& w) {
    const char* usage = "usage: entry NODE INDEX SUB u8|u16|u32|string VALUE";
    if (w.size() != 6) return error(usage);
    const auto node = nodeOf(w[1]);
    const auto index = parseUnsigned(w[2], 0xFFFF);
    const auto sub = parseUnsigned(w[3], 0xFF);
    const auto entry = entryOf(w[4], w[5]);
    if (!node || !index || !sub || !entry) return error(usage);
    SimNode* device = simulator.findNode(*node);
    if (device == nullptr) return error("no node " + std::to_string(*node));
    const auto i = static_cast<std::uint16_t>(*index);
    const auto s = static_cast<std::uint8_t>(*sub);
    if (auto* manager = dynamic_cast<SimManager*>(device))
        manager->setEntry(i, s, *entry);
    else
        device->objects().set(i, s, *entry);
    return Reply("ok entry set");
}

Reply removeEntry(Simulator& simulator, const std::vector<std::string_view>& w) {
    const char* usage = "usage: noentry NODE INDEX [SUB]";
    if (w.size() != 3 && w.size() != 4) return error(usage);
    const auto node = nodeOf(w[1]);
    const auto index = parseUnsigned(w[2], 0xFFFF);
    std::optional<std::uint8_t> sub;
    if (w.size() == 4) {
        const auto v = parseUnsigned(w[3], 0xFF);
        if (!v) return error(usage);
        sub = static_cast<std::uint8_t>(*v);
    }
    if (!node || !index) return error(usage);
    SimNode* device = simulator.findNode(*node);
    if (device == nullptr) return error("no node " + std::to_string(*node));
    const auto i = static_cast<std::uint16_t>(*index);
    auto* manager = dynamic_cast<SimManager*>(device);
    const std::size_t removed =
        manager != nullptr ? manager->removeEntry(i, sub) : device->objects().remove(i, sub);
    return Reply("ok " + std::to_string(removed) + " entries removed");
}

Reply silence(Simulator& simulator, const std::vector<std::string_view>& w) {
    const char* usage = "usage: silent NODE INDEX SUB | silent NODE none";
    const auto node = w.size() >= 3 ? nodeOf(w[1]) : std::nullopt;
    if (!node) return error(usage);
    auto* manager = dynamic_cast<SimManager*>(simulator.findNode(*node));
    if (manager == nullptr) return error("node " + std::to_string(*node) + " is no manager");
    if (w.size() == 3 && w[2] == "none") {
        manager->clearSilentEntries();
        return Reply("ok no silent entries");
    }
    const auto index = w.size() == 4 ? parseUnsigned(w[2], 0xFFFF) : std::nullopt;
    const auto sub = w.size() == 4 ? parseUnsigned(w[3], 0xFF) : std::nullopt;
    if (!index || !sub) return error(usage);
    manager->silenceEntry(static_cast<std::uint16_t>(*index), static_cast<std::uint8_t>(*sub));
    return Reply("ok entry silent");
}

Reply refuse(Simulator& simulator, const std::vector<std::string_view>& w) {
    const char* usage = "usage: refuse NODE INDEX SUB ABORTCODE | refuse NODE none";
    const auto node = w.size() >= 3 ? nodeOf(w[1]) : std::nullopt;
    if (!node) return error(usage);
    auto* manager = dynamic_cast<SimManager*>(simulator.findNode(*node));
    if (manager == nullptr) return error("node " + std::to_string(*node) + " is no manager");
    if (w.size() == 3 && w[2] == "none") {
        manager->clearRefusedEntries();
        return Reply("ok no refused entries");
    }
    const auto index = w.size() == 5 ? parseUnsigned(w[2], 0xFFFF) : std::nullopt;
    const auto sub = w.size() == 5 ? parseUnsigned(w[3], 0xFF) : std::nullopt;
    const auto code = w.size() == 5 ? parseUnsigned(w[4], 0xFFFFFFFF) : std::nullopt;
    if (!index || !sub || !code) return error(usage);
    manager->refuseEntry(static_cast<std::uint16_t>(*index), static_cast<std::uint8_t>(*sub),
                         static_cast<std::uint32_t>(*code));
    return Reply("ok entry refused");
}

}  // namespace

std::optional<Reply> runDeviceCommand(Simulator& simulator, std::string_view line, TimePoint now) {
    const std::vector<std::string_view> first = words(line, 1);
    if (first.empty()) return std::nullopt;
    const std::string_view name = first[0].substr(0, first[0].find_first_of(" \t"));
    if (name == "manager") return addManager(simulator, words(line, 8), now);
    if (name == "entry") return setEntry(simulator, words(line, 6));
    if (name == "noentry") return removeEntry(simulator, words(line, 8));
    if (name == "silent") return silence(simulator, words(line, 8));
    if (name == "refuse") return refuse(simulator, words(line, 8));
    return std::nullopt;
}

}  // namespace quorsim
