#include "socketcan_transport.h"

#include <libsocketcan.h>
#include <linux/can/error.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace morvell::transport {

// ---- Conversions ----------------------------------------------------------

can_frame toKernelFrame(const CanFrame& frame) {
    can_frame out{};
    const bool extended = (frame.flags & CANFRAME_FLAG_EXTENDED) != 0;
    out.can_id = extended ? ((frame.id & CAN_EFF_MASK) | CAN_EFF_FLAG) : (frame.id & CAN_SFF_MASK);
    out.len = std::min<std::uint8_t>(frame.length, CAN_MAX_DLEN);
    if (frame.flags & CANFRAME_FLAG_REMOTE) {
        out.can_id |= CAN_RTR_FLAG;
    } else {
        std::memcpy(out.data, frame.data, out.len);
    }
    return out;
}

CanFrame fromKernelFrame(const can_frame& frame) {
    CanFrame out{};
    out.length = std::min<std::uint8_t>(frame.len, CAN_MAX_DLEN);
    if (frame.can_id & CAN_ERR_FLAG) {
        out.id = frame.can_id & CAN_ERR_MASK;
        out.length = CAN_ERR_DLC;
        std::memcpy(out.data, frame.data, CAN_ERR_DLC);
        return out;
    }
    if (frame.can_id & CAN_EFF_FLAG) {
        out.id = frame.can_id & CAN_EFF_MASK;
        out.flags |= CANFRAME_FLAG_EXTENDED;
    } else {
        out.id = frame.can_id & CAN_SFF_MASK;
    }
    if (frame.can_id & CAN_RTR_FLAG) {
        out.flags |= CANFRAME_FLAG_REMOTE;
    } else {
        std::memcpy(out.data, frame.data, out.length);
    }
    return out;
}

std::vector<std::int32_t> errorCodesOfErrorFrame(const CanFrame& error_frame) {
    const std::uint32_t error_class = error_frame.id & CAN_ERR_MASK;
    const std::uint8_t controller = error_frame.data[1];
    std::vector<std::int32_t> codes;
    const bool back_to_active =
        (error_class & CAN_ERR_RESTARTED) ||
        ((error_class & CAN_ERR_CRTL) && (controller & CAN_ERR_CRTL_ACTIVE));
    if (back_to_active) codes.push_back(MORVELL_ERROR_CLEARED);
    if ((error_class & CAN_ERR_TX_TIMEOUT) ||
        ((error_class & CAN_ERR_CRTL) && (controller & CAN_ERR_CRTL_TX_OVERFLOW)))
        codes.push_back(MORVELL_ERROR_TX_FAILED);
    if (error_class & (CAN_ERR_PROT | CAN_ERR_ACK | CAN_ERR_BUSERROR))
        codes.push_back(MORVELL_ERROR_PROTOCOL);
    if ((error_class & CAN_ERR_CRTL) && (controller & CAN_ERR_CRTL_RX_OVERFLOW))
        codes.push_back(MORVELL_ERROR_RX_OVERFLOW);

    std::int32_t state = -1;
    if (error_class & CAN_ERR_CRTL) {
        if (controller & (CAN_ERR_CRTL_RX_WARNING | CAN_ERR_CRTL_TX_WARNING))
            state = MORVELL_ERROR_WARNING;
        if (controller & (CAN_ERR_CRTL_RX_PASSIVE | CAN_ERR_CRTL_TX_PASSIVE))
            state = MORVELL_ERROR_PASSIVE;
    }
    if (error_class & CAN_ERR_BUSOFF) state = MORVELL_ERROR_BUS_OFF;
    if (state >= 0) codes.push_back(state);
    return codes;
}

ReceivedKind classifyReceived(int msg_flags) {
    if (msg_flags & MSG_CONFIRM) return {TransportEvent::Kind::Sent, 0};
    if (msg_flags & MSG_DONTROUTE) return {TransportEvent::Kind::Frame, 0};
    return {TransportEvent::Kind::Frame, 1};
}

