// The ten functions of the C binding, over one process-wide session.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>

#include "c_boundary.h"
#include "library_config.h"
#include "morvellcanopen.h"
#include "protocol/can_frame.h"
#include "protocol/nmt.h"
#include "session.h"
#include "transport/channel.h"

namespace {

using morvell::session::CallResult;
using morvell::session::Session;

using morvell::session::guarded;
using morvell::session::kBusError;
using morvell::session::kInvalidParameter;
using morvell::session::setParameterError;
using morvell::session::setResult;

constexpr std::int32_t kHardwareInit = 7;
constexpr std::int32_t kThreadStart = 6;
// Largest download accepted in one call (the copy is held in memory).
constexpr std::uint32_t kMaxDownloadBytes = 64u << 20;

// The open interface and the registered callbacks. The session pointer is
// shared so a call in progress keeps its session alive while another thread
// closes the interface.
struct Library {
    std::mutex mutex;
    std::shared_ptr<Session> session;
    morvell::session::Callbacks callbacks;
};

Library& library() {
    static Library instance;
    return instance;
}

std::shared_ptr<Session> currentSession() {
    auto& lib = library();
    std::lock_guard lock(lib.mutex);
    return lib.session;
}

void setResult(LibraryResult* r, const CallResult& c) {
    if (c.code == kInvalidParameter)
        setParameterError(r, c.parameter);
    else
        setResult(r, c.code, c.text);
}

const char* notOpenText() {
    return "the CAN interface is not open";
}

}  // namespace

MORVELL_API void Hardware_Initialize(int32_t interfaceCode, const void* params,
                                     LibraryResult* result) {
    guarded(result, [&] {
        if (interfaceCode < HW_PARALLEL_DONGLE || interfaceCode > HW_ISA)
            return setParameterError(result, 1);
        if (!params) return setParameterError(result, 2);
        // Every record starts with the bit rate; the USB module adds a device number.
        std::int32_t kbps;
        std::memcpy(&kbps, params, sizeof kbps);
        if (!morvell::transport::isSupportedBitrate(kbps)) return setParameterError(result, 2);
        std::uint8_t device = 255;
        if (interfaceCode == HW_USB_MODULE)
            device = static_cast<const HwUsbModuleParams*>(params)->deviceNumber;

        Hardware_Close();

        const auto file =
            morvell::transport::readConfigFile(morvell::transport::defaultConfigPath());
        const auto settings = morvell::session::loadLibrarySettings(
            interfaceCode, device, file,
            [](const char* name) -> const char* { return std::getenv(name); });
        if (!settings.problem.empty()) return setResult(result, kHardwareInit, settings.problem);

        std::string error;
        const auto channel = morvell::transport::parseChannel(settings.channel_text, &error);
        if (!channel) return setResult(result, kHardwareInit, error);
        auto opened = morvell::transport::openChannel(*channel, kbps);
        if (!opened.transport) return setResult(result, kHardwareInit, opened.error);

        auto& lib = library();
        auto config = settings.session;
        config.sdo.bitrate_bps = static_cast<std::uint32_t>(kbps) * 1000;
        auto session = Session::start(std::move(opened.transport), config, lib.callbacks, &error);
        if (!session) return setResult(result, kThreadStart, error);
        {
            std::lock_guard lock(lib.mutex);
            lib.session = std::move(session);
        }
        setResult(result, 0);
    });
}

MORVELL_API void Hardware_Close(void) {
    guarded(nullptr, [&] {
        std::shared_ptr<Session> closing;
        {
            auto& lib = library();
            std::lock_guard lock(lib.mutex);
            closing = std::move(lib.session);
        }
        // The session stops when the last holder lets go: here, or in a call
        // still running on another thread.
    });
}

MORVELL_API void CANopen_NMT(uint8_t nodeId, int32_t command, LibraryResult* result) {
    guarded(result, [&] {
        if (nodeId > 127) return setParameterError(result, 1);
        const auto nmt = morvell::nmt::commandFromBinding(command);
        if (!nmt) return setParameterError(result, 2);
        const auto session = currentSession();
        if (!session) return setResult(result, kBusError, notOpenText());
        setResult(result, session->transmit(morvell::nmt::makeCommandFrame(*nmt, nodeId)));
    });
}

MORVELL_API void CANopen_SDOUpload(uint8_t nodeId, uint32_t index, uint8_t subindex,
                                   uint8_t* buffer, uint32_t* length, ProgressCallback progress,
                                   CompletionCallback completion, LibraryResult* result) {
    guarded(result, [&] {
        if (nodeId < 1 || nodeId > 127) return setParameterError(result, 1);
        if (index > 0xFFFF) return setParameterError(result, 2);
        if (!buffer) return setParameterError(result, 4);
        if (!length) return setParameterError(result, 5);
        const auto session = currentSession();
        if (!session) return setResult(result, kBusError, notOpenText());
        setResult(result, session->startUpload(nodeId, static_cast<std::uint16_t>(index), subindex,
                                               buffer, length, progress, completion));
    });
}

MORVELL_API void CANopen_SDODownload(uint8_t nodeId, uint32_t index, uint8_t subindex,
                                     const uint8_t* data, uint32_t length,
                                     ProgressCallback progress, CompletionCallback completion,
                                     LibraryResult* result) {
    guarded(result, [&] {
        if (nodeId < 1 || nodeId > 127) return setParameterError(result, 1);
        if (index > 0xFFFF) return setParameterError(result, 2);
        if (!data && length > 0) return setParameterError(result, 4);
        if (length > kMaxDownloadBytes) return setParameterError(result, 5);
        const auto session = currentSession();
        if (!session) return setResult(result, kBusError, notOpenText());
        static const std::uint8_t kNothing = 0;
        setResult(result,
                  session->startDownload(nodeId, static_cast<std::uint16_t>(index), subindex,
                                         data ? data : &kNothing, length, progress, completion));
    });
}

MORVELL_API void CANopen_Cancel(void) {
    guarded(nullptr, [&] {
        if (const auto session = currentSession()) session->cancel();
    });
}

MORVELL_API void CAN_Transmit(const CanFrame* frame, LibraryResult* result) {
    guarded(result, [&] {
        if (!frame) return setParameterError(result, 1);
        if (!morvell::isValidFrame(*frame)) return setParameterError(result, 1);
        const auto session = currentSession();
        if (!session) return setResult(result, kBusError, notOpenText());
        setResult(result, session->transmit(*frame));
    });
}

MORVELL_API void Event_Receive(ReceiveCallback callback) {
    guarded(nullptr, [&] { library().callbacks.receive = callback; });
}
MORVELL_API void Event_Transmit(TransmitCallback callback) {
    guarded(nullptr, [&] { library().callbacks.transmit = callback; });
}
MORVELL_API void Event_MajorError(ErrorCallback callback) {
    guarded(nullptr, [&] { library().callbacks.error = callback; });
}
