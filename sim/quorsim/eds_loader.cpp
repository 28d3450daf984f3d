#include "eds_loader.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <variant>

#include "number_text.h"

namespace quorsim {
namespace {

// CiA 306 object codes (ObjectType=).
enum class ObjectType : std::uint8_t {
    Null = 0x0,
    Domain = 0x2,
    DefType = 0x5,
    DefStruct = 0x6,
    Var = 0x7,
    Array = 0x8,
    Record = 0x9,
};

inline constexpr std::uint16_t kFirstObjectIndex = 0x1000;  // below: type definitions
inline constexpr std::string_view kNodeIdToken = "$nodeid";

struct Value {
    std::string text;
    int line = 0;
};

struct Section {
    std::string name;  // as written
    int line = 0;
    std::map<std::string, Value> keys;  // lower-case key

    const Value* get(const std::string& key) const {
        const auto it = keys.find(key);
        return it == keys.end() ? nullptr : &it->second;
    }
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string at(int line) {
    return "line " + std::to_string(line) + ": ";
}

bool isHex(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c));
    });
}

// Section names "1018" (object) and "1018sub2" (sub-object, hex subindex).
struct ObjectName {
    std::uint16_t index = 0;
    std::optional<std::uint8_t> subindex;
};

std::optional<ObjectName> parseObjectName(const std::string& name) {
    const std::string n = lower(name);
    if (n.size() < 4 || !isHex(std::string_view(n).substr(0, 4))) return std::nullopt;
    ObjectName result;
    result.index = static_cast<std::uint16_t>(*parseUnsigned("0x" + n.substr(0, 4), 0xFFFF));
    if (n.size() == 4) return result;
    if (n.compare(4, 3, "sub") != 0) return std::nullopt;
    const std::string sub = n.substr(7);
    if (!isHex(sub)) return std::nullopt;
    const auto value = parseUnsigned("0x" + sub, 0xFF);
    if (!value) return std::nullopt;
    result.subindex = static_cast<std::uint8_t>(*value);
    return result;
}

struct Failure {
    std::string message;
};

// Splits the text into sections; the first malformed line is a failure.
std::variant<std::vector<Section>, Failure> readSections(std::string_view text) {
    std::vector<Section> sections;
    int line_number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++line_number;
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3)
                return Failure{at(line_number) + "malformed section header '" + std::string(line) +
                               "'"};
            sections.push_back(
                {std::string(trimmed(line.substr(1, line.size() - 2))), line_number, {}});
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0)
            return Failure{at(line_number) + "expected [SECTION] or KEY=VALUE, got '" +
                           std::string(line) + "'"};
        if (sections.empty())
            return Failure{at(line_number) + "KEY=VALUE before the first [SECTION]"};
        const std::string key = lower(trimmed(line.substr(0, eq)));
        sections.back().keys[key] = {std::string(trimmed(line.substr(eq + 1))), line_number};
    }
    return sections;
}

// "$NODEID+0x180", "0x180+$NODEID", "$NODEID", "384": the sum, as unsigned.
std::optional<std::uint64_t> parseNodeIdSum(std::string_view text, std::uint8_t node) {
    std::uint64_t sum = 0;
    bool any = false;
    while (true) {
        const auto plus = text.find('+');
        const std::string term = lower(trimmed(text.substr(0, plus)));
        if (term == kNodeIdToken) {
            sum += node;
        } else {
            const auto v = parseUnsigned(term, UINT64_MAX, true);
            if (!v) return std::nullopt;
            sum += *v;
        }
        any = true;
        if (plus == std::string_view::npos) break;
        text = text.substr(plus + 1);
    }
    if (!any) return std::nullopt;
    return sum;
}

std::uint64_t unsignedMax(std::size_t bytes) {
    return bytes >= 8 ? UINT64_MAX : (std::uint64_t{1} << (8 * bytes)) - 1;
}

