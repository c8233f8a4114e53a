// The transport of Windows: WinHTTP, one synchronous session for the client's whole life.
//
// Every request gets a connection and a request handle of its own, the proxy that the current
// user's settings give for its URL, WinHTTP's own redirects, cookies and keep-alive switched off,
// and only the User-Agent and Cookie headers. The server certificate is checked by the platform,
// against the user's and the machine's trusted roots. Time-outs are WinHTTP's defaults.
#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "districts/http_transport.h"
#include "districts/transfer_failure_winhttp.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/wide.h"

namespace telvora::districts {
namespace {

struct CloseInternetHandle {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, CloseInternetHandle>;

// A string that WinHTTP allocated for us with GlobalAlloc.
struct FreeGlobal {
    void operator()(wchar_t* text) const { GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, FreeGlobal>;

std::wstring TextOf(const GlobalText& text) {
    return text ? std::wstring(text.get()) : std::wstring();
}

struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring target;  // path, query and what else follows the path
    bool secure = false;
};

std::optional<UrlParts> CrackUrl(const std::wstring& url) {
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    // -1: point into `url` instead of copying.
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength =
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        parts.dwHostNameLength == 0) {
        return std::nullopt;
    }
    UrlParts result;
    result.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    result.port = parts.nPort;
    result.target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    result.target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (result.target.empty()) {
        result.target = L"/";
    }
    result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return result;
}

// The proxy of one request: none (direct), or the proxy list and its bypass list.
struct Proxy {
    std::wstring servers;
    std::wstring bypass;

    bool Direct() const { return servers.empty(); }
    auto operator<=>(const Proxy&) const = default;
};

// What a proxy auto-configuration script (named, or found by automatic detection) answers
// for `url`; direct when there is no answer.
Proxy ProxyFromScript(HINTERNET session, const std::wstring& url, const wchar_t* scriptUrl) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (scriptUrl != nullptr) {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = scriptUrl;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) {
        return {};
    }
    const GlobalText servers(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        return {};
    }
    return {TextOf(servers), TextOf(bypass)};
}

// The proxy for `url` from the current user's settings, read afresh for every request: the
// answer of the configuration script they name, else the proxy and bypass list they fix, else
// none. Only when they can't be read at all is the proxy looked for by automatic detection.
Proxy FindProxy(HINTERNET session, const std::wstring& url) {
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) {
        return ProxyFromScript(session, url, nullptr);
    }
    const GlobalText script(settings.lpszAutoConfigUrl);
    const GlobalText servers(settings.lpszProxy);
    const GlobalText bypass(settings.lpszProxyBypass);
    if (script && *script) {
        return ProxyFromScript(session, url, script.get());
    }
    return {TextOf(servers), TextOf(bypass)};
}

// The one server of a proxy list ("host:port", or "http=host:port;https=host:port") that
// serves `scheme`: the entry for that scheme, else the first entry that names none.
std::wstring ProxyServerFor(const std::wstring& list, const std::wstring& scheme) {
    std::wstring generic;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find_first_of(L"; ", start);
        if (end == std::wstring::npos) {
            end = list.size();
        }
        std::wstring entry = list.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = entry.find(L'=');
        if (equals == std::wstring::npos) {
            if (generic.empty()) {
                generic = entry;
            }
        } else if (platform::EqualsNoCase(platform::Narrow(entry.substr(0, equals)),
                                          platform::Narrow(scheme))) {
            return entry.substr(equals + 1);
        }
    }
    const std::size_t schemeEnd = generic.find(L"://");
    return schemeEnd == std::wstring::npos ? generic : generic.substr(schemeEnd + 3);
}

std::optional<std::wstring> QueryText(HINTERNET request, DWORD what) {
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return std::nullopt;
    }
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, what, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    text.resize(bytes / sizeof(wchar_t));
    return text;
}

// The body's length as the response announces it, when it does: not for a chunked body, nor
// for statuses that have none.
std::optional<std::uint64_t> AnnouncedLength(HINTERNET request, int status) {
    if (status == 204 || status == 304) {
        return std::nullopt;
    }
    const std::optional<std::wstring> encoding =
        QueryText(request, WINHTTP_QUERY_TRANSFER_ENCODING);
    if (encoding && platform::ContainsNoCase(platform::Narrow(*encoding), "chunked")) {
        return std::nullopt;
    }
    const std::optional<std::wstring> length = QueryText(request, WINHTTP_QUERY_CONTENT_LENGTH);
    if (!length || length->empty() || length->size() > 19) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t digit : *length) {
        if (digit < L'0' || digit > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(digit - L'0');
    }
    return value;
}

// A header that is added to the request only once its connection stands (see Configure).
struct LateHeader {
    std::wstring line;
    DWORD error = 0;
    bool added = false;
};

