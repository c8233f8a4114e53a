#include "districts/net_http_client.h"

#include <curl/curl.h>
#include <openssl/ssl.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "districts/body_lines.h"
#include "districts/request_url.h"
#include "districts/transfer_failure.h"
#include "platform/error.h"
#include "platform/text.h"

namespace telvora::districts {
namespace {

bool IsFollowedRedirect(long status) {
    // 308 is 301 that keeps the method; we only ever send GET without a body, so it is
    // followed like the others. 300, 304, 305 and 306 are final responses.
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

void InitLibcurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

// Where a TLS context keeps the client it serves, for the callback below.
int ClientExDataIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

}  // namespace

struct NetHTTPClient::Impl {
    CURL* curl = nullptr;
    curl_slist* headers = nullptr;  // only to take away libcurl's own "Accept: */*"
    std::optional<std::string> defaultCaInfo;
    std::optional<std::string> defaultCaPath;
    long connectTimeout = 60;
    long noProgressTimeout = 30;
    char errorText[CURL_ERROR_SIZE] = {};

    // State of the request under way.
    std::string body;
    bool bodyTooLarge = false;
    bool headersComplete = false;
    long blockStatus = 0;
    std::string location;
    bool clientCertificateRequested = false;

    // The server asked for a client certificate; we have none to give. Noted, so that the
    // failure that follows is reported as what it is.
    static int OnCertificateRequest(SSL* ssl, X509**, EVP_PKEY**) {
        auto* self =
            static_cast<Impl*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), ClientExDataIndex()));
        if (self != nullptr) {
            self->clientCertificateRequested = true;
        }
        return 0;
    }

    static CURLcode OnTlsContext(CURL*, void* context, void* user) {
        auto* tls = static_cast<SSL_CTX*>(context);
        SSL_CTX_set_ex_data(tls, ClientExDataIndex(), user);
        SSL_CTX_set_client_cert_cb(tls, &OnCertificateRequest);
        return CURLE_OK;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        const size_t bytes = size * count;
        if (self->body.size() + bytes > kMaxBodyBytes) {
            self->bodyTooLarge = true;
            return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
        }
        self->body.append(data, bytes);
        return bytes;
    }

    // Header lines arrive one by one, status line first and an empty line last, for every
    // response (an interim 1xx included).
    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<Impl*>(user);
        const size_t bytes = size * count;
        const std::string_view line(data, bytes);
        if (platform::StartsWithNoCase(line, "HTTP/")) {
            self->location.clear();
            self->blockStatus = 0;
            const std::size_t space = line.find(' ');
            if (space != std::string_view::npos) {
                self->blockStatus =
                    std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
            }
        } else if (TrimBlanks(line).empty()) {
            if (self->blockStatus >= 200) {
                self->headersComplete = true;
            }
        } else if (platform::StartsWithNoCase(line, "Location:")) {
            self->location = std::string(TrimBlanks(line.substr(9)));
        }
        return bytes;
    }

    std::vector<std::string> SnapshotCookies() {
        std::vector<std::string> cookies;
        curl_slist* list = nullptr;
        if (curl_easy_getinfo(curl, CURLINFO_COOKIELIST, &list) == CURLE_OK) {
            for (curl_slist* item = list; item != nullptr; item = item->next) {
                cookies.emplace_back(item->data);
            }
            curl_slist_free_all(list);
        }
        return cookies;
    }

    void RestoreCookies(const std::vector<std::string>& cookies) {
        curl_easy_setopt(curl, CURLOPT_COOKIELIST, "ALL");
        for (const std::string& cookie : cookies) {
            curl_easy_setopt(curl, CURLOPT_COOKIELIST, cookie.c_str());
        }
    }

    void ApplyTrustAndTimeouts() {
        // Read at every download, as OpenSSL programs read these when they connect.
        const std::optional<std::string> caFile = Environment("SSL_CERT_FILE");
        const std::optional<std::string> caDir = Environment("SSL_CERT_DIR");
        const std::optional<std::string>& info = caFile ? caFile : defaultCaInfo;
        const std::optional<std::string>& path = caDir ? caDir : defaultCaPath;
        curl_easy_setopt(curl, CURLOPT_CAINFO, info ? info->c_str() : nullptr);
        curl_easy_setopt(curl, CURLOPT_CAPATH, path ? path->c_str() : nullptr);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, connectTimeout);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, noProgressTimeout);
    }

    // One request of the redirect loop; leaves the status code in `status` and the body in
    // `body`.
    long Perform(const RequestUrl& url) {
        body.clear();
        bodyTooLarge = false;
        headersComplete = false;
        blockStatus = 0;
        location.clear();
        clientCertificateRequested = false;
        errorText[0] = '\0';

        const std::string text = url.ToString();
        CURLcode code = curl_easy_setopt(curl, CURLOPT_URL, text.c_str());
        if (code == CURLE_OK) {
            code = curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        if (code != CURLE_OK) {
            throw Error(Format("Error opening request: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }
        code = curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
        if (code == CURLE_OK) {
            code = curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
        }
        if (code != CURLE_OK) {
            throw Error(Format("Error adding header: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }

        code = curl_easy_perform(curl);
        if (code != CURLE_OK) {
            std::string detail = errorText;
            if (bodyTooLarge) {
                detail = Format("Response body larger than %zu bytes", kMaxBodyBytes);
            }
            throw Error(DescribeTransferFailure(code, headersComplete, clientCertificateRequested,
                                                detail, url.host));
        }
        long status = 0;
        code = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK) {
            throw Error(Format("Error querying headers: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }
        if (!headersComplete || status < 200) {
            // The connection closed inside the response headers; libcurl calls that a
            // success with whatever it had, but no response has arrived.
            throw Error("Execution of request terminated with unknown error");
        }
        return status;
    }
};

NetHTTPClient::NetHTTPClient() : impl_(std::make_unique<Impl>()) {
    InitLibcurlOnce();
    impl_->curl = curl_easy_init();
    if (impl_->curl == nullptr) {
        throw Error("Error obtaining session handle");
    }
    CURL* curl = impl_->curl;
    // The trust store libcurl was built with, to come back to when SSL_CERT_FILE goes away.
    char* builtIn = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CAINFO, &builtIn) == CURLE_OK && builtIn != nullptr) {
        impl_->defaultCaInfo = builtIn;
    }
    builtIn = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_CAPATH, &builtIn) == CURLE_OK && builtIn != nullptr) {
        impl_->defaultCaPath = builtIn;
    }
    impl_->headers = curl_slist_append(nullptr, "Accept:");
    if (impl_->headers == nullptr) {
        curl_easy_cleanup(curl);
        throw Error("Error obtaining session handle");
    }

    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, impl_->errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // the in-memory cookie engine, no file
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https,http");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);  // the target is already as we want it
    curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Every request on a connection of its own.
    curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, impl_.get());
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, impl_.get());
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &Impl::OnTlsContext);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, impl_.get());
}

