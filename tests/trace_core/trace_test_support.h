// Shared by the trace tests: building records, a fake transmit message table,
// a scoped time zone and the export texts.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "support/scoped_time_zone.h"
#include "trace/core/message_names.h"
#include "trace/core/trace_record.h"

namespace tracetest {

using testsupport::ScopedTimeZone;

// "605#2300100011223344": hex identifier, '#', hex data bytes. More than three
// identifier digits mark an extended frame, an 'R' after the '#' a remote one.
inline TraceRecord FrameFrom(std::string_view text) {
    TraceRecord record;
    const std::size_t hash = text.find('#');
    record.identifier =
        static_cast<uint32_t>(std::stoul(std::string(text.substr(0, hash)), nullptr, 16));
    if (hash > 3) record.flags |= kTraceFlagExtended;
    std::string_view data = text.substr(hash + 1);
    if (!data.empty() && data[0] == 'R') {
        record.flags |= kTraceFlagRemote;
        data.remove_prefix(1);
    }
    for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
        record.data[record.length++] =
            static_cast<uint8_t>(std::stoul(std::string(data.substr(i, 2)), nullptr, 16));
    }
    return record;
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
    // Renames, enables or disables (empty name) message i, or moves it.
    void Set(int i, uint32_t id, std::string name) { messages_.at(i) = {id, std::move(name)}; }

private:
    std::vector<std::pair<uint32_t, std::string>> messages_;
};

// The export's column line, and its rows for frames A (705#05 received),
// B (605#2300100011223344 transmitted) and C (181#2C2241 received) less the
// leading message number.
inline constexpr char kColumnLine[] =
    "Message Number,Dir,Cnt,Msg ID (Hex),Msg Type,Node ID (Hex),Details,Data (Hex),"
    "Data (ASCII),Raw Message (Hex)\n";
inline constexpr char kRowA[] = ",Rx,1,705,Node Guarding/Heartbeat,05 (5d),Operational,,,05 \n";
inline constexpr char kRowB[] =
    ",Tx,1,605,SDO Download Request,05 (5d),\"Index = 0x1000, Sub = 0x00, expedited\","
    "11 22 33 44 ,\".\"\"3D\",23 00 10 00 11 22 33 44 \n";
inline constexpr char kRowC[] = ",Rx,1,181,,,COB-ID: 0x181,2C 22 41 ,\",\"\"A\",2C 22 41 \n";

}  // namespace tracetest