void CALLBACK OnConnected(HINTERNET request, DWORD_PTR context, DWORD status, void*, DWORD) {
    auto* header = reinterpret_cast<LateHeader*>(context);
    if (status != WINHTTP_CALLBACK_STATUS_CONNECTED_TO_SERVER || header == nullptr ||
        header->added || header->line.empty()) {
        return;
    }
    header->added =
        WinHttpAddRequestHeaders(request, header->line.c_str(),
                                 static_cast<DWORD>(header->line.size()), WINHTTP_ADDREQ_FLAG_ADD);
    if (!header->added) {
        header->error = GetLastError();
    }
}

class WinHttpTransport final : public HttpTransport {
  public:
    explicit WinHttpTransport(const TransportOptions& options) : options_(options) {
        session_.reset(WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
        if (!session_) {
            throw Error("Error obtaining session handle");
        }
        requestProxyHonoured_ = RequestReportsItsProxy();
    }

    TransportResponse Get(const TransportRequest& request, ResponseBody& body) override {
        const std::wstring url = platform::Wide(request.url.ToString());
        const std::optional<UrlParts> parts = CrackUrl(url);
        if (!parts) {
            throw Error("Invalid URL");
        }
        Proxy proxy = FindProxy(session_.get(), url);
        // Where a request cannot carry a proxy of its own, a session opened with it does; it
        // takes one server, the one of the list that serves this scheme.
        const bool proxyInSession = !proxy.Direct() && !requestProxyHonoured_;
        if (proxyInSession) {
            proxy.servers = ProxyServerFor(proxy.servers, platform::Wide(request.url.scheme));
        }
        HINTERNET session =
            proxyInSession && !proxy.Direct() ? ProxySession(proxy) : session_.get();

        const InternetHandle connection(
            WinHttpConnect(session, parts->host.c_str(), parts->port, 0));
        if (!connection) {
            throw Error(Format("Error connecting to server: %s", request.url.host.c_str()));
        }
        // The target is escaped already (request_url.h): WinHTTP sends it as it stands.
        const DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                            (parts->secure ? WINHTTP_FLAG_SECURE : 0);
        const InternetHandle handle(
            WinHttpOpenRequest(connection.get(), L"GET", parts->target.c_str(), nullptr,
                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!handle) {
            throw Error(DescribeCode("Error opening request: (%d) %s", GetLastError()));
        }
        LateHeader cookie;
        if (!request.cookie.empty()) {
            cookie.line = L"Cookie: " + platform::Wide(request.cookie);
        }
        Configure(handle.get(), proxyInSession ? Proxy{} : proxy, proxyInSession, cookie);

        const std::wstring userAgent = L"User-Agent: " + platform::Wide(request.userAgent);
        AddHeader(handle.get(), userAgent, WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
        if (!proxyInSession && !cookie.line.empty()) {
            AddHeader(handle.get(), cookie.line, WINHTTP_ADDREQ_FLAG_ADD);
        }

        if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                WINHTTP_NO_REQUEST_DATA, 0, 0,
                                reinterpret_cast<DWORD_PTR>(&cookie)) ||
            !WinHttpReceiveResponse(handle.get(), nullptr)) {
            throw Error(DescribeRequestFailure(GetLastError()));
        }
        if (cookie.error != 0) {
            throw Error(DescribeCode("Error adding header: (%d) %s", cookie.error));
        }

        DWORD status = 0;
        DWORD size = sizeof status;
        if (!WinHttpQueryHeaders(
                handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX)) {
            throw Error(DescribeCode("Error querying headers: (%d) %s", GetLastError()));
        }
        const std::optional<std::wstring> block =
            QueryText(handle.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF);
        if (!block) {
            throw Error(DescribeCode("Error querying headers: (%d) %s", GetLastError()));
        }
        ReadBody(handle.get(), static_cast<int>(status), *block, body);
        return {static_cast<int>(status), ParseHeaderFields(platform::Narrow(*block))};
    }

  private:
    // Whether a request keeps the proxy set on it. Wine's WinHTTP accepts the option and
    // ignores it (it has no way to report it back either), so there every proxy gets a
    // session of its own instead. Nothing is sent: the handles only look.
    bool RequestReportsItsProxy() const {
        const InternetHandle connection(WinHttpConnect(session_.get(), L"localhost", 443, 0));
        if (!connection) {
            return true;
        }
        const InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", L"/", nullptr,
                                                        WINHTTP_NO_REFERER,
                                                        WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
        if (!request) {
            return true;
        }
        wchar_t server[] = L"127.0.0.1:9";
        WINHTTP_PROXY_INFO info{WINHTTP_ACCESS_TYPE_NAMED_PROXY, server, nullptr};
        if (!WinHttpSetOption(request.get(), WINHTTP_OPTION_PROXY, &info, sizeof info)) {
            return true;
        }
        DWORD bytes = 0;
        WinHttpQueryOption(request.get(), WINHTTP_OPTION_PROXY, nullptr, &bytes);
        return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
    }

    // The session that takes `proxy` (one server), opened at its first use and kept, like
    // the client's own, for the client's life.
    HINTERNET ProxySession(const Proxy& proxy) {
        InternetHandle& session = proxySessions_[proxy];
        if (!session) {
            session.reset(WinHttpOpen(
                L"", WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.servers.c_str(),
                proxy.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : proxy.bypass.c_str(), 0));
            if (!session) {
                proxySessions_.erase(proxy);
                throw Error("Error obtaining session handle");
            }
        }
        return session.get();
    }

    // The request's own settings: its proxy (direct included), none of WinHTTP's redirects,
    // cookies or kept-alive connections, and the time-outs only when they differ from WinHTTP's
    // defaults. A proxy that a session carries puts every request header into its CONNECT
    // (Wine's WinHTTP does): there the Cookie header is added once the tunnel stands, so that it
    // goes to the server alone.
    void Configure(HINTERNET request, const Proxy& proxy, bool proxyInSession,
                   LateHeader& cookie) const {
        auto fail = [] {
            throw Error(DescribeCode("Error opening request: (%d) %s", GetLastError()));
        };
        if (!proxyInSession) {
            WINHTTP_PROXY_INFO info{};
            info.dwAccessType =
                proxy.Direct() ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            std::wstring servers = proxy.servers;
            std::wstring bypass = proxy.bypass;
            info.lpszProxy = proxy.Direct() ? nullptr : servers.data();
            info.lpszProxyBypass = bypass.empty() ? nullptr : bypass.data();
            if (!WinHttpSetOption(request, WINHTTP_OPTION_PROXY, &info, sizeof info)) {
                fail();
            }
        }
        DWORD disable =
            WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_KEEP_ALIVE;
        if (!WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable)) {
            fail();
        }
        if (!(options_ == TransportOptions{})) {
            const int connect = static_cast<int>(options_.connectTimeout.count() * 1000);
            const int quiet = static_cast<int>(options_.noProgressTimeout.count() * 1000);
            DWORD headers = static_cast<DWORD>(quiet);
            if (!WinHttpSetTimeouts(request, 0, connect, quiet, quiet) ||
                !WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headers,
                                  sizeof headers)) {
                fail();
            }
        }
        if (proxyInSession && !cookie.line.empty() &&
            WinHttpSetStatusCallback(request, &OnConnected, WINHTTP_CALLBACK_FLAG_CONNECT_TO_SERVER,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            fail();
        }
    }

