#include "district_service/connect_proxy.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <mutex>
#include <optional>

#include "district_service/loopback_listener.h"
#include "platform/text.h"

namespace telvora::district_service {
namespace {

constexpr std::size_t kMaxHeadBytes = 16 * 1024;

bool SendAll(int socket, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

bool SendAll(int socket, const std::string& text) {
    return SendAll(socket, text.data(), text.size());
}

void Answer(int socket, const char* statusLine) {
    SendAll(socket, std::string(statusLine) + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

// "host:port", the host bracketed when it is an IPv6 address.
std::optional<std::pair<std::string, std::string>> SplitTarget(const std::string& target) {
    const std::size_t colon = target.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == target.size()) {
        return std::nullopt;
    }
    std::string host = target.substr(0, colon);
    if (host.front() == '[') {
        if (host.back() != ']') {
            return std::nullopt;
        }
        host = host.substr(1, host.size() - 2);
    }
    return std::make_pair(host, target.substr(colon + 1));
}

// The fixture tunnels to this machine only, whoever reaches its port.
bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

int ConnectTo(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) {
        return -1;
    }
    int connection = -1;
    for (addrinfo* address = found; address != nullptr && connection < 0;
         address = address->ai_next) {
        connection = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, 0);
        if (connection >= 0 && connect(connection, address->ai_addr, address->ai_addrlen) != 0) {
            close(connection);
            connection = -1;
        }
    }
    freeaddrinfo(found);
    return connection;
}

}  // namespace

struct ConnectProxy::Impl {
    ProxyOptions options;
    std::unique_ptr<LoopbackListener> listener;

    mutable std::mutex recordMutex;
    std::vector<RecordedRequest> requests;

    void Record(RecordedRequest request) {
        std::lock_guard lock(recordMutex);
        if (!options.recordFile.empty()) {
            std::ofstream file(options.recordFile, std::ios::app | std::ios::binary);
            file << request.target << '\n';
        }
        requests.push_back(std::move(request));
    }

    // Bytes both ways until both sides have closed; a side that closes passes its end on.
    void Relay(const LoopbackListener& listener, int client, int upstream) {
        int from[2] = {client, upstream};
        bool open[2] = {true, true};
        char buffer[16 * 1024];
        while (open[0] || open[1]) {
            pollfd waiting[3] = {{open[0] ? from[0] : -1, POLLIN, 0},
                                 {open[1] ? from[1] : -1, POLLIN, 0},
                                 {listener.StopSignal(), POLLIN, 0}};
            if (poll(waiting, 3, -1) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (waiting[2].revents != 0) {
                return;
            }
            for (int side = 0; side < 2; ++side) {
                if (!open[side] || waiting[side].revents == 0) {
                    continue;
                }
                const ssize_t got = recv(from[side], buffer, sizeof buffer, 0);
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got < 0) {
                    return;
                }
                if (got == 0) {
                    open[side] = false;
                    shutdown(from[1 - side], SHUT_WR);
                } else if (!SendAll(from[1 - side], buffer, static_cast<std::size_t>(got))) {
                    return;
                }
            }
        }
    }

    void Serve(const LoopbackListener& listener, int client) {
        std::string head;
        std::size_t end = std::string::npos;
        char buffer[4096];
        while ((end = head.find("\r\n\r\n")) == std::string::npos) {
            if (head.size() > kMaxHeadBytes || !listener.Wait(client)) {
                return;
            }
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                return;
            }
            head.append(buffer, static_cast<std::size_t>(got));
        }
        const std::string early = head.substr(end + 4);  // the client's first tunnel bytes
        head.resize(end + 2);

        RecordedRequest request;
        std::size_t lineEnd = head.find("\r\n");
        const std::string requestLine = head.substr(0, lineEnd);
        const std::size_t space = requestLine.find(' ');
        const std::size_t secondSpace = requestLine.find(' ', space + 1);
        if (space == std::string::npos || secondSpace == std::string::npos) {
            Answer(client, "HTTP/1.1 400 Bad Request");
            return;
        }
        request.method = requestLine.substr(0, space);
        request.target = requestLine.substr(space + 1, secondSpace - space - 1);
        for (std::size_t at = lineEnd + 2; at < head.size(); at = lineEnd + 2) {
            lineEnd = head.find("\r\n", at);
            const std::string line = head.substr(at, lineEnd - at);
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                const std::string_view field(line);
                request.headers.emplace_back(platform::TrimBlanks(field.substr(0, colon)),
                                             platform::TrimBlanks(field.substr(colon + 1)));
            }
        }
        const std::string method = request.method;
        const auto target = SplitTarget(request.target);
        Record(std::move(request));

        if (method != "CONNECT") {
            Answer(client, "HTTP/1.1 405 Method Not Allowed");
            return;
        }
        if (!target || !IsLoopback(target->first)) {
            Answer(client, "HTTP/1.1 403 Forbidden");
            return;
        }
        const int upstream = ConnectTo(target->first, target->second);
        if (upstream < 0) {
            Answer(client, "HTTP/1.1 502 Bad Gateway");
            return;
        }
        const int on = 1;
        setsockopt(upstream, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (SendAll(client, "HTTP/1.1 200 Connection established\r\n\r\n") &&
            SendAll(upstream, early)) {
            Relay(listener, client, upstream);
        }
        close(upstream);
    }
};

ConnectProxy::ConnectProxy(ProxyOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    impl_->listener = std::make_unique<LoopbackListener>(
        "connect proxy", impl_->options.host, impl_->options.port,
        [impl = impl_.get()](const LoopbackListener& listener, int client) {
            impl->Serve(listener, client);
        });
}

ConnectProxy::~ConnectProxy() {
    // The tunnels end before what they record goes.
    Stop();
}

void ConnectProxy::Stop() {
    impl_->listener->Stop();
}

int ConnectProxy::Port() const {
    return impl_->listener->Port();
}

std::string ConnectProxy::Address() const {
    return impl_->options.host + ":" + std::to_string(Port());
}

std::vector<RecordedRequest> ConnectProxy::Requests() const {
    std::lock_guard lock(impl_->recordMutex);
    return impl_->requests;
}

}  // namespace telvora::district_service
