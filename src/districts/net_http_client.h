// The HTTPS client that fetches the district list, and the download itself.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "districts/body_lines.h"
#include "districts/cookie_store.h"
#include "districts/http_transport.h"

namespace telvora::districts {

// The client of the list service. It follows redirects itself (the Location rule and the limit
// of five are ours, not the platform's) and keeps its own cookie store for its whole life,
// in memory only; one GET at a time goes to its transport (http_transport.h), the only part
// that differs by platform.
class NetHTTPClient {
  public:
    static constexpr int kMaxRedirects = 5;
    static constexpr const char* kUserAgent = "Embarcadero URI Client/1.0";
    // No real list comes near this; a larger body is refused instead of filling memory.
    static constexpr std::size_t kMaxBodyBytes = 64u * 1024u * 1024u;
    // The lines of a body are held to these as well (body_lines.h), so that the largest body
    // accepted stays within a few times its size in memory: a body of nothing but line breaks
    // would otherwise be millions of empty lines. No real list comes near them either: a
    // district line takes at least 13 bytes, and a code page's letter at most 3 in UTF-8.
    static constexpr std::size_t kMaxLines = kMaxBodyBytes / 8;
    static constexpr std::size_t kMaxTextBytes = kMaxBodyBytes * 2;
    // A redirect from https to plain http is refused with this message.
    static constexpr const char* kInsecureRedirect = "Redirection from HTTPS to HTTP refused";

    // Over the platform's transport with its default time-outs. Throws
    // telvora::Error("Error obtaining session handle") when the platform gives no session.
    NetHTTPClient();
    explicit NetHTTPClient(std::unique_ptr<HttpTransport> transport);
    ~NetHTTPClient();
    NetHTTPClient(const NetHTTPClient&) = delete;
    NetHTTPClient& operator=(const NetHTTPClient&) = delete;

    // One GET with its redirects followed; the final response's body, whatever its status,
    // goes to `onBody`. Throws telvora::Error with the download's messages. The cookies that
    // the responses set are stored once `onBody` has returned: when anything fails, `onBody`
    // included, the cookie store is left exactly as it was before the call.
    void Fetch(const std::string& url, const std::function<void(std::string_view body)>& onBody);

  private:
    std::unique_ptr<HttpTransport> transport_;
    CookieStore cookies_;
};

// GET <base>/csv?call=<callsign> and the body of the final response as lines (an error
// status's body included). The base is "https://host[:port]" as the owner hands it in: the
// program passes its built-in service host, tests their loopback server. The callsign goes
// into the URL unchanged; the URL is then rebuilt by the request-URL rules (request_url.h).
// A list past NetHTTPClient's limits of lines or text fails as a body past its size limit.
TextLines DownloadDistrictList(NetHTTPClient& client, const std::string& base,
                               const std::string& callsign);

}  // namespace telvora::districts
