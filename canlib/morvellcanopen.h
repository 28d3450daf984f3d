/*
 * morvellcanopen.h - C binding of the morvellcanopen CANopen access library.
 *
 * Ten plain functions with C linkage. No function returns a value: every
 * outcome travels in a LibraryResult that the caller passes by address.
 *
 * Threads: the functions may be called from any thread. Every callback runs
 * on the library's I/O thread (one per open interface), never on the caller's
 * thread. CAN_Transmit, CANopen_SDOUpload/Download and CANopen_Cancel may be
 * called from inside a callback; a completion callback may start the next
 * transfer before it returns.
 *
 * Result codes (LibraryResult.code):
 *   0  success
 *   1  cancelled (CANopen_Cancel, or the interface was closed mid-transfer)
 *   4  invalid parameter: text[0] holds the 1-based parameter number, not text
 *   5  SDO protocol error: text holds the abort reason and code, for example
 *      "Object does not exist in the object dictionary (0x06020000)"
 *   6  the I/O thread could not be started
 *   7  hardware initialisation failed: text names the cause and the fix
 *   8  CAN bus error (interface not open, connection lost, queue full)
 *  11  time-out: the SDO server did not answer in time
 * A request refused at once (interface not open, a transfer already running,
 * a bad argument) returns a non-zero code and is never followed by a
 * completion callback. A transfer that started (code 0) completes exactly once.
 */
#ifndef MORVELLCANOPEN_H
#define MORVELLCANOPEN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define MORVELL_PACKED __attribute__((packed))
#else
#define MORVELL_PACKED
#endif

/* CanFrame.flags bits */
#define CANFRAME_FLAG_EXTENDED 0x01u /* 29-bit identifier */
#define CANFRAME_FLAG_REMOTE 0x02u   /* remote transmission request */

/* One CAN frame, 14 bytes. id is 11-bit, or 29-bit with CANFRAME_FLAG_EXTENDED;
 * length 0-8; only the first `length` data bytes are meaningful. */
typedef struct MORVELL_PACKED CanFrame {
    uint32_t id;
    uint8_t length;
    uint8_t flags;
    uint8_t data[8];
} CanFrame;

#define LIBRARY_RESULT_TEXT_SIZE 300

/* Outcome of a call or a transfer: code 0 = success; text is NUL-terminated
 * (for code 4 text[0] is the parameter number). */
typedef struct MORVELL_PACKED LibraryResult {
    int32_t code;
    char text[LIBRARY_RESULT_TEXT_SIZE];
} LibraryResult;

/* Hardware codes for Hardware_Initialize. */
#define HW_PARALLEL_DONGLE 1 /* HwParallelParams */
#define HW_USB 2             /* HwBaudParams */
#define HW_USB_MODULE 3      /* HwUsbModuleParams */
#define HW_PCI 4             /* HwBaudParams */
#define HW_ISA 5             /* HwIsaParams */

/* Parameter records, little-endian, no padding. baudKbps is one of
 * 1000, 800, 500, 250, 125, 50, 20, 10. */
typedef struct MORVELL_PACKED HwParallelParams {
    int32_t baudKbps;
    uint32_t portAddress; /* e.g. 0x378 */
    uint32_t irq;         /* 0-15 */
    uint32_t portType;    /* 0 standard, 1 EPP */
} HwParallelParams;

typedef struct MORVELL_PACKED HwBaudParams {
    int32_t baudKbps;
} HwBaudParams;

typedef struct MORVELL_PACKED HwUsbModuleParams {
    int32_t baudKbps;
    uint8_t deviceNumber; /* 0-254, 255 = any device */
} HwUsbModuleParams;

typedef struct MORVELL_PACKED HwIsaParams {
    int32_t baudKbps;
    uint32_t ioAddress; /* e.g. 0x300 */
    uint32_t irq;
} HwIsaParams;

/* Codes passed to the error callback. 0 = the condition has cleared. */
#define MORVELL_ERROR_CLEARED 0
#define MORVELL_ERROR_WARNING 1         /* error counters at warning level */
#define MORVELL_ERROR_PASSIVE 2         /* controller is error passive */
#define MORVELL_ERROR_BUS_OFF 3         /* controller is bus off */
#define MORVELL_ERROR_PROTOCOL 4        /* error frame: bit, stuff, form, CRC, ACK */
#define MORVELL_ERROR_RX_OVERFLOW 5     /* received frames were lost */
#define MORVELL_ERROR_CONNECTION_LOST 6 /* gateway or virtual bus went away */
#define MORVELL_ERROR_TX_FAILED 7       /* a frame could not be sent */

