#include "sim_manager.h"

#include <cstdio>
#include <string>

#include "device_constants.h"
#include "protocol/can_frame.h"
#include "protocol/nmt.h"
#include "protocol/sdo_wire.h"

namespace quorsim {
namespace {

namespace wire = morvell::sdo::wire;

constexpr std::uint8_t kTableEntries = 127;
constexpr std::uint16_t kTables[] = {kSlaveAssignmentIndex,
                                     kExpectedDateIndex,
                                     kExpectedTimeIndex,
                                     0x1F84,
                                     0x1F85,
                                     0x1F86,
                                     0x1F87,
                                     0x1F88};
constexpr std::uint8_t kSettings = 7;
constexpr std::uint16_t kSettingDefaults[kSettings] = {0x0000, 500, 1000, 500, 0, 1000, 150};
constexpr std::uint32_t kPortEnabled = 0x8000;
constexpr std::uint8_t kBitRate125k = 4;
constexpr std::uint8_t kSlave = 0x01;

constexpr std::uint32_t word(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[3])) << 24;
}
constexpr std::uint32_t kResetWord = word("RSET");
constexpr std::uint32_t kClearWord = word("ClrN");
constexpr std::uint32_t kScanWord = word("ScnN");
constexpr std::uint32_t kScanStoreWord = word("WrtN");

std::uint32_t entryKey(std::uint16_t index, std::uint8_t subindex) {
    return static_cast<std::uint32_t>(index) << 8 | subindex;
}

// Index and subindex of a request that starts a transfer (initiate download
// or upload, block download or upload initiate); nothing for other frames.
std::optional<std::uint32_t> initiatedEntry(const CanFrame& request) {
    if (request.length < 4) return std::nullopt;
    const std::uint8_t command = request.data[0];
    switch (wire::specifier(command)) {
        case wire::kCcsInitiateDownload:
        case wire::kCcsInitiateUpload:
            break;
        case wire::kCcsBlockDownload:
            // cs is bit 0 alone: bits 1 and 2 are the size and CRC flags.
            if ((command & 0x01) != wire::kBlockInitiate) return std::nullopt;
            break;
        case wire::kCcsBlockUpload:
            if ((command & wire::kBlockSubMask) != wire::kBlockInitiate) return std::nullopt;
            break;
        default:
            return std::nullopt;
    }
    return entryKey(static_cast<std::uint16_t>(request.data[1] | request.data[2] << 8),
                    request.data[3]);
}

void setStatus(ObjectDictionary& objects, const std::string& text) {
    objects.set(kManagerStatusIndex, 0,
                stringEntry(Access::ReadOnly, text, kManagerTextBytes, "Status message"));
}

}  // namespace

ObjectDictionary makeManagerDevice(std::uint8_t node) {
    using T = DataType;
    using A = Access;
    ObjectDictionary od = makeDefaultDevice(node);
    for (std::uint16_t index : {kTestValuesIndex, kReadOnlyValueIndex, kWriteOnlyValueIndex,
                                kSmallDomainIndex, kLargeDomainIndex})
        od.remove(index);
    od.set(kDeviceNameIndex, 0, stringEntry(A::Const, "Quorsim Manager", 0, "Device name"));
    od.set(kIdentityIndex, 2, numberEntry(T::Unsigned32, A::ReadOnly, 0x00004D47, "Product"));

    for (std::uint16_t index : kTables) {
        od.set(index, 0, numberEntry(T::Unsigned8, A::Const, kTableEntries, "Entries"));
        for (unsigned n = 1; n <= kTableEntries; ++n)
            od.set(index, static_cast<std::uint8_t>(n),
                   numberEntry(T::Unsigned32, A::ReadWrite, 0));
    }
    od.set(kManagerCommandIndex, 0, numberEntry(T::Unsigned8, A::Const, 5, "Entries"));
    od.set(kManagerCommandIndex, kManagerCommandSubindex,
           numberEntry(T::Unsigned32, A::ReadWrite, 0, "Control command"));

    od.set(kManagerSettingsIndex, 0, numberEntry(T::Unsigned8, A::Const, kSettings, "Entries"));
    for (std::uint8_t sub = 1; sub <= kSettings; ++sub)
        od.set(kManagerSettingsIndex, sub,
               numberEntry(T::Unsigned16, A::ReadWrite, kSettingDefaults[sub - 1]));
    setStatus(od, "Quorsim Manager node " + std::to_string(node) + ": ready");

    for (std::uint16_t port = 0; port < 2; ++port) {
        const auto info = static_cast<std::uint16_t>(kPortInfoIndex + port);
        od.set(info, 0, numberEntry(T::Unsigned8, A::Const, 3, "Entries"));
        od.set(info, 1, numberEntry(T::Unsigned16, A::ReadOnly, port == 0 ? kPortEnabled : 0));
        od.set(info, 2, numberEntry(T::Unsigned8, A::ReadOnly, port == 0 ? kBitRate125k : 0));
        od.set(info, 3, bytesEntry(T::Domain, A::WriteOnly, {}, kManagerTextBytes, "Bridge table"));
        const auto load = static_cast<std::uint16_t>(kPortLoadIndex + port);
        od.set(load, 0, numberEntry(T::Unsigned8, A::Const, 3, "Entries"));
        const std::uint16_t figures[3] = {12, 40, 7};  // %, %, frames
        for (std::uint8_t sub = 1; sub <= 3; ++sub)
            od.set(load, sub,
                   numberEntry(T::Unsigned16, A::ReadOnly, port == 0 ? figures[sub - 1] : 0));
    }
    return od;
}

