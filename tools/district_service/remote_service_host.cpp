// The servers of the download tests in a telvora-district-service process, over its control
// port (control_protocol.h).
#include <mutex>
#include <stdexcept>

#include "district_service/control_protocol.h"
#include "district_service/loopback_stream.h"
#include "district_service/service_host.h"

namespace telvora::district_service {
namespace {

// One connection to the control port, shared by the host and its servers; one exchange at a
// time.
class Control {
  public:
    explicit Control(int port) : stream_(port) {}

    // Sends `request` and returns the values of its answer; throws std::runtime_error with
    // the service's message when it answers "error".
    Message Call(const Message& request) {
        std::lock_guard lock(mutex_);
        stream_.Send(EncodeMessage(request));
        std::optional<Message> answer;
        while (!(answer = TakeMessage(received_))) {
            received_ += stream_.Receive();
        }
        if (answer->empty() || (*answer)[0] != "ok") {
            throw std::runtime_error("district service: " +
                                     (answer->size() > 1 ? (*answer)[1] : "no answer"));
        }
        answer->erase(answer->begin());
        return *answer;
    }

  private:
    std::mutex mutex_;
    LoopbackStream stream_;
    std::string received_;
};

// A server in the service process: its id there and its port.
class Remote {
  public:
    Remote(std::shared_ptr<Control> control, const Message& started)
        : control_(std::move(control)), id_(started.at(0)), port_(std::stoi(started.at(1))) {}
    ~Remote() {
        try {
            control_->Call({"stop", id_});
        } catch (const std::exception&) {
            // The service has gone already, and its servers with it.
        }
    }
    Remote(const Remote&) = delete;
    Remote& operator=(const Remote&) = delete;

    int Port() const { return port_; }
    Message Call(Message request) const {
        request.insert(request.begin() + 1, id_);
        return control_->Call(request);
    }
    std::vector<RecordedRequest> Requests() const {
        const Message answer = Call({"requests"});
        FieldReader fields(answer);
        return ReadRequests(fields);
    }

  private:
    std::shared_ptr<Control> control_;
    std::string id_;
    int port_;
};

class RemoteService final : public HostedService {
  public:
    RemoteService(std::shared_ptr<Control> control, const Message& started, std::string host)
        : remote_(std::move(control), started), host_(std::move(host)) {}

    int Port() const override { return remote_.Port(); }
    std::string BaseUrl() const override {
        return "https://" + host_ + ":" + std::to_string(Port());
    }
    void SetList(const std::string& callsign, const std::string& body) override {
        remote_.Call({"list", callsign, body});
    }
    void SetReply(const std::string& path, const std::string& callsign,
                  const Reply& reply) override {
        Message request{"reply", path, callsign};
        AppendReply(request, reply);
        remote_.Call(request);
    }
    void AddRedirectChain(const std::string& callsign, int redirects, int status,
                          LocationForm form) override {
        remote_.Call({"chain", callsign, std::to_string(redirects), std::to_string(status),
                      std::to_string(static_cast<int>(form))});
    }
    std::vector<RecordedRequest> Requests() const override { return remote_.Requests(); }
    void ClearRequests() override { remote_.Call({"clear"}); }

  private:
    Remote remote_;
    std::string host_;
};

class RemoteListener final : public HostedListener {
  public:
    RemoteListener(std::shared_ptr<Control> control, const Message& started)
        : remote_(std::move(control), started) {}

    int Port() const override { return remote_.Port(); }
    std::vector<RecordedRequest> Requests() const override { return remote_.Requests(); }

  private:
    Remote remote_;
};

class RemoteServiceHost final : public ServiceHost {
  public:
    explicit RemoteServiceHost(int port) : control_(std::make_shared<Control>(port)) {}

    std::unique_ptr<HostedService> StartService(const ServiceSetup& setup) override {
        Message request{"service", setup.trusted ? "1" : "0", setup.host,
                        setup.demandClientCertificate ? "1" : "0"};
        AppendNumber(request, static_cast<long long>(setup.listFiles.size()));
        for (const auto& [callsign, body] : setup.listFiles) {
            request.push_back(callsign);
            request.push_back(body);
        }
        return std::make_unique<RemoteService>(control_, control_->Call(request), setup.host);
    }
    std::unique_ptr<HostedListener> StartRawServer(const std::string& rawResponse,
                                                   RawClose close) override {
        return std::make_unique<RemoteListener>(
            control_,
            control_->Call({"raw", std::to_string(static_cast<int>(close)), rawResponse}));
    }
    std::unique_ptr<HostedListener> StartProxy() override {
        return std::make_unique<RemoteListener>(control_, control_->Call({"proxy"}));
    }
    std::string TrustedCaCertificate() override { return control_->Call({"ca"}).at(0); }
    int ClosedPort() override { return std::stoi(control_->Call({"closed-port"}).at(0)); }

  private:
    std::shared_ptr<Control> control_;
};

}  // namespace

std::unique_ptr<ServiceHost> ConnectServiceHost(int port) {
    return std::make_unique<RemoteServiceHost>(port);
}

}  // namespace telvora::district_service
