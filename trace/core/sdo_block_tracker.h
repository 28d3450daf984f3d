// Follows SDO block transfers (CiA 301) frame by frame, so that a sub-block
// segment -- whose first byte is a sequence number, not a command -- is told
// apart from a command. Default SDO identifiers: requests 0x600 + node (the
// client), responses 0x580 + node (the server); other frames pass unseen.
//
//   client 0x605                      server 0x585
//   C6 00 20 00 0A 00 00 00  initiate download, size 10, CRC
//                                     A4 00 20 00 7F 00 00 00  block size 127, CRC
//   01 11 22 33 44 55 66 77  segment 1
//   82 88 99 AA 00 00 00 00  segment 2, last       <- both are segments
//                                     A2 02 7F 00 00 00 00 00  ack sequence 2
//   D5 12 34 00 00 00 00 00  end, 5 bytes unused, CRC 0x3412
//                                     A1 00 00 00 00 00 00 00  end response
//
// Block upload runs the other way: client A4 (initiate) / server C6, client A3
// (start), server segments, client A2 (ack), server C1-DD (end), client A1.
// An abort (80) from either side ends the transfer. Not thread-safe: one
// thread feeds it (the library's callback thread, or quordecode's loop).
#pragma once

#include <array>
#include <cstdint>

class SdoBlockTracker {
public:
    // Takes one frame in bus order (length: valid data bytes, 0-8); true when
    // it is a sub-block segment of a block transfer in progress.
    bool Observe(uint32_t identifier, uint8_t length, const uint8_t* data, bool remote);

private:
    enum class Phase : uint8_t {
        kIdle,
        kDownloadInitiated,  // client asked; server's initiate response due
        kDownloadSegments,   // client sends segments; server acknowledges
        kDownloadEnding,     // all acknowledged: end request and response due
        kUploadInitiated,    // client asked; server's initiate response due
        kUploadStarting,     // client's start due
        kUploadSegments,     // server sends segments; client acknowledges
        kUploadEnding,       // all acknowledged: server end and client's response due
    };
    struct Transfer {
        Phase phase = Phase::kIdle;
        uint8_t lastSequence = 0;  // of the segment marked last, 0 before it
    };

    bool clientFrame(Transfer& t, uint8_t command, uint8_t second);
    bool serverFrame(Transfer& t, uint8_t command, uint8_t second);

    std::array<Transfer, 128> transfers_{};  // by node number
};
