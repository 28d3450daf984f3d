/*
 * morvell_demo - a plain C program on the morvellcanopen binding alone.
 *
 * Usage: morvell_demo NODE [NODE...]
 * Opens adapter 1 (the parallel-port dongle row: the virtual bus unless the
 * channel is configured otherwise, see MORVELLCANOPEN_CHANNEL), then for each
 * node: NMT start, reads 0x1008 (device name) and 0x1018 (identity), writes
 * and reads back 0x2000/1 (expedited) and the 1000-byte domain 0x2100
 * (segmented, then block transfer). Exit code 0 when everything worked.
 */
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "morvellcanopen.h"

static pthread_mutex_t done_mutex = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t done_cond = PTHREAD_COND_INITIALIZER;
static int done = 0;
static LibraryResult last_result;
static unsigned long frames_received = 0, frames_sent = 0;

static void on_receive(const CanFrame* frame, int32_t status) {
    (void)frame;
    (void)status;
    __atomic_add_fetch(&frames_received, 1, __ATOMIC_RELAXED);
}

static void on_transmit(const CanFrame* frame) {
    (void)frame;
    __atomic_add_fetch(&frames_sent, 1, __ATOMIC_RELAXED);
}

static void on_error(int32_t code) { fprintf(stderr, "bus error condition %d\n", (int)code); }

static void on_completion(const LibraryResult* result) {
    pthread_mutex_lock(&done_mutex);
    last_result = *result;
    done = 1;
    pthread_cond_signal(&done_cond);
    pthread_mutex_unlock(&done_mutex);
}

/* Waits for the completion of a transfer whose start returned `started`. */
static int finish(const LibraryResult* started, const char* what) {
    if (started->code != 0) {
        printf("%s: refused, code %d: %s\n", what, (int)started->code, started->text);
        return 0;
    }
    pthread_mutex_lock(&done_mutex);
    while (!done) pthread_cond_wait(&done_cond, &done_mutex);
    done = 0;
    pthread_mutex_unlock(&done_mutex);
    if (last_result.code != 0) {
        printf("%s: failed, code %d: %s\n", what, (int)last_result.code, last_result.text);
        return 0;
    }
    return 1;
}

static int upload(uint8_t node, uint16_t index, uint8_t sub, uint8_t* buf, uint32_t* len,
                  const char* what) {
    LibraryResult r;
    CANopen_SDOUpload(node, index, sub, buf, len, NULL, on_completion, &r);
    return finish(&r, what);
}

static int download(uint8_t node, uint16_t index, uint8_t sub, const uint8_t* data, uint32_t len,
                    const char* what) {
    LibraryResult r;
    CANopen_SDODownload(node, index, sub, data, len, NULL, on_completion, &r);
    return finish(&r, what);
}

static uint32_t le32(const uint8_t* b) {
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

static int open_bus(int block) {
    /* Block transfer on or off for this opening. */
    setenv("MORVELLCANOPEN_BLOCK_UPLOAD", block ? "1" : "0", 1);
    setenv("MORVELLCANOPEN_BLOCK_DOWNLOAD_MIN", block ? "64" : "0", 1);
    HwParallelParams params = {125, 0x378, 7, 0};
    LibraryResult r;
    Hardware_Initialize(HW_PARALLEL_DONGLE, &params, &r);
    if (r.code != 0) {
        printf("Hardware_Initialize failed, code %d: %s\n", (int)r.code, r.text);
        return 0;
    }
    return 1;
}

static int domain_round_trip(uint8_t node, const char* kind) {
    static uint8_t out[1000], in[1000];
    char what[64];
    for (unsigned i = 0; i < sizeof out; ++i) out[i] = (uint8_t)(i * 13 + node);
    snprintf(what, sizeof what, "write 0x2100 (%s)", kind);
    if (!download(node, 0x2100, 0, out, sizeof out, what)) return 0;
    uint32_t len = sizeof in;
    snprintf(what, sizeof what, "read 0x2100 (%s)", kind);
    if (!upload(node, 0x2100, 0, in, &len, what)) return 0;
    if (len != sizeof out || memcmp(in, out, sizeof out) != 0) {
        printf("node %u: 0x2100 read back differs (%u bytes)\n", node, (unsigned)len);
        return 0;
    }
    printf("node %u: 1000 bytes written and read back by %s transfer\n", node, kind);
    return 1;
}

static int demo_node(uint8_t node) {
    LibraryResult r;
    CANopen_NMT(node, 0, &r);
    if (r.code != 0) {
        printf("NMT start of node %u failed: %s\n", node, r.text);
        return 0;
    }
    printf("node %u: NMT start sent\n", node);

    uint8_t buf[256];
    uint32_t len = sizeof buf - 1;
    if (!upload(node, 0x1008, 0, buf, &len, "read 0x1008")) return 0;
    buf[len] = 0;
    printf("node %u: device name \"%s\"\n", node, (const char*)buf);

    static const char* names[] = {"", "vendor", "product", "revision", "serial"};
    for (uint8_t sub = 1; sub <= 4; ++sub) {
        len = 4;
        if (!upload(node, 0x1018, sub, buf, &len, "read 0x1018")) return 0;
        printf("node %u: identity %s 0x%08X\n", node, names[sub], (unsigned)le32(buf));
    }

    const uint8_t value[4] = {0x44, 0x33, 0x22, 0x11};
    if (!download(node, 0x2000, 1, value, 4, "write 0x2000/1")) return 0;
    len = 4;
    if (!upload(node, 0x2000, 1, buf, &len, "read 0x2000/1")) return 0;
    printf("node %u: 0x2000/1 = 0x%08X after writing 0x11223344\n", node, (unsigned)le32(buf));
    return domain_round_trip(node, "segmented");
}

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s NODE [NODE...]\n", argv[0]);
        return 2;
    }
    Event_Receive(on_receive);
    Event_Transmit(on_transmit);
    Event_MajorError(on_error);

    int ok = open_bus(0);
    for (int i = 1; ok && i < argc; ++i) ok = demo_node((uint8_t)strtoul(argv[i], NULL, 0));
    Hardware_Close();
    if (ok) ok = open_bus(1);
    for (int i = 1; ok && i < argc; ++i) ok = domain_round_trip((uint8_t)strtoul(argv[i], NULL, 0), "block");
    Hardware_Close();

    printf("%s: %lu frames sent, %lu received\n", ok ? "demo complete" : "demo FAILED",
           __atomic_load_n(&frames_sent, __ATOMIC_RELAXED),
           __atomic_load_n(&frames_received, __ATOMIC_RELAXED));
    return ok ? 0 : 1;
}
