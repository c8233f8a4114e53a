#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "district_service/loopback_stream.h"

namespace telvora::district_service {

struct LoopbackStream::Impl {
    int socket = -1;
};

LoopbackStream::LoopbackStream(int port) : impl_(std::make_unique<Impl>()) {
    impl_->socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (impl_->socket < 0 ||
        connect(impl_->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (impl_->socket >= 0) {
            close(impl_->socket);
        }
        throw std::runtime_error("can't connect to 127.0.0.1:" + std::to_string(port));
    }
    const int on = 1;
    setsockopt(impl_->socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

LoopbackStream::~LoopbackStream() {
    close(impl_->socket);
}

void LoopbackStream::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(impl_->socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            throw std::runtime_error("connection to the control port broke");
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::string LoopbackStream::Receive() {
    char buffer[64 * 1024];
    while (true) {
        const ssize_t got = recv(impl_->socket, buffer, sizeof buffer, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            throw std::runtime_error("the control port closed the connection");
        }
        return std::string(buffer, static_cast<std::size_t>(got));
    }
}

}  // namespace telvora::district_service
