// quorcmd --channels: the channel each adapter code opens on this machine
// (as Hardware_Initialize resolves it) and the CAN interfaces present.
//
//   adapter 1 (Trelvik Kestra Parallel Port Dongle): virtual:vbus0 (default)
//   adapter 2 (Trelvik Kestra USB): socketcan:can1 (from
//   /home/u/.config/Trelvik-System/morvellcanopen.conf) adapter 3 (Ostra USB Module, any device):
//   socketcan:can0 (default; device N: socketcan:canN) adapter 4 (Trelvik Kestra PCI): pcan:1 (from
//   ...) - not usable: unknown channel 'pcan:1': ... adapter 5 (Trelvik Kestra ISA II):
//   socketcan:can0 (default) CAN interfaces: can0 (up, 500 kbit/s), vcan0 (unknown)
#pragma once

#include <cstdio>

namespace quorcmd {

inline constexpr const char* kChannelsOption = "--channels";

// Writes the listing above to out; returns the exit code (0, or 1 when the
// library could not answer). Main thread.
int PrintChannels(std::FILE* out);

}  // namespace quorcmd
