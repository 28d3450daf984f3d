// The Linux side of the adapter choice: which channel an adapter opens, the
// CAN interfaces present, and saving a choice, through the library's channel
// functions (canlib/morvellchannels.h). An interface so the dialog's tests
// can replace the machine. UI thread.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "hardware/hardware_selection.h"

struct ChannelOrigin {
    enum class Source { Environment, File, Default };
    QString channel;  // canonical when it parses, else as found
    Source source = Source::Default;
    QString origin;   // variable name or file path; empty for the default
    QString problem;  // why channel does not parse; empty when it does
};

struct CanInterfaceEntry {
    QString name;          // "can0"
    QString state;         // "up", "down", "unknown"; empty when unreadable
    uint32_t bitrate = 0;  // bit/s, 0 when not known
};

// The outcome of checking or saving: ok, or the reason.
struct ChannelOutcome {
    bool ok = false;
    QString text;  // check: the canonical channel when ok; else the reason
};

class ChannelDirectory {
public:
    virtual ~ChannelDirectory() = default;
    // The channel Hardware_Initialize opens for this request now.
    virtual ChannelOrigin resolve(const hwconfig::HardwareRequest& request) = 0;
    virtual std::vector<CanInterfaceEntry> interfaces() = 0;
    virtual ChannelOutcome check(const QString& channel) = 0;
    // Saves adapterN = channel in the per-user file; an empty channel removes it.
    virtual ChannelOutcome save(int32_t hardwareCode, const QString& channel) = 0;
};

// The directory of this machine (the library's channel functions).
std::unique_ptr<ChannelDirectory> MakeLibraryChannelDirectory();

// "socketcan:can0" for an interface name.
QString SocketCanChannel(const QString& interfaceName);
// A list item for an interface: "socketcan:can0 (up, 500 kbit/s)",
// "socketcan:vcan0 (unknown)", "socketcan:can1".
QString InterfaceItemText(const CanInterfaceEntry& entry);
// The bus name of a canonical channel text: "can0" of "socketcan:can0",
// "can1" of "socketcand:gw:29536/can1", "lab" of "virtual:lab@29600"; empty
// for any other text.
QString BusNameOfChannel(const QString& channel);
// One line under the channel field saying where the channel comes from.
QString OriginText(const ChannelOrigin& origin);