// The bytes of a DefaultValue for type; empty text means zero / empty.
std::variant<std::vector<std::uint8_t>, std::string> defaultBytes(DataType type,
                                                                  const std::string& text,
                                                                  std::uint8_t node) {
    switch (type) {
        case DataType::VisibleString:
            return std::vector<std::uint8_t>(text.begin(), text.end());
        case DataType::OctetString:
        case DataType::UnicodeString:
        case DataType::Domain: {
            auto bytes = parseHexBytes(text);
            if (!bytes) return std::string("DefaultValue '" + text + "' is not hex bytes");
            return *bytes;
        }
        default:
            break;
    }
    const std::size_t size = *fixedSize(type);
    std::uint64_t bits = 0;
    const std::string bad = "DefaultValue '" + text + "' is not a valid value of the data type";
    if (text.empty()) {
        bits = 0;
    } else if (type == DataType::Real32) {
        errno = 0;
        char* end = nullptr;
        const float f = std::strtof(text.c_str(), &end);
        if (errno != 0 || end == text.c_str() || *end != '\0') return bad;
        bits = std::bit_cast<std::uint32_t>(f);
    } else if (isSignedInteger(type) && text[0] == '-') {
        const std::int64_t min = size >= 8 ? INT64_MIN : -(std::int64_t{1} << (8 * size - 1));
        const auto v = parseSigned(text, min, 0, true);
        if (!v) return bad;
        bits = static_cast<std::uint64_t>(*v);
    } else {
        const auto v = lower(text).find(kNodeIdToken) != std::string::npos
                           ? parseNodeIdSum(text, node)
                           : parseUnsigned(text, UINT64_MAX, true);
        const std::uint64_t max = type == DataType::Boolean ? 1 : unsignedMax(size);
        if (!v || *v > max) return bad;
        bits = *v;
    }
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    return bytes;
}

std::optional<Access> parseAccess(const std::string& text) {
    const std::string t = lower(text);
    if (t == "ro") return Access::ReadOnly;
    if (t == "wo") return Access::WriteOnly;
    if (t == "rw" || t == "rwr" || t == "rww") return Access::ReadWrite;
    if (t == "const") return Access::Const;
    return std::nullopt;
}

// One entry from a VAR / DOMAIN object section or a sub-object section.
std::variant<Entry, Failure> makeEntry(const Section& s, std::optional<DataType> implied_type,
                                       std::uint8_t node) {
    const std::string where = "[" + s.name + "] ";
    DataType type{};
    if (const Value* v = s.get("datatype")) {
        const auto number = parseUnsigned(v->text, 0xFFFF, true);
        if (!number)
            return Failure{at(v->line) + where + "DataType '" + v->text + "' is not a number"};
        const auto t = dataTypeFromCode(static_cast<std::uint16_t>(*number));
        if (!t) return Failure{at(v->line) + where + "DataType '" + v->text + "' is not supported"};
        type = *t;
    } else if (implied_type) {
        type = *implied_type;
    } else {
        return Failure{at(s.line) + where + "DataType is missing"};
    }
    const Value* access_value = s.get("accesstype");
    if (!access_value) return Failure{at(s.line) + where + "AccessType is missing"};
    const auto access = parseAccess(access_value->text);
    if (!access)
        return Failure{at(access_value->line) + where + "AccessType '" + access_value->text +
                       "' is not ro, wo, rw, rwr, rww or const"};
    const Value* default_value = s.get("defaultvalue");
    auto bytes = defaultBytes(type, default_value ? default_value->text : std::string{}, node);
    if (auto* reason = std::get_if<std::string>(&bytes))
        return Failure{at(default_value ? default_value->line : s.line) + where + *reason};
    auto& value = std::get<std::vector<std::uint8_t>>(bytes);
    const Value* name = s.get("parametername");
    const std::string parameter_name = name ? name->text : std::string{};
    if (fixedSize(type)) return bytesEntry(type, *access, std::move(value), 0, parameter_name);
    const std::size_t capacity =
        type == DataType::Domain ? kDefaultDomainCapacity : kDefaultStringCapacity;
    return bytesEntry(type, *access, std::move(value), capacity, parameter_name);
}