void appendEventsForKernelFrame(const can_frame& frame, int msg_flags,
                                std::vector<TransportEvent>& events) {
    if (isKernelErrorFrame(frame)) {
        for (std::int32_t code : errorCodesOfErrorFrame(fromKernelFrame(frame))) {
            TransportEvent event;
            event.kind = TransportEvent::Kind::BusError;
            event.error_code = code;
            events.push_back(event);
        }
        return;
    }
    const ReceivedKind kind = classifyReceived(msg_flags);
    TransportEvent event;
    event.kind = kind.kind;
    event.status = kind.status;
    event.frame = fromKernelFrame(frame);
    events.push_back(event);
}

std::string receiveFailureText(const std::string& iface, int error_number) {
    if (error_number == ENODEV)
        return "CAN interface '" + iface +
               "' is gone (adapter unplugged or interface removed): open it again once it is back";
    if (error_number == ENETDOWN)
        return "CAN interface '" + iface + "' went down: run 'sudo ip link set " + iface +
               " up' and open it again";
    return "socketcan:" + iface + ": receive failed: " + std::strerror(error_number);
}

std::uint32_t DropCounter::update(std::uint32_t kernel_count) {
    const std::uint32_t delta = kernel_count - last_;  // modulo 2^32: survives the wrap
    last_ = kernel_count;
    total_ += delta;
    return delta;
}

// ---- Bit rate -------------------------------------------------------------

namespace {

class LibsocketcanLinkControl final : public CanLinkControl {
public:
    std::optional<std::uint32_t> bitrate(const std::string& iface) override {
        can_bittiming timing{};
        if (can_get_bittiming(iface.c_str(), &timing) != 0) return std::nullopt;
        return timing.bitrate;
    }
    bool stop(const std::string& iface) override { return can_do_stop(iface.c_str()) == 0; }
    bool setBitrate(const std::string& iface, std::uint32_t bits_per_second) override {
        return can_set_bitrate(iface.c_str(), bits_per_second) == 0;
    }
    bool start(const std::string& iface) override { return can_do_start(iface.c_str()) == 0; }
};

std::string ipLinkBitrateCommand(const std::string& iface, int bitrate_kbps) {
    return "'sudo ip link set " + iface + " down && sudo ip link set " + iface +
           " type can bitrate " + std::to_string(bitrate_kbps * 1000) + " && sudo ip link set " +
           iface + " up'";
}

std::string errnoText() {
    return std::strerror(errno);
}

}  // namespace

std::unique_ptr<CanLinkControl> makeSocketcanLinkControl() {
    return std::make_unique<LibsocketcanLinkControl>();
}

std::string ensureBitrate(CanLinkControl& link, const std::string& iface, int bitrate_kbps) {
    const std::optional<std::uint32_t> current = link.bitrate(iface);
    const auto wanted = static_cast<std::uint32_t>(bitrate_kbps) * 1000u;
    if (!current || *current == wanted) return {};
    if (link.stop(iface)) {
        const bool set = link.setBitrate(iface, wanted);
        const bool started = link.start(iface);
        if (set && started) return {};
    }
    const std::string command = ipLinkBitrateCommand(iface, bitrate_kbps);
    if (*current == 0)
        return iface + " has no bit rate set and it cannot be set without privileges: run " +
               command;
    return iface + " runs at " + std::to_string(*current / 1000) + " kbit/s, not " +
           std::to_string(bitrate_kbps) +
           " kbit/s, and cannot be changed without privileges: run " + command;
}

// ---- Transport ------------------------------------------------------------

