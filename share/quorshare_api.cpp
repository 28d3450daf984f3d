// The C functions of libquorshare.so. No exception crosses them: anything
// thrown inside becomes QUORSHARE_SYSTEM_ERROR.
#include <cstddef>
#include <memory>
#include <new>

#include "share/quorshare.h"
#include "share/share_client.h"

static_assert(sizeof(QuorshareFrame) == sizeof(CanFrame), "one 14-byte frame layout");
static_assert(offsetof(QuorshareFrame, length) == offsetof(CanFrame, length));
static_assert(offsetof(QuorshareFrame, flags) == offsetof(CanFrame, flags));
static_assert(offsetof(QuorshareFrame, data) == offsetof(CanFrame, data));
static_assert(QUORSHARE_FLAG_EXTENDED == CANFRAME_FLAG_EXTENDED);
static_assert(QUORSHARE_FLAG_REMOTE == CANFRAME_FLAG_REMOTE);

#define QUORSHARE_EXPORT __attribute__((visibility("default")))

struct QuorshareClient {
    std::unique_ptr<share::ShareClient> client;
};

namespace {

template <class Body>
int guarded(Body body) {
    try {
        return body();
    } catch (...) {
        return share::kSystemError;
    }
}

}  // namespace

extern "C" {

QUORSHARE_EXPORT int quorshare_connect(int32_t waitMs, QuorshareClient** client) {
    if (client == nullptr) return share::kBadArgument;
    return guarded([&] {
        auto made = std::make_unique<QuorshareClient>();
        const share::Result result = share::ShareClient::Connect(waitMs, &made->client);
        if (result == share::kOk) *client = made.release();
        return static_cast<int>(result);
    });
}

QUORSHARE_EXPORT int quorshare_setfilter(QuorshareClient* client, uint32_t slot, uint32_t mask,
                                         uint32_t value) {
    if (client == nullptr) return share::kBadArgument;
    return guarded([&] { return client->client->SetFilter({mask, value, slot}); });
}

QUORSHARE_EXPORT int quorshare_receive(QuorshareClient* client, QuorshareFrame* frames,
                                       int32_t capacity, int32_t waitMs, int32_t* count) {
    if (client == nullptr || frames == nullptr || count == nullptr || capacity <= 0) {
        return share::kBadArgument;
    }
    *count = 0;
    return guarded([&] {
        std::size_t got = 0;
        const share::Result result = client->client->Receive(
            reinterpret_cast<CanFrame*>(frames), static_cast<std::size_t>(capacity), waitMs, &got);
        *count = static_cast<int32_t>(got);
        return static_cast<int>(result);
    });
}

QUORSHARE_EXPORT int quorshare_send(QuorshareClient* client, const QuorshareFrame* frames,
                                    int32_t count) {
    if (client == nullptr || count < 0 || (frames == nullptr && count > 0)) {
        return share::kBadArgument;
    }
    return guarded([&] {
        return client->client->Send(reinterpret_cast<const CanFrame*>(frames),
                                    static_cast<std::size_t>(count));
    });
}

QUORSHARE_EXPORT void quorshare_disconnect(QuorshareClient* client) {
    try {
        delete client;
    } catch (...) {
    }
}

QUORSHARE_EXPORT const char* quorshare_resulttext(int code) {
    switch (code) {
        case share::kOk:
            return "done";
        case share::kTimeout:
            return "nothing within the wait";
        case share::kEnded:
            return "quorvane shut down";
        case share::kLost:
            return "the connection to quorvane broke";
        case share::kBadArgument:
            return "invalid argument";
        case share::kNoRuntimeDir:
            return "XDG_RUNTIME_DIR is not set";
        case share::kRefused:
            return "quorvane refused the connection (another user's socket?)";
        case share::kSystemError:
            return "out of memory or descriptors";
        default:
            return "unknown result code";
    }
}

}  // extern "C"
