// The one step of a download that each platform does its own way: send one GET and give back
// the response's status, header fields and body, or fail with the download's message for what
// went wrong. Everything around it (the redirect loop, the URL rules, the cookie store, the
// body's size limit, the refusal of https to http, the body's lines) is NetHTTPClient's and
// the same on every platform. libcurl serves it on Linux (http_transport_curl.cpp), WinHTTP on
// Windows (http_transport_winhttp.cpp).
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "districts/request_url.h"

namespace telvora::districts {

struct HeaderField {
    std::string name;
    std::string value;

    bool operator==(const HeaderField&) const = default;
};

// The fields of a response's header block: one "Name: value" a line (CR LF or LF), blanks
// around the value dropped. A line that begins with a blank or tab continues the field before
// it; a status line and other lines without ":" are skipped.
std::vector<HeaderField> ParseHeaderFields(std::string_view block);

// The status code of a status line ("HTTP/1.1 200 OK"): the three characters after its first
// blank read as a number; 0 when there is no blank or no number there.
long StatusOfLine(std::string_view line);

struct TransportRequest {
    RequestUrl url;
    std::string userAgent;
    std::string cookie;  // the Cookie header's value; no Cookie header when empty
};

struct TransportResponse {
    int status = 0;
    std::vector<HeaderField> headers;  // of the final (not 1xx) response, as received

    // The values of every field named `name` (ASCII case ignored), in order.
    std::vector<std::string> Values(std::string_view name) const;
    // The first such value.
    std::optional<std::string> Value(std::string_view name) const;
};

// The body of one response, collected as it arrives and held to a size limit, so that a
// service cannot fill memory.
class ResponseBody {
  public:
    explicit ResponseBody(std::size_t limit) : limit_(limit) {}

    std::size_t Limit() const { return limit_; }
    // Appends a piece; false, and nothing appended, when the body would pass the limit.
    bool Append(std::string_view piece);
    // The description of that failure, for "Error reading data: (%d) %s".
    std::string TooLargeText() const;

    const std::string& Text() const { return text_; }

  private:
    std::size_t limit_;
    std::string text_;
};

// The platform's failure for a body past the client's limits, `description` saying which: as
// for a body that passes the size limit while it arrives.
std::string BodyTooLargeMessage(std::string_view description);

// The platform's default time-outs, as the client has no time-outs of its own.
struct TransportOptions {
    std::chrono::seconds connectTimeout{60};
    std::chrono::seconds noProgressTimeout{30};  // sending or receiving without any progress

    bool operator==(const TransportOptions&) const = default;
};

class HttpTransport {
  public:
    virtual ~HttpTransport() = default;

    // One GET of `request.url` on a connection of its own, with the User-Agent header and,
    // when `request.cookie` is not empty, the Cookie header, and with nothing else of the
    // platform's own (no redirects followed, no cookies stored, no Accept headers). The
    // proxy and the trust in the server's certificate are the platform's. Returns the final
    // response's status and header fields; its body goes to `body`. Throws telvora::Error
    // with the download's message for a failure (a body past `body`'s limit included).
    virtual TransportResponse Get(const TransportRequest& request, ResponseBody& body) = 0;
};

// The platform's transport. Throws telvora::Error("Error obtaining session handle") when the
// platform gives no HTTP session.
std::unique_ptr<HttpTransport> MakeHttpTransport(const TransportOptions& options = {});

}  // namespace telvora::districts
