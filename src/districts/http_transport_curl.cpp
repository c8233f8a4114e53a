// The transport of Linux: one libcurl easy handle for the client's whole life.
//
// Trust: the server certificate and host name are always verified, against the system store
// and, when SSL_CERT_FILE / SSL_CERT_DIR are set, against those instead (read at every
// request, as OpenSSL programs read them when they set up a connection). Proxies come from
// the environment (https_proxy, no_proxy, ...), as libcurl reads it. libcurl's cookie engine
// stays off: no cookie file is ever named, so the client's own store alone decides.
#include <openssl/ssl.h>

#include <cstdlib>
#include <cstring>

#include "districts/curl_holder.h"
#include "districts/http_transport.h"
#include "districts/transfer_failure_curl.h"
#include "platform/error.h"
#include "platform/text.h"

namespace telvora::districts {
namespace {

std::optional<std::string> Environment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

// Where a TLS context keeps the transport it serves, for the callback below.
int TransportExDataIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::optional<std::string> BuiltInPath(CURL* curl, CURLINFO what) {
    char* path = nullptr;
    if (curl_easy_getinfo(curl, what, &path) == CURLE_OK && path != nullptr) {
        return std::string(path);
    }
    return std::nullopt;
}

class CurlTransport final : public HttpTransport {
  public:
    explicit CurlTransport(const TransportOptions& options) : options_(options) {
        CURL* curl = holder_.Handle();
        if (curl == nullptr) {
            throw Error("Error obtaining session handle");
        }
        // The trust store libcurl was built with, to come back to when SSL_CERT_FILE goes.
        defaultCaInfo_ = BuiltInPath(curl, CURLINFO_CAINFO);
        defaultCaPath_ = BuiltInPath(curl, CURLINFO_CAPATH);

        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText_);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "https,http");
        curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);  // the target is already as we want it
        // Our headers go to the server only, never into a proxy's CONNECT.
        curl_easy_setopt(curl, CURLOPT_HEADEROPT, CURLHEADER_SEPARATE);
        curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        // Every request on a connection of its own.
        curl_easy_setopt(curl, CURLOPT_FRESH_CONNECT, 1L);
        curl_easy_setopt(curl, CURLOPT_FORBID_REUSE, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT,
                         static_cast<long>(options_.connectTimeout.count()));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME,
                         static_cast<long>(options_.noProgressTimeout.count()));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &CurlTransport::OnBody);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &CurlTransport::OnHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &CurlTransport::OnTlsContext);
        curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, this);
    }

    TransportResponse Get(const TransportRequest& request, ResponseBody& body) override {
        CURL* curl = holder_.Handle();
        body_ = &body;
        bodyTooLarge_ = false;
        headersComplete_ = false;
        blockStatus_ = 0;
        headerBlock_.clear();
        clientCertificateRequested_ = false;
        closeNotifyReceived_ = false;
        errorText_[0] = '\0';

        const std::string url = request.url.ToString();
        CURLcode code = curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        if (code == CURLE_OK) {
            code = curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        if (code != CURLE_OK) {
            throw Error(Format("Error opening request: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }
        // "Accept:" takes away libcurl's own "Accept: */*".
        std::vector<std::string> headers = {"Accept:"};
        if (!request.cookie.empty()) {
            headers.push_back("Cookie: " + request.cookie);
        }
        code = curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
        if (code == CURLE_OK) {
            code = holder_.SetHeaders(headers);
        }
        if (code != CURLE_OK) {
            throw Error(Format("Error adding header: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }
        ApplyTrust();
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(body.Limit()));

        code = curl_easy_perform(curl);
        body_ = nullptr;
        if (code != CURLE_OK) {
            const std::string detail = bodyTooLarge_ ? body.TooLargeText() : errorText_;
            throw Error(DescribeTransferFailure(code, headersComplete_, clientCertificateRequested_,
                                                detail, request.url.host));
        }
        long status = 0;
        code = curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK) {
            throw Error(Format("Error querying headers: (%d) %s", static_cast<int>(code),
                               curl_easy_strerror(code)));
        }
        if (!headersComplete_ || status < 200) {
            // The connection closed inside the response headers; libcurl calls that a
            // success with whatever it had, but no response has arrived.
            throw Error("Execution of request terminated with unknown error");
        }
        TransportResponse response{static_cast<int>(status), ParseHeaderFields(headerBlock_)};
        if (CutByClose(response, request.url)) {
            throw Error(DescribeTransferFailure(
                CURLE_RECV_ERROR, true, false,
                "The connection closed without TLS close_notify: the body may be cut",
                request.url.host));
        }
        return response;
    }

  private:
    void ApplyTrust() {
        const std::optional<std::string> caFile = Environment("SSL_CERT_FILE");
        const std::optional<std::string> caDir = Environment("SSL_CERT_DIR");
        const std::optional<std::string>& info = caFile ? caFile : defaultCaInfo_;
        const std::optional<std::string>& path = caDir ? caDir : defaultCaPath_;
        CURL* curl = holder_.Handle();
        curl_easy_setopt(curl, CURLOPT_CAINFO, info ? info->c_str() : nullptr);
        curl_easy_setopt(curl, CURLOPT_CAPATH, path ? path->c_str() : nullptr);
    }

    // The server asked for a client certificate; we have none to give. Noted, so that the
    // failure that follows is reported as what it is.
    static int OnCertificateRequest(SSL* ssl, X509**, EVP_PKEY**) {
        auto* self = static_cast<CurlTransport*>(
            SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TransportExDataIndex()));
        if (self != nullptr) {
            self->clientCertificateRequested_ = true;
        }
        return 0;
    }

    static CURLcode OnTlsContext(CURL*, void* context, void* user) {
        auto* tls = static_cast<SSL_CTX*>(context);
        SSL_CTX_set_ex_data(tls, TransportExDataIndex(), user);
        SSL_CTX_set_client_cert_cb(tls, &OnCertificateRequest);
        SSL_CTX_set_msg_callback(tls, &OnTlsMessage);
        SSL_CTX_set_msg_callback_arg(tls, user);
        return CURLE_OK;
    }

    // Notes the server's close_notify alert: the only sign that a body ended by the connection
    // is whole. libcurl takes a bare TCP close for the end of the data as well.
    static void OnTlsMessage(int written, int, int contentType, const void* data, size_t size, SSL*,
                             void* user) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        if (!written && contentType == SSL3_RT_ALERT && size == 2 &&
            bytes[1] == SSL_AD_CLOSE_NOTIFY) {
            static_cast<CurlTransport*>(user)->closeNotifyReceived_ = true;
        }
    }

    // A body with neither a length nor chunks ends where the connection does. Over TLS that end
    // is known only from close_notify; a bare TCP close could as well have cut the list.
    bool CutByClose(const TransportResponse& response, const RequestUrl& url) const {
        const bool noBody = response.status == 204 || response.status == 304;
        const bool framed =
            response.Value("Content-Length").has_value() ||
            platform::ContainsNoCase(response.Value("Transfer-Encoding").value_or(""), "chunked");
        return url.scheme == "https" && !noBody && !framed && !closeNotifyReceived_;
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<CurlTransport*>(user);
        const size_t bytes = size * count;
        if (!self->body_->Append(std::string_view(data, bytes))) {
            self->bodyTooLarge_ = true;
            return 0;  // libcurl ends the transfer with CURLE_WRITE_ERROR
        }
        return bytes;
    }

    // Header lines arrive one by one, status line first and an empty line last, for every
    // response (an interim 1xx included); the fields of the last one are kept. Lines after
    // the final response's headers are the trailers of a chunked body: not headers of it.
    static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
        auto* self = static_cast<CurlTransport*>(user);
        const size_t bytes = size * count;
        const std::string_view line(data, bytes);
        if (self->headersComplete_) {
            return bytes;
        }
        if (platform::StartsWithNoCase(line, "HTTP/")) {
            self->headerBlock_.clear();
            self->blockStatus_ = StatusOfLine(line);
        } else if (line == "\r\n" || line == "\n") {
            self->headersComplete_ = self->blockStatus_ >= 200;
        } else {
            self->headerBlock_.append(line);
        }
        return bytes;
    }

    TransportOptions options_;
    char errorText_[CURL_ERROR_SIZE] = {};
    std::optional<std::string> defaultCaInfo_;
    std::optional<std::string> defaultCaPath_;

    // State of the request under way.
    ResponseBody* body_ = nullptr;
    bool bodyTooLarge_ = false;
    bool headersComplete_ = false;
    long blockStatus_ = 0;
    std::string headerBlock_;
    bool clientCertificateRequested_ = false;
    bool closeNotifyReceived_ = false;

    // Last: the handle points at the members above, so it goes first.
    CurlHolder holder_;
};

}  // namespace

std::string BodyTooLargeMessage(std::string_view description) {
    // As a body that passes the size limit while it arrives, which our write callback refuses.
    return DescribeTransferFailure(CURLE_WRITE_ERROR, true, false, description, {});
}

std::unique_ptr<HttpTransport> MakeHttpTransport(const TransportOptions& options) {
    return std::make_unique<CurlTransport>(options);
}

}  // namespace telvora::districts
