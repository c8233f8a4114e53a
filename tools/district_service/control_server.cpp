#include "district_service/control_server.h"

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
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "district_service/control_protocol.h"
#include "district_service/service_host.h"

namespace telvora::district_service {
namespace {

bool SendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// The servers of one control connection, by the ids it knows them by.
class Session {
  public:
    Message Handle(const Message& request) {
        FieldReader fields(request);
        const std::string& command = fields.Text();
        if (command == "service") {
            ServiceSpec spec;
            spec.trusted = fields.Flag();
            spec.host = fields.Text();
            spec.demandClientCertificate = fields.Flag();
            for (long long count = fields.Number(); count > 0; --count) {
                std::string callsign = fields.Text();
                spec.listFiles[std::move(callsign)] = fields.Text();
            }
            auto service = host_->StartService(spec);
            const int port = service->Port();
            return Started(services_, std::move(service), port);
        }
        if (command == "raw") {
            const bool closeBeforeHandshake = fields.Flag();
            auto server = host_->StartRawServer(fields.Text(), closeBeforeHandshake);
            const int port = server->Port();
            return Started(listeners_, std::move(server), port);
        }
        if (command == "proxy") {
            auto proxy = host_->StartProxy();
            const int port = proxy->Port();
            return Started(listeners_, std::move(proxy), port);
        }
        if (command == "ca") {
            return {"ok", host_->TrustedCaCertificate()};
        }
        if (command == "closed-port") {
            return {"ok", std::to_string(host_->ClosedPort())};
        }
        const std::string& id = fields.Text();
        if (command == "stop") {
            services_.erase(id);
            listeners_.erase(id);
            return {"ok"};
        }
        if (command == "requests") {
            Message answer{"ok"};
            const auto listener = listeners_.find(id);
            AppendRequests(answer, listener != listeners_.end() ? listener->second->Requests()
                                                                : Service(id).Requests());
            return answer;
        }
        HostedService& service = Service(id);
        if (command == "list") {
            const std::string& callsign = fields.Text();
            service.SetList(callsign, fields.Text());
        } else if (command == "reply") {
            const std::string& path = fields.Text();
            const std::string& callsign = fields.Text();
            service.SetReply(path, callsign, ReadReply(fields));
        } else if (command == "chain") {
            const std::string& callsign = fields.Text();
            const int redirects = static_cast<int>(fields.Number());
            const int status = static_cast<int>(fields.Number());
            const auto form = static_cast<LocationForm>(fields.Number());
            service.AddRedirectChain(callsign, redirects, status, form);
        } else if (command == "clear") {
            service.ClearRequests();
        } else {
            throw std::runtime_error("unknown command " + command);
        }
        return {"ok"};
    }

  private:
    template <typename Server>
    Message Started(std::map<std::string, std::unique_ptr<Server>>& servers,
                    std::unique_ptr<Server> server, int port) {
        const std::string id = std::to_string(++lastId_);
        servers[id] = std::move(server);
        return {"ok", id, std::to_string(port)};
    }

    HostedService& Service(const std::string& id) {
        const auto found = services_.find(id);
        if (found == services_.end()) {
            throw std::runtime_error("no server " + id);
        }
        return *found->second;
    }

    std::unique_ptr<ServiceHost> host_ = MakeLocalServiceHost();
    // Servers go before the host that made them.
    std::map<std::string, std::unique_ptr<HostedService>> services_;
    std::map<std::string, std::unique_ptr<HostedListener>> listeners_;
    long long lastId_ = 0;
};

}  // namespace

struct ControlServer::Impl {
    ControlOptions options;
    int listener = -1;
    int wake[2] = {-1, -1};  // written once at the end: every wait below also watches wake[0]
    int port = 0;
    std::thread acceptor;

    struct Connection {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::mutex mutex;
    std::list<Connection> connections;
    int open = 0;
    std::chrono::steady_clock::time_point lastClosed = std::chrono::steady_clock::now();

    // Waits until `socket` is readable or `timeout` (ms, -1: none) passes. False when the
    // server stops.
    bool Wait(int socket, int timeout) {
        pollfd waiting[2] = {{socket, POLLIN, 0}, {wake[0], POLLIN, 0}};
        while (poll(waiting, 2, timeout) < 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return waiting[1].revents == 0;
    }

    void Serve(int client) {
        Session session;
        std::string received;
        char buffer[64 * 1024];
        try {
            while (Wait(client, -1)) {
                const ssize_t got = recv(client, buffer, sizeof buffer, 0);
                if (got < 0 && errno == EINTR) {
                    continue;
                }
                if (got <= 0) {
                    return;
                }
                received.append(buffer, static_cast<std::size_t>(got));
                while (std::optional<Message> request = TakeMessage(received)) {
                    Message answer;
                    try {
                        answer = session.Handle(*request);
                    } catch (const std::exception& error) {
                        answer = {"error", error.what()};
                    }
                    if (!SendAll(client, EncodeMessage(answer))) {
                        return;
                    }
                }
            }
        } catch (const std::exception&) {
            // Bytes that are no message: the connection ends, and its servers with it.
        }
    }

    bool IdleTooLong() {
        std::lock_guard lock(mutex);
        return options.exitWhenIdle.count() > 0 && open == 0 &&
               std::chrono::steady_clock::now() - lastClosed > options.exitWhenIdle;
    }

    void Accept() {
        bool idleReported = false;
        while (Wait(listener, 1000)) {
            if (!idleReported && IdleTooLong() && options.onIdle) {
                idleReported = true;
                options.onIdle();
            }
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            std::lock_guard lock(mutex);
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
            fcntl(client, F_SETFL, fcntl(client, F_GETFL) & ~O_NONBLOCK);
            const int on = 1;
            setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            ++open;
            Connection& connection = connections.emplace_back();
            connection.thread = std::thread([this, client, &connection] {
                Serve(client);
                close(client);
                std::lock_guard lock(mutex);
                --open;
                lastClosed = std::chrono::steady_clock::now();
                connection.done = true;
            });
        }
    }
};

ControlServer::ControlServer(ControlOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(impl_->options.port));
    if (inet_pton(AF_INET, impl_->options.host.c_str(), &address.sin_addr) != 1) {
        throw std::runtime_error("control: not an IPv4 address: " + impl_->options.host);
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
        throw std::runtime_error("control: can't listen on " + impl_->options.host + ":" +
                                 std::to_string(impl_->options.port));
    }
    impl_->port = ntohs(address.sin_port);
    impl_->acceptor = std::thread([impl = impl_.get()] { impl->Accept(); });
}

ControlServer::~ControlServer() {
    const char signal = 'x';
    while (write(impl_->wake[1], &signal, 1) < 0 && errno == EINTR) {
    }
    impl_->acceptor.join();
    for (Impl::Connection& connection : impl_->connections) {
        connection.thread.join();
    }
    close(impl_->listener);
    close(impl_->wake[0]);
    close(impl_->wake[1]);
}

int ControlServer::Port() const {
    return impl_->port;
}

}  // namespace telvora::district_service
