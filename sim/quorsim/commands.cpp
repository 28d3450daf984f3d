#include "commands.h"

#include <linux/can/error.h>

#include <cstdio>
#include <vector>

#include "device_constants.h"
#include "eds_loader.h"
#include "frame_text.h"
#include "manager_commands.h"
#include "number_text.h"
#include "protocol/can_frame.h"

namespace quorsim {
namespace {

inline constexpr const char* kCommandList =
    "add, remove, emcy, state, heartbeat, fault, block, load, send, buserror, stats, quit, "
    "manager, entry, noentry, silent, refuse";

struct Words {
    std::vector<std::string_view> words;
    std::vector<std::size_t> offsets;  // of each word in the line
};

Words split(std::string_view line) {
    Words w;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
        if (i > start) {
            w.words.push_back(line.substr(start, i - start));
            w.offsets.push_back(start);
        }
    }
    return w;
}

// Builds a parse failure; used as `return fail(...)`.
ParseResult fail(std::string reason) {
    return {std::nullopt, std::move(reason)};
}

std::string quoted(std::string_view s) {
    return "'" + std::string(s) + "'";
}

bool parseNumber(std::string_view text, std::uint64_t max, const char* what, std::string& error,
                 std::uint64_t& value) {
    const auto v = parseUnsigned(text, max);
    if (!v) {
        error = "bad " + std::string(what) + " " + quoted(text) + ": expected a number 0-" +
                std::to_string(max) + " (decimal or 0x hex)";
        return false;
    }
    value = *v;
    return true;
}

bool parseNode(std::string_view text, std::string& error, std::uint8_t& node) {
    const auto v = parseUnsigned(text, kMaxNode);
    if (!v || *v < kMinNode) {
        error = "bad node " + quoted(text) + ": expected 1-127";
        return false;
    }
    node = static_cast<std::uint8_t>(*v);
    return true;
}

ParseResult parseEmergency(const std::vector<std::string_view>& w, Command c) {
    if (w.size() < 3 || w.size() > 9) return fail("usage: emcy NODE CODE [REG [B0..B4]]");
    std::string error;
    std::uint64_t v = 0;
    if (!parseNode(w[1], error, c.node)) return fail(error);
    if (!parseNumber(w[2], 0xFFFF, "error code", error, v)) return fail(error);
    c.error_code = static_cast<std::uint16_t>(v);
    if (w.size() > 3) {
        if (!parseNumber(w[3], 0xFF, "error register", error, v)) return fail(error);
        c.error_register = static_cast<std::uint8_t>(v);
    }
    for (std::size_t i = 4; i < w.size(); ++i) {
        if (!parseNumber(w[i], 0xFF, "manufacturer byte", error, v)) return fail(error);
        c.manufacturer[i - 4] = static_cast<std::uint8_t>(v);
    }
    return {c, {}};
}

ParseResult parseState(const std::vector<std::string_view>& w, Command c) {
    if (w.size() != 3) return fail("usage: state NODE boot|preop|operational|stopped");
    std::string error;
    if (!parseNode(w[1], error, c.node)) return fail(error);
    if (w[2] == "boot")
        c.state = StateRequest::Boot;
    else if (w[2] == "preop")
        c.state = StateRequest::PreOperational;
    else if (w[2] == "operational")
        c.state = StateRequest::Operational;
    else if (w[2] == "stopped")
        c.state = StateRequest::Stopped;
    else
        return fail("bad state " + quoted(w[2]) + ": expected boot, preop, operational or stopped");
    return {c, {}};
}

ParseResult parseFault(const std::vector<std::string_view>& w, Command c) {
    const char* usage = "usage: fault NODE noanswer|toggle|abort CODE|delay MS|short|crc|none";
    if (w.size() < 3) return fail(usage);
    std::string error;
    if (!parseNode(w[1], error, c.node)) return fail(error);
    const std::string_view name = w[2];
    const std::size_t expected_words = name == "abort" || name == "delay" ? 4 : 3;
    if (w.size() != expected_words) return fail(usage);
    std::uint64_t v = 0;
    if (name == "none")
        c.fault = FaultKind::None;
    else if (name == "noanswer")
        c.fault = FaultKind::NoAnswer;
    else if (name == "toggle")
        c.fault = FaultKind::WrongToggle;
    else if (name == "short")
        c.fault = FaultKind::ShortFrames;
    else if (name == "crc")
        c.fault = FaultKind::BadCrc;
    else if (name == "abort") {
        if (!parseNumber(w[3], 0xFFFFFFFF, "abort code", error, v)) return fail(error);
        c.fault = FaultKind::Abort;
        c.abort_code = static_cast<std::uint32_t>(v);
    } else if (name == "delay") {
        if (!parseNumber(w[3], 600000, "delay", error, v)) return fail(error);
        c.fault = FaultKind::Delay;
        c.delay_ms = static_cast<std::uint32_t>(v);
    } else {
        return fail("bad fault " + quoted(name) + ": " + (usage + 7));
    }
    return {c, {}};
}

// "40%", "37.5%", "0.25%": hundredths of a percent, 1-10000; empty when malformed.
std::optional<std::uint32_t> parsePercent(std::string_view text) {
    if (text.size() < 2 || text.back() != '%') return std::nullopt;
    text.remove_suffix(1);
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
    if (whole.empty() || whole.size() > 3 || fraction.size() > 2) return std::nullopt;
    if (dot != std::string_view::npos && fraction.empty()) return std::nullopt;
    std::uint32_t value = 0;
    for (char ch : whole) {
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(ch - '0');
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const char ch = i < fraction.size() ? fraction[i] : '0';
        if (ch < '0' || ch > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint32_t>(ch - '0');
    }
    if (value < 1 || value > 10000) return std::nullopt;
    return value;
}

ParseResult parseLoad(const std::vector<std::string_view>& w, Command c) {
    constexpr const char* kUsage = "usage: load RATE|PERCENT% ID#DATA (load 0 stops)";
    if (w.size() < 2 || w.size() > 3) return fail(kUsage);
    std::string error;
    std::uint64_t v = 0;
    if (w[1].back() == '%') {
        const auto percent = parsePercent(w[1]);
        if (!percent) return fail("bad load " + quoted(w[1]) + ": 0.01% to 100%");
        c.load_centipercent = *percent;
    } else {
        if (!parseNumber(w[1], kMaxLoadRate, "rate", error, v)) return fail(error);
        c.rate = static_cast<std::uint32_t>(v);
        if (c.rate == 0) return {c, {}};
    }
    if (w.size() != 3) return fail(kUsage);
    const auto frame = parseFrameText(w[2], &error);
    if (!frame) return fail(error);
    c.frame = *frame;
    return {c, {}};
}

}  // namespace

ParseResult parseCommand(std::string_view line) {
    const Words split_line = split(line);
    const auto& w = split_line.words;
    Command c;
    if (w.empty() || w[0][0] == '#') return {c, {}};
    const std::string_view name = w[0];
    std::string error;
    std::uint64_t v = 0;
    if (name == "add") {
        c.kind = CommandKind::Add;
        if (w.size() < 2) return fail("usage: add NODE [EDSFILE]");
        if (!parseNode(w[1], error, c.node)) return fail(error);
        // The file name is the rest of the line, so it may contain spaces.
        if (w.size() > 2) c.eds_file = trimmed(line.substr(split_line.offsets[2]));
        return {c, {}};
    }
    if (name == "remove") {
        c.kind = CommandKind::Remove;
        if (w.size() != 2) return fail("usage: remove NODE");
        if (!parseNode(w[1], error, c.node)) return fail(error);
        return {c, {}};
    }
    if (name == "emcy") {
        c.kind = CommandKind::Emergency;
        return parseEmergency(w, c);
    }
    if (name == "state") {
        c.kind = CommandKind::State;
        return parseState(w, c);
    }
    if (name == "heartbeat") {
        c.kind = CommandKind::Heartbeat;
        if (w.size() != 3) return fail("usage: heartbeat NODE MS (0 = off)");
        if (!parseNode(w[1], error, c.node)) return fail(error);
        if (!parseNumber(w[2], 0xFFFF, "heartbeat time", error, v)) return fail(error);
        c.heartbeat_ms = static_cast<std::uint16_t>(v);
        return {c, {}};
    }
    if (name == "fault") {
        c.kind = CommandKind::Fault;
        return parseFault(w, c);
    }
    if (name == "block") {
        c.kind = CommandKind::Block;
        if (w.size() != 3 || (w[2] != "on" && w[2] != "off"))
            return fail("usage: block NODE on|off");
        if (!parseNode(w[1], error, c.node)) return fail(error);
        c.block_enabled = w[2] == "on";
        return {c, {}};
    }
    if (name == "load") {
        c.kind = CommandKind::Load;
        return parseLoad(w, c);
    }
    if (name == "send") {
        c.kind = CommandKind::Send;
        if (w.size() != 2) return fail("usage: send ID#DATA, e.g. send 000#0100");
        const auto frame = parseFrameText(w[1], &error);
        if (!frame) return fail(error);
        c.frame = *frame;
        return {c, {}};
    }
    if (name == "buserror") {
        c.kind = CommandKind::BusError;
        const auto frame = w.size() == 2 ? busErrorFrame(w[1]) : std::nullopt;
        if (!frame) return fail("usage: buserror warning|passive|busoff|protocol|overflow|cleared");
        c.frame = *frame;
        return {c, {}};
    }
    if (name == "stats" || name == "quit") {
        c.kind = name == "stats" ? CommandKind::Stats : CommandKind::Quit;
        if (w.size() != 1) return fail(std::string(name) + " takes no arguments");
        return {c, {}};
    }
    return fail("unknown command " + quoted(name) + " (commands: " + kCommandList + ")");
}

std::optional<CanFrame> busErrorFrame(std::string_view condition) {
    struct Condition {
        std::string_view name;
        std::uint32_t error_class;
        std::uint8_t controller;  // data[1] for CAN_ERR_CRTL
    };
    static constexpr Condition kConditions[] = {
        {"warning", CAN_ERR_CRTL, CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING},
        {"passive", CAN_ERR_CRTL, CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE},
        {"busoff", CAN_ERR_BUSOFF, 0},
        {"protocol", CAN_ERR_PROT, 0},
        {"overflow", CAN_ERR_CRTL, CAN_ERR_CRTL_RX_OVERFLOW},
        {"cleared", CAN_ERR_CRTL, CAN_ERR_CRTL_ACTIVE},
    };
    for (const auto& c : kConditions) {
        if (c.name != condition) continue;
        CanFrame f{};
        f.id = c.error_class;
        f.length = CAN_ERR_DLC;
        f.data[1] = c.controller;
        if (c.error_class == CAN_ERR_PROT) f.data[2] = CAN_ERR_PROT_BIT;
        return f;
    }
    return std::nullopt;
}

Reply CommandRunner::run(std::string_view line, TimePoint now) {
    if (auto device = runDeviceCommand(simulator_, line, now)) return *device;
    const ParseResult parsed = parseCommand(line);
    if (!parsed.command) return {"error: " + parsed.error, false};
    return execute(*parsed.command, now);
}

Reply CommandRunner::execute(const Command& c, TimePoint now) {
    switch (c.kind) {
        case CommandKind::Empty:
            return {};
        case CommandKind::Add:
            return add(c, now);
        case CommandKind::Remove:
            if (!simulator_.removeNode(c.node)) return {"error: no node " + std::to_string(c.node)};
            return {"ok node " + std::to_string(c.node) + " removed"};
        case CommandKind::Load:
            return load(c, now);
        case CommandKind::Send:
            simulator_.transmit(c.frame, now);
            return {"ok sent " + morvell::toString(c.frame)};
        case CommandKind::BusError:
            return {"ok error frame " + morvell::toString(c.frame), false, c.frame};
        case CommandKind::Stats:
            return {"ok " + stats()};
        case CommandKind::Quit:
            return {"ok bye", true};
        case CommandKind::Emergency:
        case CommandKind::State:
        case CommandKind::Heartbeat:
        case CommandKind::Fault:
        case CommandKind::Block:
            return onNode(c, now);
    }
    return {"error: command not handled"};
}

Reply CommandRunner::add(const Command& c, TimePoint now) {
    const std::string node_text = "node " + std::to_string(c.node);
    if (simulator_.findNode(c.node)) return {"error: " + node_text + " already exists"};
    ObjectDictionary od;
    std::string source = "built-in device";
    if (c.eds_file.empty()) {
        od = makeDefaultDevice(c.node);
    } else {
        EdsResult loaded = loadEdsFile(c.eds_file, c.node);
        if (!loaded.dictionary) return {"error: " + loaded.error};
        od = std::move(*loaded.dictionary);
        source = c.eds_file + " (" + std::to_string(od.size()) + " entries)";
    }
    if (heartbeat_ms_) {
        if (!od.setNumber(kHeartbeatTimeIndex, 0, *heartbeat_ms_))
            od.set(kHeartbeatTimeIndex, 0,
                   numberEntry(DataType::Unsigned16, Access::ReadWrite, *heartbeat_ms_,
                               "Producer heartbeat time"));
    }
    const std::string refused = simulator_.addNode(c.node, std::move(od), now);
    if (!refused.empty()) return {"error: " + refused};
    return {"ok " + node_text + " added: " + source};
}

Reply CommandRunner::onNode(const Command& c, TimePoint now) {
    const std::string node_text = "node " + std::to_string(c.node);
    SimNode* node = simulator_.findNode(c.node);
    if (!node) return {"error: no " + node_text + " (add it first)"};
    std::string what;
    switch (c.kind) {
        case CommandKind::Emergency: {
            node->sendEmergency(c.error_code, c.error_register, c.manufacturer);
            what = "emergency";
            break;
        }
        case CommandKind::State: {
            node->requestState(c.state, now);
            static constexpr const char* kNames[] = {"boot", "preop", "operational", "stopped"};
            what = std::string("state ") + kNames[static_cast<int>(c.state)];
            break;
        }
        case CommandKind::Heartbeat:
            node->setHeartbeatTime(c.heartbeat_ms, now);
            what = "heartbeat " + std::to_string(c.heartbeat_ms) + " ms";
            break;
        case CommandKind::Fault: {
            using morvell::sdo::ServerFault;
            char code[16];
            std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(c.abort_code));
            switch (c.fault) {
                case FaultKind::None:
                    node->setFault(ServerFault::None);
                    what = "none";
                    break;
                case FaultKind::NoAnswer:
                    node->setFault(ServerFault::NoAnswer);
                    what = "noanswer";
                    break;
                case FaultKind::WrongToggle:
                    node->setFault(ServerFault::WrongToggle);
                    what = "toggle";
                    break;
                case FaultKind::ShortFrames:
                    node->setFault(ServerFault::ShortFrames);
                    what = "short";
                    break;
                case FaultKind::BadCrc:
                    node->setFault(ServerFault::BadBlockCrc);
                    what = "crc";
                    break;
                case FaultKind::Abort:
                    node->setFault(ServerFault::Abort, c.abort_code);
                    what = std::string("abort ") + code;
                    break;
                case FaultKind::Delay:
                    node->setResponseDelay(Milliseconds(c.delay_ms));
                    what = "delay " + std::to_string(c.delay_ms) + " ms";
                    break;
            }
            what = "fault " + what;
            break;
        }
        case CommandKind::Block:
            node->setBlockTransfer(c.block_enabled);
            what = c.block_enabled ? "block on" : "block off";
            break;
        default:
            return {"error: not a node command"};
    }
    simulator_.collect(now);
    return {"ok " + node_text + " " + what};
}