NetHTTPClient::~NetHTTPClient() {
    curl_easy_cleanup(impl_->curl);
    curl_slist_free_all(impl_->headers);
}

void NetHTTPClient::SetConnectTimeout(std::chrono::seconds timeout) {
    impl_->connectTimeout = static_cast<long>(timeout.count());
}

void NetHTTPClient::SetNoProgressTimeout(std::chrono::seconds timeout) {
    impl_->noProgressTimeout = static_cast<long>(timeout.count());
}

void NetHTTPClient::Fetch(const std::string& url,
                          const std::function<void(std::string_view body)>& onBody) {
    const std::vector<std::string> cookies = impl_->SnapshotCookies();
    try {
        impl_->ApplyTrustAndTimeouts();
        RequestUrl current = RebuildUrl(url);
        int redirects = 0;
        while (true) {
            const long status = impl_->Perform(current);
            if (!IsFollowedRedirect(status) || impl_->location.empty()) {
                break;  // a redirect without a Location has nowhere to go: it is final
            }
            if (++redirects > kMaxRedirects) {
                throw Error(Format("Maximum number of redirections (%d) exceeded", kMaxRedirects));
            }
            RequestUrl next = RebuildUrl(ResolveLocation(current, impl_->location));
            // A list from a plain connection could be anyone's: it decides which credits are
            // written, so a secure download never continues in clear text.
            if (current.scheme == "https" && next.scheme != "https") {
                throw Error(kInsecureRedirect);
            }
            current = std::move(next);
        }
        std::string body = std::move(impl_->body);
        impl_->body = std::string();
        if (onBody) {
            onBody(body);
        }
    } catch (...) {
        // A failed download leaves the cookie store as it found it.
        impl_->RestoreCookies(cookies);
        impl_->body = std::string();
        throw;
    }
}

std::vector<std::string> DownloadDistrictList(NetHTTPClient& client, const std::string& base,
                                              const std::string& callsign) {
    std::vector<std::string> lines;
    client.Fetch(DistrictListUrl(base, callsign),
                 [&](std::string_view body) { lines = BodyToLines(body); });
    return lines;
}

}  // namespace telvora::districts
