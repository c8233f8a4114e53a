// The HTTPS client that fetches the district list, and the download itself.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace telvora::districts {

// One libcurl easy handle for the client's whole life: its in-memory cookie store is shared
// by every download and never written anywhere. Redirects are followed by our own loop so
// that the Location rule and the limit of five are ours, not libcurl's.
//
// Trust: the server certificate and host name are always verified, against the system
// store and, when SSL_CERT_FILE / SSL_CERT_DIR are set, against those too (read at every
// download, as OpenSSL programs read them when they set up a connection).
// Proxies come from the environment (https_proxy, no_proxy, ...), as libcurl reads it.
class NetHTTPClient {
  public:
    static constexpr int kMaxRedirects = 5;
    static constexpr const char* kUserAgent = "Embarcadero URI Client/1.0";
    // No real list comes near this; a larger body is refused instead of filling memory.
    static constexpr std::size_t kMaxBodyBytes = 64u * 1024u * 1024u;
    // A redirect from https to plain http is refused with this message.
    static constexpr const char* kInsecureRedirect = "Redirection from HTTPS to HTTP refused";

    // Throws telvora::Error("Error obtaining session handle") when libcurl gives no handle.
    NetHTTPClient();
    ~NetHTTPClient();
    NetHTTPClient(const NetHTTPClient&) = delete;
    NetHTTPClient& operator=(const NetHTTPClient&) = delete;

    // Time-outs of the platform's defaults: 60 s to connect, 30 s without any progress
    // while sending or receiving. Tests shorten the second to see a stall fail quickly.
    void SetConnectTimeout(std::chrono::seconds timeout);
    void SetNoProgressTimeout(std::chrono::seconds timeout);

    // One GET with its redirects followed; the final response's body, whatever its status,
    // goes to `onBody`. Throws telvora::Error with the download's messages. When anything
    // fails, `onBody` included, the cookie store is left exactly as it was before the call.
    void Fetch(const std::string& url, const std::function<void(std::string_view body)>& onBody);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// GET <base>/csv?call=<callsign> and the body of the final response as lines (an error
// status's body included). The base is "https://host[:port]" as the owner hands it in: the
// program passes its built-in service host, tests their loopback server. The callsign goes
// into the URL unchanged; the URL is then rebuilt by the request-URL rules (request_url.h).
std::vector<std::string> DownloadDistrictList(NetHTTPClient& client, const std::string& base,
                                              const std::string& callsign);

}  // namespace telvora::districts
