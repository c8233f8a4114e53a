// The local district-list service: a small HTTPS server that answers GET /csv?call=X with
// the list for that callsign. The demo runs it as a program; tests start it in-process on
// 127.0.0.1 with an ephemeral port and use its extra behaviours (redirect chains, error
// pages, cookies, stalls, cut-off bodies, a client-certificate demand) and the record of
// the requests it received.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "district_service/exchange.h"

namespace telvora::district_service {

struct ServiceOptions {
    std::filesystem::path cert;  // server certificate (PEM)
    std::filesystem::path key;   // its private key (PEM)
    // When set, the handshake demands a client certificate issued by this CA.
    std::optional<std::filesystem::path> clientCa;
    std::filesystem::path root;  // folder of list files; may be empty
    std::string host = "127.0.0.1";
    int port = 0;  // 0: an ephemeral port
};

class DistrictService {
  public:
    // Listens before it returns; throws std::runtime_error when it can't.
    explicit DistrictService(ServiceOptions options);
    ~DistrictService();
    DistrictService(const DistrictService&) = delete;
    DistrictService& operator=(const DistrictService&) = delete;

    int Port() const;
    // "https://127.0.0.1:PORT"
    std::string BaseUrl() const;

    // The list for a callsign, from memory (taking precedence over the root folder).
    // Callsigns are matched without regard to case. An unknown callsign gets an empty list.
    void SetList(const std::string& callsign, std::string body);

    // A fixed answer for requests of `path` whose "call" parameter is `callsign`.
    void SetReply(const std::string& path, const std::string& callsign, Reply reply);
    // The same for GET /csv?call=<callsign>.
    void SetReply(const std::string& callsign, Reply reply) {
        SetReply("/csv", callsign, std::move(reply));
    }

    // /csv?call=X answers with `redirects` redirects of `status` (/csv -> /hop1 -> ... ->
    // /hopN); /hopN serves the list of X.
    void AddRedirectChain(const std::string& callsign, int redirects, int status,
                          LocationForm form = LocationForm::Rooted);

    std::vector<RecordedRequest> Requests() const;
    void ClearRequests();

    // Stops listening and wakes any stalled answer; the destructor calls it.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A bare TLS listener for what a well-behaved HTTP server never does: it either closes
// each connection before the TLS handshake, or completes the handshake, reads the request
// headers, sends `rawResponse` byte for byte and closes, with or without close_notify.
class RawTlsServer {
  public:
    RawTlsServer(const std::filesystem::path& cert, const std::filesystem::path& key,
                 std::string rawResponse, RawClose close = RawClose::CloseNotify);
    ~RawTlsServer();
    RawTlsServer(const RawTlsServer&) = delete;
    RawTlsServer& operator=(const RawTlsServer&) = delete;

    int Port() const;
    std::string BaseUrl() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Certificates made at build time by scripts/make-test-ca.sh: `trusted` is the set tests
// trust through SSL_CERT_FILE; the other set comes from a CA that nobody trusts.
struct TestCertificates {
    std::filesystem::path ca;
    std::filesystem::path cert;
    std::filesystem::path key;
};
TestCertificates BuiltTestCertificates(bool trusted = true);

}  // namespace telvora::district_service
