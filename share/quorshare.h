/*
 * quorshare.h - client library of quorvane's frame sharing (libquorshare.so).
 *
 * A program on the same desktop, run by the same user, shares quorvane's CAN
 * interface: it receives the frames quorvane sees (received, transmitted and
 * other traffic), filtered by up to 32 filter slots, and has quorvane
 * transmit frames for it. The library talks to quorvane over the per-user
 * socket $XDG_RUNTIME_DIR/quorvane-sharing.sock; no Qt, no CAN library.
 *
 * Filters: each slot is (mask, value). The key of a frame is, for a standard
 * frame, id << 16 | data[0] << 8 | data[1], and for an extended frame
 * id | 0x80000000. A slot passes the frame when (mask | key) == value. A frame
 * is received when any slot passes it. Slot 0 starts as (0xFFFFFFFF,
 * 0xFFFFFFFF), which passes every frame; slots 1-31 as (0xFFFFFFFF, 0), which
 * pass none. Example: slot 0 = (0xFFFFFFFF, 0) and slot 1 = (0x0000FFFF,
 * 0x0181FFFF) receive only standard frames with identifier 0x181.
 *
 * Order: quorvane forwards frames in batches, newest frame first;
 * quorshare_receive reverses each batch, so frames come out in bus order,
 * oldest first. The library applies the filters too, so no frame that the
 * current filters reject is handed out, even one forwarded before quorvane
 * took a new setting.
 *
 * Threads: one thread at a time may receive on a client; quorshare_send and
 * quorshare_setfilter may be called from another thread meanwhile. No
 * function may be called during or after quorshare_disconnect.
 *
 * Every function returning int gives one of the QUORSHARE_ codes.
 */
#ifndef QUORSHARE_H
#define QUORSHARE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QUORSHARE_PACKED __attribute__((packed))
#else
#define QUORSHARE_PACKED
#endif

#define QUORSHARE_FLAG_EXTENDED 0x01u /* 29-bit identifier */
#define QUORSHARE_FLAG_REMOTE 0x02u   /* remote transmission request */

/* One CAN frame, 14 bytes: id 11-bit, or 29-bit with QUORSHARE_FLAG_EXTENDED;
 * length 0-8; data bytes past length are zero in received frames. */
typedef struct QUORSHARE_PACKED QuorshareFrame {
    uint32_t id;
    uint8_t length;
    uint8_t flags;
    uint8_t data[8];
} QuorshareFrame;

/* A connection to quorvane. */
typedef struct QuorshareClient QuorshareClient;

#define QUORSHARE_OK 0
#define QUORSHARE_TIMEOUT 1        /* the wait ended (or a signal came) first */
#define QUORSHARE_ENDED 2          /* quorvane shut down: nothing more comes */
#define QUORSHARE_LOST 3           /* the connection broke without a shutdown */
#define QUORSHARE_BAD_ARGUMENT 4   /* a null pointer, a slot above 31, a length above 8 */
#define QUORSHARE_NO_RUNTIME_DIR 5 /* XDG_RUNTIME_DIR is not set (or not absolute) */
#define QUORSHARE_REFUSED 6        /* the socket belongs to another user, or quorvane refused */
#define QUORSHARE_SYSTEM_ERROR 7   /* out of memory or descriptors */

/* Connects and registers with quorvane. When quorvane is not running yet,
 * waits for it to appear: up to waitMs milliseconds, forever when waitMs < 0,
 * a single try when 0. Once the socket answers, quorvane's reply is awaited
 * up to 5 s more. *client is set on QUORSHARE_OK only. */
int quorshare_connect(int32_t waitMs, QuorshareClient** client);

/* Sets filter slot 0-31 to (mask, value). It holds from quorvane's next
 * forwarding pass on (within a few milliseconds). */
int quorshare_setfilter(QuorshareClient* client, uint32_t slot, uint32_t mask, uint32_t value);

/* Copies up to capacity frames, in bus order, into frames and sets *count.
 * Waits up to waitMs milliseconds (forever when < 0) while none is there.
 * Gives QUORSHARE_OK with *count >= 1, QUORSHARE_TIMEOUT with *count 0, or,
 * once every frame that arrived has been handed out, QUORSHARE_ENDED or
 * QUORSHARE_LOST. Frames of one batch arrive together, so a receive after a
 * long gap may return a whole batch. */
int quorshare_receive(QuorshareClient* client, QuorshareFrame* frames, int32_t capacity,
                      int32_t waitMs, int32_t* count);

/* Has quorvane transmit count frames, in order (any count; sent in blocks of
 * at most 13000). A frame with a length above 8 is refused before anything is
 * sent. QUORSHARE_OK means quorvane has the frames; it transmits them at once,
 * as it transmits its own (a frame its CAN interface refuses is lost). */
int quorshare_send(QuorshareClient* client, const QuorshareFrame* frames, int32_t count);

/* Says goodbye to quorvane, closes the connection and frees the client.
 * A null client is ignored. */
void quorshare_disconnect(QuorshareClient* client);

/* A short English text for a QUORSHARE_ code. */
const char* quorshare_resulttext(int code);

#ifdef __cplusplus
}
#endif

#endif /* QUORSHARE_H */
