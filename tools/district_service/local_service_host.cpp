// The servers of the download tests in the test's own process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "district_service/connect_proxy.h"
#include "district_service/district_service.h"
#include "district_service/service_host.h"
#include "platform/files.h"

namespace telvora::district_service {
namespace {

// A folder of list files, removed with the service that serves it.
class ListFolder {
  public:
    explicit ListFolder(const std::map<std::string, std::string>& lists) {
        if (lists.empty()) {
            return;
        }
        std::string name = (std::filesystem::temp_directory_path() / "telvora-lists-XXXXXX");
        if (mkdtemp(name.data()) == nullptr) {
            throw std::runtime_error("can't make a folder for list files");
        }
        path_ = name;
        for (const auto& [callsign, body] : lists) {
            std::ofstream(path_ / ListFileName(callsign), std::ios::binary) << body;
        }
    }
    ~ListFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            std::filesystem::remove_all(path_, ignored);
        }
    }
    ListFolder(const ListFolder&) = delete;
    ListFolder& operator=(const ListFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

class LocalService final : public HostedService {
  public:
    explicit LocalService(const ServiceSetup& setup)
        : folder_(setup.listFiles), service_(Options(setup)) {}

    int Port() const override { return service_.Port(); }
    std::string BaseUrl() const override { return service_.BaseUrl(); }
    void SetList(const std::string& callsign, const std::string& body) override {
        service_.SetList(callsign, body);
    }
    void SetReply(const std::string& path, const std::string& callsign,
                  const Reply& reply) override {
        service_.SetReply(path, callsign, reply);
    }
    void AddRedirectChain(const std::string& callsign, int redirects, int status,
                          LocationForm form) override {
        service_.AddRedirectChain(callsign, redirects, status, form);
    }
    std::vector<RecordedRequest> Requests() const override { return service_.Requests(); }
    void ClearRequests() override { service_.ClearRequests(); }

  private:
    ServiceOptions Options(const ServiceSetup& setup) const {
        const TestCertificates files = BuiltTestCertificates(setup.trusted);
        ServiceOptions options;
        options.cert = files.cert;
        options.key = files.key;
        options.host = setup.host;
        options.root = folder_.Path();
        if (setup.demandClientCertificate) {
            options.clientCa = BuiltTestCertificates().ca;
        }
        return options;
    }

    ListFolder folder_;  // first: the service serves from it
    DistrictService service_;
};

class LocalRawServer final : public HostedListener {
  public:
    LocalRawServer(const std::string& raw, RawClose close)
        : server_(BuiltTestCertificates().cert, BuiltTestCertificates().key, raw, close) {}

    int Port() const override { return server_.Port(); }
    std::vector<RecordedRequest> Requests() const override { return {}; }

  private:
    RawTlsServer server_;
};

class LocalProxy final : public HostedListener {
  public:
    int Port() const override { return proxy_.Port(); }
    std::vector<RecordedRequest> Requests() const override { return proxy_.Requests(); }

  private:
    ConnectProxy proxy_;
};

class LocalServiceHost final : public ServiceHost {
  public:
    std::unique_ptr<HostedService> StartService(const ServiceSetup& setup) override {
        return std::make_unique<LocalService>(setup);
    }
    std::unique_ptr<HostedListener> StartRawServer(const std::string& rawResponse,
                                                   RawClose close) override {
        return std::make_unique<LocalRawServer>(rawResponse, close);
    }
    std::unique_ptr<HostedListener> StartProxy() override { return std::make_unique<LocalProxy>(); }
    std::string TrustedCaCertificate() override {
        const std::optional<std::string> pem = platform::ReadWholeFile(BuiltTestCertificates().ca);
        if (!pem) {
            throw std::runtime_error("can't read " + BuiltTestCertificates().ca.string());
        }
        return *pem;
    }
    int ClosedPort() override {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
        close(s);
        return ntohs(address.sin_port);
    }
};

}  // namespace

std::unique_ptr<ServiceHost> MakeLocalServiceHost() {
    return std::make_unique<LocalServiceHost>();
}

}  // namespace telvora::district_service
