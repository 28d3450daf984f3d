#include "command_directives.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "canlib/morvellcanopen.h"
#include "value_text.h"

namespace quorcmd {
namespace {

using Fields = std::vector<std::string_view>;

constexpr std::uint32_t kMaxNode = 127;
constexpr std::uint32_t kMaxIndex = 0xFFFF;
constexpr std::uint32_t kMaxSubindex = 0xFF;
constexpr std::uint32_t kMaxIoAddress = 0xFFFF;
constexpr std::uint32_t kMaxIrq = 15;
constexpr std::uint32_t kMaxDevice = 254;
constexpr std::uint8_t kAnyDevice = 255;
constexpr std::uint32_t kPortTypeStandard = 1;
constexpr std::uint32_t kPortTypeEpp = 2;
constexpr std::array<std::uint32_t, 8> kBitRatesKbps{10, 20, 50, 125, 250, 500, 800, 1000};
constexpr std::string_view kScreen = "SCREEN";

struct NmtWordEntry {
    std::string_view text;
    NmtWord word;
};
constexpr std::array<NmtWordEntry, 5> kNmtWords{{
    {"START", NmtWord::Start},
    {"STOP", NmtWord::Stop},
    {"PREOPERATIONAL", NmtWord::PreOperational},
    {"RESET", NmtWord::Reset},
    {"RESETCOMM", NmtWord::ResetComm},
}};

Fields SplitFields(std::string_view parameters) {
    Fields fields;
    for (;;) {
        const std::size_t comma = parameters.find(',');
        fields.push_back(parameters.substr(0, comma));
        if (comma == std::string_view::npos) return fields;
        parameters.remove_prefix(comma + 1);
    }
}

bool IsNumberField(std::string_view field) {
    return IsNumberText(TrimBlanks(field));
}

std::optional<std::uint32_t> FieldValue(std::string_view field, std::uint32_t max) {
    const std::optional<std::uint32_t> value = NumberValue(TrimBlanks(field));
    if (!value || *value > max) return std::nullopt;
    return value;
}

const NmtWordEntry* FindNmtWord(std::string_view field) {
    const std::string_view word = TrimBlanks(field);
    const auto* found = std::find_if(kNmtWords.begin(), kNmtWords.end(), [&](const auto& entry) {
        return EqualsIgnoringCase(word, entry.text);
    });
    return found == kNmtWords.end() ? nullptr : found;
}

bool IsKeywordField(std::string_view field, std::string_view keyword) {
    return EqualsIgnoringCase(TrimBlanks(field), keyword);
}

// A stored file name: not blank and not longer than `max_length`.
std::optional<std::string> FileName(std::string_view field, std::size_t max_length) {
    std::string name = FileNameFromText(field);
    if (name.empty() || name.size() > max_length) return std::nullopt;
    return name;
}

// ---- HARDWARE -------------------------------------------------------------

enum class FieldKind { Number, PortType, DeviceOrAny };

// The fields after the interface keyword, already in the interface's form.
using InterfaceApply = bool (*)(const Fields& fields, InterfaceSelection& selection);

struct InterfaceForm {
    std::string_view keyword;
    std::int32_t code;
    std::vector<FieldKind> fields;
    InterfaceApply apply;
};

std::optional<std::int32_t> BitRate(std::string_view field) {
    const std::optional<std::uint32_t> value = NumberValue(TrimBlanks(field));
    if (!value ||
        std::find(kBitRatesKbps.begin(), kBitRatesKbps.end(), *value) == kBitRatesKbps.end()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*value);
}

bool ApplyParallel(const Fields& fields, InterfaceSelection& selection) {
    const auto port = FieldValue(fields[0], kMaxIoAddress);
    const auto irq = FieldValue(fields[1], kMaxIrq);
    const auto baud = BitRate(fields[3]);
    if (!port || !irq || !baud) return false;
    selection.port_address = *port;
    selection.irq = *irq;
    selection.port_type = IsKeywordField(fields[2], "EPP") ? kPortTypeEpp : kPortTypeStandard;
    selection.baud_kbps = *baud;
    return true;
}

bool ApplyBaudOnly(const Fields& fields, InterfaceSelection& selection) {
    const auto baud = BitRate(fields[0]);
    if (!baud) return false;
    selection.baud_kbps = *baud;
    return true;
}

bool ApplyIsa(const Fields& fields, InterfaceSelection& selection) {
    const auto address = FieldValue(fields[0], kMaxIoAddress);
    const auto irq = FieldValue(fields[1], kMaxIrq);
    const auto baud = BitRate(fields[2]);
    if (!address || !irq || !baud) return false;
    selection.isa_address = *address;
    selection.irq = *irq;
    selection.baud_kbps = *baud;
    return true;
}

bool ApplyUsbModule(const Fields& fields, InterfaceSelection& selection) {
    std::optional<std::uint32_t> device = kAnyDevice;
    if (!IsKeywordField(fields[0], "ANY")) device = FieldValue(fields[0], kMaxDevice);
    const auto baud = BitRate(fields[1]);
    if (!device || !baud) return false;
    selection.device = static_cast<std::uint8_t>(*device);
    selection.baud_kbps = *baud;
    return true;
}

const std::vector<InterfaceForm>& InterfaceForms() {
    using K = FieldKind;
    static const std::vector<InterfaceForm> forms{
        {"TRELVIKPARALLEL",
         HW_PARALLEL_DONGLE,
         {K::Number, K::Number, K::PortType, K::Number},
         ApplyParallel},
        {"TRELVIKUSB", HW_USB, {K::Number}, ApplyBaudOnly},
        {"TRELVIKPCI", HW_PCI, {K::Number}, ApplyBaudOnly},
        {"TRELVIKISA", HW_ISA, {K::Number, K::Number, K::Number}, ApplyIsa},
        {"OSTRAUSB", HW_USB_MODULE, {K::DeviceOrAny, K::Number}, ApplyUsbModule},
    };
    return forms;
}

bool FieldHasKind(std::string_view field, FieldKind kind) {
    switch (kind) {
        case FieldKind::Number:
            return IsNumberField(field);
        case FieldKind::PortType:
            return IsKeywordField(field, "STANDARD") || IsKeywordField(field, "EPP");
        case FieldKind::DeviceOrAny:
            return IsKeywordField(field, "ANY") || IsNumberField(field);
    }
    return false;
}

// The interface form `fields` has (interface keyword first), or null.
const InterfaceForm* MatchInterface(const Fields& fields) {
    for (const InterfaceForm& form : InterfaceForms()) {
        if (!IsKeywordField(fields[0], form.keyword) || fields.size() != form.fields.size() + 1) {
            continue;
        }
        for (std::size_t i = 0; i < form.fields.size(); ++i) {
            if (!FieldHasKind(fields[i + 1], form.fields[i])) return nullptr;
        }
        return &form;
    }
    return nullptr;
}

DirectiveOutcome ApplyHardware(const Fields& fields, ReadResult& result) {
    const InterfaceForm* form = MatchInterface(fields);
    const Fields rest(fields.begin() + 1, fields.end());
    InterfaceSelection selection = result.interface;
    if (form == nullptr || !form->apply(rest, selection)) {
        return DirectiveOutcome::InvalidParameters;
    }
    selection.interface = form->code;
    result.interface = selection;
    return DirectiveOutcome::Accepted;
}

// ---- Queued commands and QUIET --------------------------------------------

bool HasObjectForm(const Fields& fields) {
    return fields.size() == 4 && IsNumberField(fields[0]) && IsNumberField(fields[1]) &&
           IsNumberField(fields[2]) && IsFileNameText(fields[3]);
}

// Node, index and subindex of an object directive; false when out of range.
bool ReadObjectAddress(const Fields& fields, CommandRecord& record) {
    const auto node = FieldValue(fields[0], kMaxNode);
    const auto index = FieldValue(fields[1], kMaxIndex);
    const auto subindex = FieldValue(fields[2], kMaxSubindex);
    if (!node || !index || !subindex) return false;
    record.node = static_cast<std::uint8_t>(*node);
    record.index = *index;
    record.subindex = static_cast<std::uint8_t>(*subindex);
    return true;
}

DirectiveOutcome Queue(CommandRecord record, std::string_view token, ReadResult& result) {
    record.directive_text = std::string(token);
    result.commands.push_back(std::move(record));
    return DirectiveOutcome::Accepted;
}

DirectiveOutcome ApplyNmt(const Fields& fields, std::string_view token, ReadResult& result) {
    CommandRecord record;
    record.operation = Operation::Nmt;
    const auto node = FieldValue(fields[0], kMaxNode);
    if (!node) return DirectiveOutcome::InvalidParameters;
    record.node = static_cast<std::uint8_t>(*node);
    record.nmt = FindNmtWord(fields[1])->word;
    return Queue(std::move(record), token, result);
}

DirectiveOutcome ApplyUpload(Operation operation, const Fields& fields, std::string_view token,
                             ReadResult& result) {
    CommandRecord record;
    record.operation = operation;
    std::optional<std::string> file = FileName(fields[3], kMaxFileName);
    if (!ReadObjectAddress(fields, record) || !file) return DirectiveOutcome::InvalidParameters;
    record.file = EqualsIgnoringCase(*file, kScreen) ? std::string(kScreen) : std::move(*file);
    return Queue(std::move(record), token, result);
}

DirectiveOutcome ApplyDownload(Operation operation, const Fields& fields, std::string_view token,
                               ReadResult& result) {
    CommandRecord record;
    record.operation = operation;
    if (!ReadObjectAddress(fields, record)) return DirectiveOutcome::InvalidParameters;
    if (auto data = HexDataFromText(TrimBlanks(fields[3]))) {
        record.data = std::move(*data);
    } else {
        std::optional<std::string> file = FileName(fields[3], kMaxFileName);
        if (!file) return DirectiveOutcome::InvalidParameters;
        record.file = std::move(*file);
    }
    return Queue(std::move(record), token, result);
}

DirectiveOutcome ApplyQuiet(const Fields& fields, ReadResult& result) {
    std::optional<std::string> file = FileName(fields[0], kMaxLogFileName);
    if (!file) return DirectiveOutcome::InvalidParameters;
    result.log.quiet = true;
    result.log.file = std::move(*file);
    return DirectiveOutcome::Accepted;
}

}  // namespace

bool OccursOnce(Keyword keyword) {
    return keyword == Keyword::Hardware || keyword == Keyword::Quiet;
}

bool HasForm(Keyword keyword, std::string_view parameters) {
    const Fields fields = SplitFields(parameters);
    switch (keyword) {
        case Keyword::Nmt:
            return fields.size() == 2 && IsNumberField(fields[0]) && FindNmtWord(fields[1]);
        case Keyword::SdoUpload:
        case Keyword::SdoDownload:
        case Keyword::OdRead:
        case Keyword::OdWrite:
            return HasObjectForm(fields);
        case Keyword::Hardware:
            return MatchInterface(fields) != nullptr;
        case Keyword::Quiet:
            return fields.size() == 1 && IsFileNameText(fields[0]);
    }
    return false;
}

DirectiveOutcome ApplyDirective(Keyword keyword, std::string_view parameters,
                                std::string_view token, ReadResult& result) {
    const Fields fields = SplitFields(parameters);
    switch (keyword) {
        case Keyword::Nmt:
            return ApplyNmt(fields, token, result);
        case Keyword::SdoUpload:
            return ApplyUpload(Operation::SdoUpload, fields, token, result);
        case Keyword::OdRead:
            return ApplyUpload(Operation::OdRead, fields, token, result);
        case Keyword::SdoDownload:
            return ApplyDownload(Operation::SdoDownload, fields, token, result);
        case Keyword::OdWrite:
            return ApplyDownload(Operation::OdWrite, fields, token, result);
        case Keyword::Hardware:
            return ApplyHardware(fields, result);
        case Keyword::Quiet:
            return ApplyQuiet(fields, result);
    }
    return DirectiveOutcome::InvalidParameters;
}

}  // namespace quorcmd
