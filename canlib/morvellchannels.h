/*
 * morvellchannels.h - which CAN bus libmorvellcanopen opens on this machine.
 *
 * Beside the ten functions of morvellcanopen.h: the channel an adapter code
 * and its parameter record lead to, the CAN interfaces present, and the
 * per-user choice of channel. Channel texts:
 *
 *   socketcan:IFACE                 Linux kernel CAN, e.g. socketcan:can0
 *   socketcand:HOST[:PORT]/IFACE    a socketcand gateway (port 29536 by default)
 *   virtual[:BUS][@PORT]            the local quorbus virtual bus (bus vbus0)
 *
 * Hardware_Initialize resolves the channel in this order, first match wins:
 *   1. the environment variable MORVELLCANOPEN_CHANNEL;
 *   2. "adapterN = CHANNEL" in $XDG_CONFIG_HOME/Trelvik-System/morvellcanopen.conf
 *      (~/.config when XDG_CONFIG_HOME is unset), N the adapter code;
 *   3. the default: adapter 1 virtual; 2, 4, 5 socketcan:can0; 3 (USB module,
 *      device N) socketcan:canN, device 255 ("any") socketcan:can0.
 *
 * Result codes (LibraryResult.code): 0 success; 4 invalid parameter (text[0]
 * is the parameter number); 7 the channel text does not parse, or the file
 * cannot be written: text names the cause. The functions may be called from
 * any thread; none starts a thread or calls back.
 */
#ifndef MORVELLCHANNELS_H
#define MORVELLCHANNELS_H

#include <stdint.h>

#include "morvellcanopen.h"

#ifdef __cplusplus
extern "C" {
#endif

#define CHANNEL_TEXT_SIZE 128
#define CHANNEL_IFACE_NAME_SIZE 16 /* IFNAMSIZ */

/* ChannelResolution.source */
#define CHANNEL_FROM_ENVIRONMENT 1 /* MORVELLCANOPEN_CHANNEL */
#define CHANNEL_FROM_FILE 2        /* adapterN in the per-user file */
#define CHANNEL_FROM_DEFAULT 3     /* the adapter's default */

/* Where an adapter leads. channel: the canonical text when it parses
 * ("virtual" reads "virtual:vbus0"), else the text as found. origin: the
 * variable's name, the file's path, or empty for the default. */
typedef struct ChannelResolution {
    char channel[CHANNEL_TEXT_SIZE];
    int32_t source;
    char origin[LIBRARY_RESULT_TEXT_SIZE];
} ChannelResolution;

/* A CAN network interface of this machine. state: the kernel's operstate
 * ("up", "down", "unknown"), empty when unreadable. bitrate: bit/s, 0 when
 * the link reports none (vcan, or not readable). */
typedef struct CanInterfaceInfo {
    char name[CHANNEL_IFACE_NAME_SIZE];
    char state[CHANNEL_IFACE_NAME_SIZE];
    uint32_t bitrate;
} CanInterfaceInfo;

/* The channel Hardware_Initialize(interfaceCode, params, ...) would open now.
 * params: the adapter's record as for Hardware_Initialize; only the USB
 * module's device number is read, and params may be NULL for the other
 * codes. Code 7 when the resolved text does not parse (resolution is filled
 * all the same, text gives the reason). */
void Channel_Resolve(int32_t interfaceCode, const void* params, ChannelResolution* resolution,
                     LibraryResult* result);

/* Checks a channel text. Code 0: text holds the canonical form; code 7: text
 * gives the reason, e.g. "channel 'socketcand:gw': expected ...". */
void Channel_Check(const char* channel, LibraryResult* result);

/* The CAN interfaces present, sorted by name. Fills at most capacity entries
 * of interfaces (NULL when capacity is 0); *count receives how many exist,
 * which may exceed capacity. Code 0 also when there are none. */
void Channel_ListInterfaces(CanInterfaceInfo* interfaces, int32_t capacity, int32_t* count,
                            LibraryResult* result);

/* Saves "adapterN = CHANNEL" (the canonical text) in the per-user file,
 * keeping its other lines; NULL or "" removes the entry so the default
 * applies again. A text that does not parse is refused with code 7 and
 * nothing is written. MORVELLCANOPEN_CHANNEL, when set, still wins. */
void Channel_Save(int32_t interfaceCode, const char* channel, LibraryResult* result);

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
static_assert(sizeof(CanInterfaceInfo) == 36, "CanInterfaceInfo is 16 + 16 + 4 bytes");
#else
_Static_assert(sizeof(CanInterfaceInfo) == 36, "CanInterfaceInfo is 16 + 16 + 4 bytes");
#endif

#endif /* MORVELLCHANNELS_H */
