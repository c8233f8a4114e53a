#include "district_service/control_server.h"

#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "district_service/control_protocol.h"
#include "district_service/loopback_listener.h"
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
            ServiceSetup setup;
            setup.trusted = fields.Flag();
            setup.host = fields.Text();
            setup.demandClientCertificate = fields.Flag();
            for (long long count = fields.Number(); count > 0; --count) {
                std::string callsign = fields.Text();
                setup.listFiles[std::move(callsign)] = fields.Text();
            }
            auto service = host_->StartService(setup);
            const int port = service->Port();
            return Started(services_, std::move(service), port);
        }
        if (command == "raw") {
            const auto close = static_cast<RawClose>(fields.Number());
            auto server = host_->StartRawServer(fields.Text(), close);
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
    std::mutex mutex;
    int open = 0;
    std::chrono::steady_clock::time_point lastClosed = std::chrono::steady_clock::now();
    bool idleReported = false;
    std::unique_ptr<LoopbackListener> listener;

    void Serve(const LoopbackListener& listener, int client) {
        {
            std::lock_guard lock(mutex);
            ++open;
        }
        Converse(listener, client);
        std::lock_guard lock(mutex);
        --open;
        lastClosed = std::chrono::steady_clock::now();
    }

    void Converse(const LoopbackListener& listener, int client) {
        Session session;
        std::string received;
        char buffer[64 * 1024];
        try {
            while (listener.Wait(client)) {
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

    // Runs about once a second on the accepting thread.
    void CheckIdle() {
        std::unique_lock lock(mutex);
        const bool idle = options.exitWhenIdle.count() > 0 && open == 0 &&
                          std::chrono::steady_clock::now() - lastClosed > options.exitWhenIdle;
        if (idle && !idleReported && options.onIdle) {
            idleReported = true;
            lock.unlock();
            options.onIdle();
        }
    }
};

ControlServer::ControlServer(ControlOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    Impl* impl = impl_.get();
    impl_->listener = std::make_unique<LoopbackListener>(
        "control", impl_->options.host, impl_->options.port,
        [impl](const LoopbackListener& listener, int client) { impl->Serve(listener, client); },
        [impl] { impl->CheckIdle(); });
}

ControlServer::~ControlServer() {
    // The connections end before what they count goes.
    impl_->listener->Stop();
}

int ControlServer::Port() const {
    return impl_->listener->Port();
}

}  // namespace telvora::district_service