std::optional<ObjectType> objectTypeOf(const Section& s, std::string& error) {
    const Value* v = s.get("objecttype");
    if (!v) return ObjectType::Var;
    const auto number = parseUnsigned(v->text, 0xFF, true);
    if (number) {
        switch (static_cast<ObjectType>(*number)) {
            case ObjectType::Null:
            case ObjectType::Domain:
            case ObjectType::DefType:
            case ObjectType::DefStruct:
            case ObjectType::Var:
            case ObjectType::Array:
            case ObjectType::Record:
                return static_cast<ObjectType>(*number);
        }
    }
    error = at(v->line) + "[" + s.name + "] ObjectType '" + v->text + "' is not supported";
    return std::nullopt;
}

}  // namespace

EdsResult parseEds(std::string_view text, std::uint8_t node) {
    auto read = readSections(text);
    if (auto* failure = std::get_if<Failure>(&read)) return {std::nullopt, failure->message};
    const auto& sections = std::get<std::vector<Section>>(read);

    ObjectDictionary od;
    std::map<std::uint16_t, ObjectType> objects;  // object sections seen, by index
    // Objects first, so that sub-object sections may come in any order.
    for (const Section& s : sections) {
        const auto name = parseObjectName(s.name);
        if (!name || name->subindex || name->index < kFirstObjectIndex) continue;
        if (objects.count(name->index))
            return {std::nullopt, at(s.line) + "object [" + s.name + "] appears twice"};
        std::string error;
        const auto type = objectTypeOf(s, error);
        if (!type) return {std::nullopt, error};
        objects[name->index] = *type;
        if (s.get("compactsubobj"))
            return {std::nullopt, at(s.get("compactsubobj")->line) + "[" + s.name +
                                      "] CompactSubObj is not supported: write [" + s.name +
                                      "subN] sections"};
        if (*type != ObjectType::Var && *type != ObjectType::Domain) continue;
        const auto implied =
            *type == ObjectType::Domain ? std::optional(DataType::Domain) : std::nullopt;
        auto entry = makeEntry(s, implied, node);
        if (auto* failure = std::get_if<Failure>(&entry)) return {std::nullopt, failure->message};
        od.set(name->index, 0, std::move(std::get<Entry>(entry)));
    }
    for (const Section& s : sections) {
        const auto name = parseObjectName(s.name);
        if (!name || !name->subindex || name->index < kFirstObjectIndex) continue;
        const auto parent = objects.find(name->index);
        if (parent == objects.end())
            return {std::nullopt, at(s.line) + "[" + s.name + "] has no object section [" +
                                      s.name.substr(0, 4) + "]"};
        if (parent->second != ObjectType::Array && parent->second != ObjectType::Record)
            return {std::nullopt, at(s.line) + "[" + s.name +
                                      "] belongs to an object that is not an ARRAY or RECORD"};
        if (od.find(name->index, *name->subindex))
            return {std::nullopt, at(s.line) + "sub-object [" + s.name + "] appears twice"};
        auto entry = makeEntry(s, std::nullopt, node);
        if (auto* failure = std::get_if<Failure>(&entry)) return {std::nullopt, failure->message};
        od.set(name->index, *name->subindex, std::move(std::get<Entry>(entry)));
    }
    if (od.size() == 0) return {std::nullopt, "no object sections ([1000], [1018sub1], ...) found"};
    return {std::move(od), {}};
}

EdsResult loadEdsFile(const std::string& path, std::uint8_t node) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {std::nullopt, path + ": cannot open: " + std::strerror(errno)};
    // One byte more than the limit tells a file that is too large (also an
    // endless one such as /dev/zero).
    std::string text;
    char chunk[8192];
    while (text.size() <= kMaxEdsFileBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return {std::nullopt, path + ": read error"};
    if (text.size() > kMaxEdsFileBytes) return {std::nullopt, path + ": larger than 16 MiB"};
    EdsResult result = parseEds(text, node);
    if (!result.dictionary) result.error = path + ": " + result.error;
    return result;
}

}  // namespace quorsim
