#include "district_service/loopback_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <list>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace telvora::district_service {

struct LoopbackListener::Impl {
    const LoopbackListener* self = nullptr;
    Serve serve;
    std::function<void()> everySecond;
    int listener = -1;
    int wake[2] = {-1, -1};  // written once at Stop: every wait also watches wake[0]
    int port = 0;
    std::atomic<bool> stopping{false};
    std::thread acceptor;

    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::mutex connectionsMutex;
    std::list<Connection> connections;

    bool Wait(int socket, int timeout) const {
        pollfd waiting[2] = {{socket, POLLIN, 0}, {wake[0], POLLIN, 0}};
        while (poll(waiting, 2, timeout) < 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return waiting[1].revents == 0;
    }

    void Accept() {
        while (Wait(listener, everySecond ? 1000 : -1)) {
            if (everySecond) {
                everySecond();
            }
            // The listener does not block: a connection that went away after the poll leaves
            // nothing to take.
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            std::lock_guard lock(connectionsMutex);
            // Threads that have ended are joined as new ones come.
            connections.remove_if([](Connection& connection) {
                if (!connection.done) {
                    return false;
                }
                connection.thread.join();
                return true;
            });
            if (client < 0) {
                continue;
            }
            const int on = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            Connection& connection = connections.emplace_back();
            connection.thread = std::thread([this, client, &connection] {
                serve(*self, client);
                close(client);
                connection.done = true;
            });
        }
    }
};

LoopbackListener::LoopbackListener(const std::string& what, const std::string& host, int port,
                                   Serve serve, std::function<void()> everySecond)
    : impl_(std::make_unique<Impl>()) {
    impl_->self = this;
    impl_->serve = std::move(serve);
    impl_->everySecond = std::move(everySecond);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) {
        throw std::runtime_error(what + ": not an IPv4 address: " + host);
    }
    impl_->listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int on = 1;
    socklen_t length = sizeof address;
    if (impl_->listener < 0 || pipe2(impl_->wake, O_CLOEXEC) != 0 ||
        setsockopt(impl_->listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(impl_->listener, 64) != 0 ||
        getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        for (const int descriptor : {impl_->listener, impl_->wake[0], impl_->wake[1]}) {
            if (descriptor >= 0) {
                close(descriptor);
            }
        }
        throw std::runtime_error(what + ": can't listen on " + host + ":" + std::to_string(port));
    }
    impl_->port = ntohs(address.sin_port);
    impl_->acceptor = std::thread([impl = impl_.get()] { impl->Accept(); });
}

LoopbackListener::~LoopbackListener() {
    Stop();
    close(impl_->listener);
    close(impl_->wake[0]);
    close(impl_->wake[1]);
}

void LoopbackListener::Stop() {
    if (impl_->stopping.exchange(true)) {
        return;
    }
    const char signal = 'x';
    while (write(impl_->wake[1], &signal, 1) < 0 && errno == EINTR) {
    }
    impl_->acceptor.join();
    for (Impl::Connection& connection : impl_->connections) {
        connection.thread.join();
    }
    impl_->connections.clear();
}

int LoopbackListener::Port() const {
    return impl_->port;
}

int LoopbackListener::StopSignal() const {
    return impl_->wake[0];
}

bool LoopbackListener::Wait(int socket, std::chrono::milliseconds timeout) const {
    return impl_->Wait(socket, static_cast<int>(timeout.count()));
}

}  // namespace telvora::district_service