/* Receive status: non-zero for a frame this station received from the bus,
 * 0 for traffic sent by another program on this host (seen, not received). */
typedef void (*ReceiveCallback)(const CanFrame* frame, int32_t status);
/* A frame the library has put on the bus (SocketCAN: confirmed by the
 * controller; socketcand and virtual bus: written to the gateway). */
typedef void (*TransmitCallback)(const CanFrame* frame);
typedef void (*ErrorCallback)(int32_t code);
/* percent 0-100, any number of times during a transfer whose size is known. */
typedef void (*ProgressCallback)(float percent);
/* Exactly once per started transfer. The record lives only during the call. */
typedef void (*CompletionCallback)(const LibraryResult* result);

/* Opens the interface; code 0 = open, frames and callbacks flow from then on.
 * params points at the record of interfaceCode. Opening while open closes
 * the previous interface first. */
void Hardware_Initialize(int32_t interfaceCode, const void* params, LibraryResult* result);

/* Closes the interface; a running transfer completes with code 1 first.
 * Safe to call when nothing is open. */
void Hardware_Close(void);

/* NMT command to nodeId (1-127, 0 = all nodes). command: 0 start (enter
 * Operational), 1 stop, 2 enter Pre-Operational, 3 reset node, 5 reset
 * communication. Code 0 = queued for sending. */
void CANopen_NMT(uint8_t nodeId, int32_t command, LibraryResult* result);

/* Reads index/subindex of nodeId (1-127) into buffer. *length: in = buffer
 * capacity in bytes, out = bytes received (set before the completion
 * callback runs). Returns at once; code 0 = started. An entry larger than
 * the capacity is aborted (0x05040005) and fails with code 5. buffer and
 * length must stay valid until the completion callback. */
void CANopen_SDOUpload(uint8_t nodeId, uint32_t index, uint8_t subindex, uint8_t* buffer,
                       uint32_t* length, ProgressCallback progress,
                       CompletionCallback completion, LibraryResult* result);

/* Writes length bytes of data to index/subindex of nodeId. The data is
 * copied before the call returns. Otherwise as CANopen_SDOUpload. */
void CANopen_SDODownload(uint8_t nodeId, uint32_t index, uint8_t subindex, const uint8_t* data,
                         uint32_t length, ProgressCallback progress,
                         CompletionCallback completion, LibraryResult* result);

/* Aborts the running transfer: the server receives abort 0x08000000
 * (general error) and the transfer completes with code 1. No effect when no
 * transfer runs. */
void CANopen_Cancel(void);

/* Queues one frame for sending. Code 0 = queued, 8 = not open or queue full,
 * 4 = bad frame (length above 8, identifier out of range). */
void CAN_Transmit(const CanFrame* frame, LibraryResult* result);

/* Callback registration; NULL unregisters. Meant to be called before
 * Hardware_Initialize, but safe at any time. */
void Event_Receive(ReceiveCallback callback);
void Event_Transmit(TransmitCallback callback);
void Event_MajorError(ErrorCallback callback);

#ifdef __cplusplus
}
#endif

/* The layouts are part of the binding: check them wherever the header is used. */
#ifdef __cplusplus
#define MORVELL_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#define MORVELL_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
MORVELL_STATIC_ASSERT(sizeof(CanFrame) == 14, "CanFrame is 14 bytes");
MORVELL_STATIC_ASSERT(sizeof(LibraryResult) == 304, "LibraryResult is 4 + 300 bytes");
MORVELL_STATIC_ASSERT(sizeof(HwParallelParams) == 16, "HwParallelParams is 16 bytes");
MORVELL_STATIC_ASSERT(sizeof(HwBaudParams) == 4, "HwBaudParams is 4 bytes");
MORVELL_STATIC_ASSERT(sizeof(HwUsbModuleParams) == 5, "HwUsbModuleParams is 5 bytes");
MORVELL_STATIC_ASSERT(sizeof(HwIsaParams) == 12, "HwIsaParams is 12 bytes");

#endif /* MORVELLCANOPEN_H */
