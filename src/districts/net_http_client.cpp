#include "districts/net_http_client.h"

#include <utility>

#include "districts/body_lines.h"
#include "districts/request_url.h"
#include "platform/error.h"

namespace telvora::districts {
namespace {

bool IsFollowedRedirect(int status) {
    // 308 is 301 that keeps the method; we only ever send GET without a body, so it is
    // followed like the others. 300, 304, 305 and 306 are final responses.
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A Set-Cookie header and the URL of the response that carried it.
struct ReceivedCookie {
    RequestUrl from;
    std::string header;
};

}  // namespace

NetHTTPClient::NetHTTPClient() : NetHTTPClient(MakeHttpTransport()) {}

NetHTTPClient::NetHTTPClient(std::unique_ptr<HttpTransport> transport)
    : transport_(std::move(transport)) {}

NetHTTPClient::~NetHTTPClient() = default;

void NetHTTPClient::Fetch(const std::string& url,
                          const std::function<void(std::string_view body)>& onBody) {
    // Cookies set along the way are neither sent within this download nor kept when it fails.
    std::vector<ReceivedCookie> received;
    RequestUrl current = RebuildUrl(url);
    int redirects = 0;
    while (true) {
        // Each response's body takes the place of the one before.
        ResponseBody body(kMaxBodyBytes);
        const TransportResponse response = transport_->Get(
            {current, kUserAgent, cookies_.HeaderFor(current, CookieClockNow())}, body);
        for (std::string& header : response.Values("Set-Cookie")) {
            received.push_back({current, std::move(header)});
        }
        const std::optional<std::string> location = response.Value("Location");
        if (!IsFollowedRedirect(response.status) || !location || location->empty()) {
            // A redirect without a Location has nowhere to go: it is final.
            if (onBody) {
                onBody(body.Text());
            }
            break;
        }
        if (++redirects > kMaxRedirects) {
            throw Error(Format("Maximum number of redirections (%d) exceeded", kMaxRedirects));
        }
        RequestUrl next = RebuildUrl(ResolveLocation(current, *location));
        // A list from a plain connection could be anyone's: it decides which credits are
        // written, so a secure download never continues in clear text.
        if (current.scheme == "https" && next.scheme != "https") {
            throw Error(kInsecureRedirect);
        }
        current = std::move(next);
    }
    const CookieTime now = CookieClockNow();
    for (const ReceivedCookie& cookie : received) {
        cookies_.Receive(cookie.header, cookie.from, now);
    }
}

TextLines DownloadDistrictList(NetHTTPClient& client, const std::string& base,
                               const std::string& callsign) {
    TextLines lines;
    client.Fetch(DistrictListUrl(base, callsign), [&](std::string_view body) {
        const LineLimits limits{NetHTTPClient::kMaxLines, NetHTTPClient::kMaxTextBytes};
        std::optional<TextLines> read = BodyToLines(body, limits);
        if (!read) {
            throw Error(BodyTooLargeMessage(
                Format("Response body of more than %zu lines or %zu bytes of text", limits.maxLines,
                       limits.maxTextBytes)));
        }
        lines = std::move(*read);
    });
    return lines;
}

}  // namespace telvora::districts