namespace {

bool interfaceIsUp(int fd, const std::string& iface) {
    ifreq request{};
    std::strncpy(request.ifr_name, iface.c_str(), IFNAMSIZ - 1);
    if (ioctl(fd, SIOCGIFFLAGS, &request) != 0) return true;  // unknown: let bind() decide
    return (request.ifr_flags & IFF_UP) != 0;
}

bool configureSocket(int fd, unsigned interface_index, std::string* error) {
    const int on = 1;
    const can_err_mask_t error_mask = CAN_ERR_MASK;
    struct Option {
        int level, name;
        const void* value;
        socklen_t size;
        const char* text;
    };
    const Option options[] = {
        {SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS, &on, sizeof on, "CAN_RAW_RECV_OWN_MSGS"},
        {SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &error_mask, sizeof error_mask, "CAN_RAW_ERR_FILTER"},
        {SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on, "SO_RXQ_OVFL"},
    };
    for (const Option& option : options) {
        if (setsockopt(fd, option.level, option.name, option.value, option.size) != 0) {
            *error = std::string("cannot configure the CAN socket (") + option.text +
                     "): " + errnoText();
            return false;
        }
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(interface_index);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        *error = "cannot bind to the CAN interface: " + errnoText();
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<SocketCanTransport> SocketCanTransport::open(const std::string& iface,
                                                             int bitrate_kbps, CanLinkControl& link,
                                                             std::string* error) {
    const int fd = socket(PF_CAN, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, CAN_RAW);
    if (fd < 0) {
        if (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT) {
            *error = "This kernel has no SocketCAN support (socket: " + errnoText() +
                     "). Load it with 'sudo modprobe can_raw', or choose another channel, e.g. "
                     "MORVELLCANOPEN_CHANNEL=virtual";
        } else {
            *error = "cannot open a CAN socket (socket: " + errnoText() + ")";
        }
        return nullptr;
    }
    auto transport = std::unique_ptr<SocketCanTransport>(new SocketCanTransport(fd, iface));
    const unsigned index = iface.size() < IFNAMSIZ ? if_nametoindex(iface.c_str()) : 0;
    if (index == 0) {
        *error = "CAN interface '" + iface +
                 "' does not exist: check 'ip link show type can', or set MORVELLCANOPEN_CHANNEL "
                 "to another channel (socketcan:IFACE, socketcand:HOST/IFACE, virtual)";
        return nullptr;
    }
    if (std::string text = ensureBitrate(link, iface, bitrate_kbps); !text.empty()) {
        *error = std::move(text);
        return nullptr;
    }
    if (!interfaceIsUp(fd, iface) && !link.start(iface)) {
        *error = "CAN interface '" + iface +
                 "' is down and cannot be brought up without privileges: run 'sudo ip link set " +
                 iface + " up'";
        return nullptr;
    }
    if (!configureSocket(fd, index, error)) return nullptr;
    return transport;
}

SocketCanTransport::~SocketCanTransport() {
    if (fd_ >= 0) ::close(fd_);
}

bool SocketCanTransport::receive(std::vector<TransportEvent>& events) {
    for (int count = 0; count < kMaxFramesPerReceive; ++count) {
        can_frame frame{};
        iovec data{&frame, sizeof frame};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t n = recvmsg(fd_, &message, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            error_ = receiveFailureText(iface_, errno);
            return false;
        }
        if (static_cast<std::size_t>(n) < sizeof frame) continue;  // not a classic CAN frame
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
            if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SO_RXQ_OVFL) continue;
            std::uint32_t kernel_drops = 0;
            std::memcpy(&kernel_drops, CMSG_DATA(c), sizeof kernel_drops);
            if (drops_.update(kernel_drops) != 0) {
                TransportEvent event;
                event.kind = TransportEvent::Kind::BusError;
                event.error_code = MORVELL_ERROR_RX_OVERFLOW;
                events.push_back(event);
            }
        }
        appendEventsForKernelFrame(frame, message.msg_flags, events);
    }
    return true;
}

SendResult SocketCanTransport::send(const CanFrame& frame) {
    const can_frame out = toKernelFrame(frame);
    for (;;) {
        const ssize_t n = ::write(fd_, &out, sizeof out);
        if (n == static_cast<ssize_t>(sizeof out)) return SendResult::Ok;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS))
            return SendResult::WouldBlock;
        error_ = name() + ": send failed: " + (n < 0 ? errnoText() : "short write");
        return SendResult::Failed;
    }
}

bool SocketCanTransport::flush(std::vector<TransportEvent>&) {
    return true;
}

}  // namespace morvell::transport
