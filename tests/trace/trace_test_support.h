// Shared by the interpreter, export and quordecode tests: building records,
// a fake transmit message table and a scoped time zone.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "trace/message_names.h"
#include "trace/trace_record.h"

namespace tracetest {

inline TraceRecord Frame(uint32_t identifier, std::initializer_list<uint8_t> data,
                         uint8_t flags = 0) {
    TraceRecord record;
    record.identifier = identifier;
    record.flags = flags;
    for (uint8_t byte : data) record.data[record.length++] = byte;
    return record;
}

// A TIME frame of `milliseconds` after midnight on day `days` since 1984.
inline TraceRecord TimeFrame(uint32_t milliseconds, uint16_t days) {
    return Frame(
        0x100, {static_cast<uint8_t>(milliseconds), static_cast<uint8_t>(milliseconds >> 8),
                static_cast<uint8_t>(milliseconds >> 16), static_cast<uint8_t>(milliseconds >> 24),
                static_cast<uint8_t>(days), static_cast<uint8_t>(days >> 8)});
}

// Transmit messages as (identifier, display name); an empty name is a
// disabled message.
class FakeNames : public MessageNames {
public:
    FakeNames(std::initializer_list<std::pair<uint32_t, std::string>> messages)
        : messages_(messages) {}
    int Count() const override { return static_cast<int>(messages_.size()); }
    uint32_t EffectiveId(int i) const override { return messages_.at(i).first; }
    std::string DisplayName(int i) const override { return messages_.at(i).second; }

private:
    std::vector<std::pair<uint32_t, std::string>> messages_;
};

// Sets TZ for the lifetime of the object and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

}  // namespace tracetest
