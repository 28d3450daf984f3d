// Blocking SDO transfers, as the manager window's operations use them. The
// real one is TUtilities; tests put a scripted device behind it.
#pragma once

#include <cstdint>

#include "canlib/morvellcanopen.h"

class BlockingSdo {
public:
    virtual ~BlockingSdo() = default;

    // Reads nodeId's index/subindex into buffer. length: in = the buffer's
    // capacity, out = bytes received (meaningful when result.code is 0).
    // Returns when the transfer has ended, or at once when it could not
    // start; result holds the library's code and text.
    virtual void SDOUpload(uint8_t nodeId, uint16_t index, uint8_t subindex, uint8_t* buffer,
                           uint32_t& length, LibraryResult& result) = 0;
    // Writes length bytes of data; otherwise as SDOUpload.
    virtual void SDODownload(uint8_t nodeId, uint16_t index, uint8_t subindex, const uint8_t* data,
                             uint32_t length, LibraryResult& result) = 0;
};