SimManager::SimManager(std::uint8_t node) : SimNode(node, makeManagerDevice(node)) {}

void SimManager::silenceEntry(std::uint16_t index, std::uint8_t subindex) {
    silent_.insert(entryKey(index, subindex));
}

void SimManager::setEntry(std::uint16_t index, std::uint8_t subindex, const Entry& entry) {
    objects().set(index, subindex, entry);
    storedObjects().set(index, subindex, entry);
}

std::size_t SimManager::removeEntry(std::uint16_t index, std::optional<std::uint8_t> subindex) {
    storedObjects().remove(index, subindex);
    return objects().remove(index, subindex);
}

void SimManager::refuseEntry(std::uint16_t index, std::uint8_t subindex, std::uint32_t abort_code) {
    refused_[entryKey(index, subindex)] = abort_code;
}

bool SimManager::refuse(const CanFrame& request) {
    const auto entry = initiatedEntry(request);
    const auto refused = entry ? refused_.find(*entry) : refused_.end();
    if (refused == refused_.end()) return false;
    CanFrame abort{};
    abort.id = wire::kResponseBase + node();
    abort.length = 8;
    abort.data[0] = wire::kAbortCommand;
    for (int i = 1; i <= 3; ++i) abort.data[i] = request.data[i];
    for (int i = 0; i < 4; ++i)
        abort.data[4 + i] = static_cast<std::uint8_t>(refused->second >> (8 * i));
    emitFrame(abort);
    return true;
}

bool SimManager::isSilenced(const CanFrame& request) const {
    const auto entry = initiatedEntry(request);
    return entry && silent_.count(*entry) > 0;
}

void SimManager::onFrame(const CanFrame& frame, TimePoint now) {
    const bool request = !morvell::isExtended(frame) && !morvell::isRemote(frame) &&
                         frame.id == wire::kRequestBase + node();
    if (request && (isSilenced(frame) || refuse(frame))) return;
    if (scanning() && !morvell::isRemote(frame) && frame.length >= 1 &&
        frame.id > morvell::nmt::kErrorControlBase &&
        frame.id <= morvell::nmt::kErrorControlBase + kMaxNode)
        heard_.insert(static_cast<std::uint8_t>(frame.id - morvell::nmt::kErrorControlBase));
    SimNode::onFrame(frame, now);
    if (!request) return;
    const std::uint32_t command = static_cast<std::uint32_t>(
        objects().number(kManagerCommandIndex, kManagerCommandSubindex).value_or(0));
    if (command == 0) return;
    objects().setNumber(kManagerCommandIndex, kManagerCommandSubindex, 0);
    runCommand(command, now);
}

void SimManager::runCommand(std::uint32_t command, TimePoint now) {
    if (command == kResetWord) {
        powerOn(now);
    } else if (command == kClearWord) {
        clearNetwork(objects());
        clearNetwork(storedObjects());
        setStatus(objects(), "Network configuration cleared");
    } else if (command == kScanWord || command == kScanStoreWord) {
        startScan(command == kScanStoreWord, now);
    } else {
        setStatus(
            objects(), "Unknown command 0x" + [command] {
                char text[9];
                std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(command));
                return std::string(text);
            }());
    }
}

void SimManager::clearNetwork(ObjectDictionary& objects) {
    for (std::uint16_t index : kTables)
        for (unsigned n = 1; n <= kTableEntries; ++n)
            objects.setNumber(index, static_cast<std::uint8_t>(n), 0);
}

void SimManager::startScan(bool store, TimePoint now) {
    heard_.clear();
    store_after_scan_ = store;
    scan_end_ = now + kScanWindow;
    for (unsigned n = kMinNode; n <= kMaxNode; ++n) {
        if (n == node()) continue;
        CanFrame guard{};
        guard.id = morvell::nmt::kErrorControlBase + n;
        guard.flags = CANFRAME_FLAG_REMOTE;
        emitFrame(guard);
    }
    setStatus(objects(), "Scanning the network");
}

void SimManager::endScan() {
    scan_end_.reset();
    for (unsigned n = 1; n <= kTableEntries; ++n)
        objects().setNumber(kSlaveAssignmentIndex, static_cast<std::uint8_t>(n),
                            heard_.count(static_cast<std::uint8_t>(n)) ? kSlave : 0);
    setStatus(objects(), "Scan found " + std::to_string(heard_.size()) + " nodes" +
                             (store_after_scan_ ? ", configuration stored" : ""));
    if (store_after_scan_) storedObjects() = objects();
}

void SimManager::onTimer(TimePoint now) {
    if (scan_end_ && *scan_end_ <= now) endScan();
    const auto base = SimNode::nextDeadline();
    if (base && *base <= now) SimNode::onTimer(now);
}

std::optional<TimePoint> SimManager::nextDeadline() const {
    std::optional<TimePoint> next = SimNode::nextDeadline();
    if (scan_end_ && (!next || *scan_end_ < *next)) next = scan_end_;
    return next;
}

}  // namespace quorsim
