// The binding's records are exchanged byte for byte with callers built
// elsewhere: their offsets are part of the contract.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "canlib/morvellcanopen.h"

namespace {

struct FieldCase {
    const char* name;
    std::size_t offset, expected;
};

TEST(BindingLayout, FieldOffsets) {
    const FieldCase cases[] = {
        {"CanFrame.id", offsetof(CanFrame, id), 0},
        {"CanFrame.length", offsetof(CanFrame, length), 4},
        {"CanFrame.flags", offsetof(CanFrame, flags), 5},
        {"CanFrame.data", offsetof(CanFrame, data), 6},
        {"LibraryResult.text", offsetof(LibraryResult, text), 4},
        {"HwIsaParams.ioAddress", offsetof(HwIsaParams, ioAddress), 4},
        {"HwIsaParams.irq", offsetof(HwIsaParams, irq), 8},
    };
    for (const auto& c : cases) EXPECT_EQ(c.offset, c.expected) << c.name;
}

TEST(BindingLayout, RecordsAreLittleEndianWithoutPadding) {
    // The record for "2E8", IRQ 15, EPP at 1 Mbit/s as a caller lays it out.
    const unsigned char bytes[16] = {0xE8, 0x03, 0, 0, 0xE8, 0x02, 0, 0, 15, 0, 0, 0, 1, 0, 0, 0};
    HwParallelParams p;
    std::memcpy(&p, bytes, sizeof p);
    EXPECT_EQ(p.baudKbps, 1000);
    EXPECT_EQ(p.portAddress, 0x2E8u);
    EXPECT_EQ(p.irq, 15u);
    EXPECT_EQ(p.portType, 1u);

    const unsigned char usb[5] = {50, 0, 0, 0, 255};
    HwUsbModuleParams u;
    std::memcpy(&u, usb, sizeof u);
    EXPECT_EQ(u.baudKbps, 50);
    EXPECT_EQ(u.deviceNumber, 255);
}

}  // namespace
