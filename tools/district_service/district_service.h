// The local district-list service: a small HTTPS server that answers GET /csv?call=X with
// the list for that callsign. The demo runs it as a program; tests start it in-process on
// 127.0.0.1 with an ephemeral port and use its extra behaviours (redirect chains, error
// pages, cookies, stalls, cut-off bodies, a client-certificate demand) and the record of
// the requests it received.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvora::district_service {

// The file that holds the list of `callsign` under the service's root folder:
// "<CALLSIGN>.csv", the callsign in upper case, every byte other than a letter, a digit,
// "-" or "_" written as "%XX" (so "R/A1" is "R%2FA1.csv"). One file per callsign, no
// collisions, and nothing can climb out of the folder.
std::string ListFileName(const std::string& callsign);

// How the service answers one request.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers{};  // Location, Set-Cookie, ...

    // Waits this long before sending anything (or, with stallAfterBytes, in the body).
    std::chrono::milliseconds stall{0};
    std::optional<std::size_t> stallAfterBytes{};
    // Announces the whole body's length, sends only this many bytes of it and closes.
    std::optional<std::size_t> cutAfterBytes{};
    // Runs on the service's thread once the request is in, before anything is sent: a test
    // acts here while its client is still waiting for the answer.
    std::function<void()> beforeAnswer{};
};

// One request as the service received it.
struct RecordedRequest {
    std::string method;
    std::string target;  // as sent: path and query, escapes untouched
    std::string path;
    std::string call;  // the decoded "call" parameter
    std::vector<std::pair<std::string, std::string>> headers;

    // Number of headers of that name (case-insensitive), and the first one's value.
    std::size_t HeaderCount(const std::string& name) const;
    std::optional<std::string> Header(const std::string& name) const;
};

enum class LocationForm {
    Absolute,  // "https://127.0.0.1:PORT/hop1?call=X"
    Rooted,    // "/hop1?call=X"
    Relative,  // "hop1?call=X"
};

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
// headers, sends `rawResponse` byte for byte and closes.
class RawTlsServer {
  public:
    RawTlsServer(const std::filesystem::path& cert, const std::filesystem::path& key,
                 std::string rawResponse, bool closeBeforeHandshake = false);
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
