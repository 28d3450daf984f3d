// A scripted socketcand gateway on 127.0.0.1 for the client tests: accepts
// one client, plays the handshake on a thread while the client connects,
// then the test writes and reads the connection directly.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace transporttest {

struct HandshakeScript {
    std::string greeting = "< hi >";
    std::string open_reply = "< ok >";
    std::string rawmode_reply = "< ok >";
    // Reply to "< xframes >": "< ok >" like quorbus, "< error ... >" like
    // socketcand, or empty for no reply at all.
    std::string xframes_reply = "< ok >";
    // Written right after the rawmode reply, before the xframes reply.
    std::string after_rawmode;
};

class FakeSocketcand {
public:
    // receive_buffer > 0 shrinks the accepted socket's receive buffer (a slow reader).
    explicit FakeSocketcand(int receive_buffer = 0) {
        listen_fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receive_buffer > 0)
            setsockopt(listen_fd_, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            listen(listen_fd_, 4) == 0 &&
            getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port_ = ntohs(address.sin_port);
    }
    ~FakeSocketcand() {
        if (script_.joinable()) script_.join();
        closeClient();
        if (listen_fd_ >= 0) close(listen_fd_);
    }

    std::uint16_t port() const { return port_; }

    // Starts answering the next client on a thread; finish() joins it.
    void play(HandshakeScript script) {
        script_ = std::thread([this, script] {
            client_fd_ = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client_fd_ < 0) return;
            write(script.greeting);
            if (!readUntil("< open ")) return;
            write(script.open_reply);
            if (script.open_reply != "< ok >") return;
            if (!readUntil("< rawmode >")) return;
            write(script.rawmode_reply + script.after_rawmode);
            if (!readUntil("< xframes >")) return;
            if (!script.xframes_reply.empty()) write(script.xframes_reply);
            if (readUntil("< echo >")) write("< echo >");
            received_.clear();
        });
    }
    void finish() {
        if (script_.joinable()) script_.join();
    }

    // Writes all bytes to the client (blocking).
    bool write(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n =
                ::send(client_fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Reads from the client until received() contains text or the limit passes.
    bool readUntil(const std::string& text,
                   std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (received_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{client_fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1) return false;
            char buffer[65536];
            const ssize_t n = ::read(client_fd_, buffer, sizeof buffer);
            if (n <= 0) return false;
            received_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }
    const std::string& received() const { return received_; }

    void closeClient() {
        if (client_fd_ >= 0) close(client_fd_);
        client_fd_ = -1;
    }

private:
    int listen_fd_ = -1;
    int client_fd_ = -1;
    std::uint16_t port_ = 0;
    std::string received_;
    std::thread script_;
};

}  // namespace transporttest
