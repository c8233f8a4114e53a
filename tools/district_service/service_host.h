// The servers that a download test talks to, wherever they run: in the test's own process
// (MakeLocalServiceHost, Linux) or in a telvora-district-service process beside it, driven
// over its control port (ConnectServiceHost), as the tests of the Windows build under Wine
// need. The same table of cases drives either: a district service with its replies and its
// record of requests, a raw TLS server for what no well-behaved server sends, a CONNECT proxy.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "district_service/exchange.h"

namespace telvora::district_service {

struct ServiceSetup {
    // A certificate from the test CA that tests trust, or from one that nobody trusts.
    bool trusted = true;
    std::string host = "127.0.0.1";
    // The handshake demands a client certificate issued by the trusted test CA.
    bool demandClientCertificate = false;
    // Lists served from a root folder of list files, by callsign (ListFileName).
    std::map<std::string, std::string> listFiles{};
};

// One district service (district_service.h tells what each call does).
class HostedService {
  public:
    virtual ~HostedService() = default;

    virtual int Port() const = 0;
    // "https://<host>:<port>"
    virtual std::string BaseUrl() const = 0;

    virtual void SetList(const std::string& callsign, const std::string& body) = 0;
    virtual void SetReply(const std::string& path, const std::string& callsign,
                          const Reply& reply) = 0;
    void SetReply(const std::string& callsign, const Reply& reply) {
        SetReply("/csv", callsign, reply);
    }
    virtual void AddRedirectChain(const std::string& callsign, int redirects, int status,
                                  LocationForm form = LocationForm::Rooted) = 0;
    virtual std::vector<RecordedRequest> Requests() const = 0;
    virtual void ClearRequests() = 0;
};

// A raw TLS server (RawTlsServer) or a CONNECT proxy (ConnectProxy): a port, and for the
// proxy the record of its requests.
class HostedListener {
  public:
    virtual ~HostedListener() = default;

    virtual int Port() const = 0;
    // "https://127.0.0.1:<port>"
    std::string BaseUrl() const { return "https://127.0.0.1:" + std::to_string(Port()); }
    // "127.0.0.1:<port>", as proxy settings name it.
    std::string Address() const { return "127.0.0.1:" + std::to_string(Port()); }
    // What a proxy received; a raw server records nothing.
    virtual std::vector<RecordedRequest> Requests() const = 0;
};

class ServiceHost {
  public:
    virtual ~ServiceHost() = default;

    virtual std::unique_ptr<HostedService> StartService(const ServiceSetup& setup = {}) = 0;
    // Sends `rawResponse` after the handshake and closes as `close` says.
    virtual std::unique_ptr<HostedListener> StartRawServer(
        const std::string& rawResponse, RawClose close = RawClose::CloseNotify) = 0;
    virtual std::unique_ptr<HostedListener> StartProxy() = 0;
    // The certificate (PEM) of the CA that tests trust.
    virtual std::string TrustedCaCertificate() = 0;
    // A port on 127.0.0.1 where nothing listens.
    virtual int ClosedPort() = 0;
};

// Servers in this process (Linux: local_service_host.cpp).
std::unique_ptr<ServiceHost> MakeLocalServiceHost();

// Servers in the telvora-district-service process whose control port is `port`; they are
// stopped when their handles go, and all of them when the host goes. Throws
// std::runtime_error when the port takes no connection.
std::unique_ptr<ServiceHost> ConnectServiceHost(int port);

}  // namespace telvora::district_service
