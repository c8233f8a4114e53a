#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "district_service/loopback_stream.h"

namespace telvora::district_service {

struct LoopbackStream::Impl {
    SOCKET socket = INVALID_SOCKET;
};

LoopbackStream::LoopbackStream(int port) : impl_(std::make_unique<Impl>()) {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
    impl_->socket = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    if (impl_->socket == INVALID_SOCKET ||
        connect(impl_->socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (impl_->socket != INVALID_SOCKET) {
            closesocket(impl_->socket);
        }
        throw std::runtime_error("can't connect to 127.0.0.1:" + std::to_string(port));
    }
    const BOOL on = TRUE;
    setsockopt(impl_->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

LoopbackStream::~LoopbackStream() {
    closesocket(impl_->socket);
}

void LoopbackStream::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int sent = send(impl_->socket, bytes.data(), piece, 0);
        if (sent <= 0) {
            throw std::runtime_error("connection to the control port broke");
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

std::string LoopbackStream::Receive() {
    char buffer[64 * 1024];
    const int got = recv(impl_->socket, buffer, sizeof buffer, 0);
    if (got <= 0) {
        throw std::runtime_error("the control port closed the connection");
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

}  // namespace telvora::district_service