    static void AddHeader(HINTERNET request, const std::wstring& line, DWORD how) {
        if (!WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(line.size()),
                                      how)) {
            throw Error(DescribeCode("Error adding header: (%d) %s", GetLastError()));
        }
    }

    // The body in the pieces in which it arrives, held to the body's limit. A body that ends
    // before the length its response announced was cut off: a failure, not a shorter list.
    static void ReadBody(HINTERNET request, int status, const std::wstring& headerBlock,
                         ResponseBody& body) {
        const std::optional<std::uint64_t> announced = AnnouncedLength(request, status);
        const auto tooLarge = [&] { return Error(BodyTooLargeMessage(body.TooLargeText())); };
        if (announced && *announced > body.Limit()) {
            throw tooLarge();
        }
        std::string piece;
        while (true) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request, &available)) {
                throw Error(DescribeCode("Error reading data: (%d) %s", GetLastError()));
            }
            if (available == 0) {
                break;
            }
            piece.resize(available);
            DWORD read = 0;
            if (!WinHttpReadData(request, piece.data(), available, &read)) {
                throw Error(DescribeCode("Error reading data: (%d) %s", GetLastError()));
            }
            if (read == 0) {
                break;
            }
            if (!body.Append(std::string_view(piece.data(), read))) {
                throw tooLarge();
            }
        }
        if (announced && body.Text().size() != *announced) {
            // Wine takes a connection closed inside the header block for its end; the cut
            // shows only here, and a block without its closing blank line tells it apart.
            if (!headerBlock.ends_with(L"\r\n\r\n")) {
                throw Error("Execution of request terminated with unknown error");
            }
            throw Error(DescribeCode("Error reading data: (%d) %s", kBodyCutCode));
        }
    }

    TransportOptions options_;
    InternetHandle session_;
    bool requestProxyHonoured_ = true;
    std::map<Proxy, InternetHandle> proxySessions_;
};

}  // namespace

std::string BodyTooLargeMessage(std::string_view description) {
    return DescribeCode("Error reading data: (%d) %s", kBodyTooLargeCode, description);
}

std::unique_ptr<HttpTransport> MakeHttpTransport(const TransportOptions& options) {
    return std::make_unique<WinHttpTransport>(options);
}

}  // namespace telvora::districts