Reply CommandRunner::load(const Command& c, TimePoint now) {
    TrafficGenerator& traffic = simulator_.traffic();
    if (c.rate == 0 && c.load_centipercent == 0) {
        traffic.stop();
        return {"ok load stopped, " + std::to_string(traffic.totalSent()) + " load frames sent"};
    }
    std::uint32_t rate = c.rate;
    std::string share;
    if (c.load_centipercent > 0) {
        rate = loadRate(c.load_centipercent, static_cast<std::uint32_t>(bitrate_kbps_) * 1000,
                        c.frame);
        char text[64];
        std::snprintf(text, sizeof text, " (%u.%02u %% of %d kbit/s)", c.load_centipercent / 100,
                      c.load_centipercent % 100, bitrate_kbps_);
        share = text;
    }
    traffic.start(rate, c.frame, now);
    return {"ok load " + std::to_string(rate) + " frames/s of " + morvell::toString(c.frame) +
            share};
}

std::string CommandRunner::stats() const {
    std::string nodes;
    for (std::uint8_t id : simulator_.nodeIds())
        nodes += (nodes.empty() ? "" : ",") + std::to_string(id);
    const SimulatorStats s = simulator_.stats();
    const TrafficGenerator& traffic = simulator_.traffic();
    return "nodes " + (nodes.empty() ? std::string("none") : nodes) + " received " +
           std::to_string(s.frames_received) + " sent " + std::to_string(s.frames_sent) + " load " +
           std::to_string(s.load_frames_sent) + " rate " + std::to_string(traffic.rate());
}

}  // namespace quorsim
