#include "districts/transfer_failure_curl.h"

#include <curl/curl.h>

#include "platform/error.h"
#include "platform/text.h"

namespace telvora::districts {

std::string DescribeTransferFailure(int curlCode, bool headersComplete,
                                    bool clientCertificateRequested, std::string_view detail,
                                    std::string_view host) {
    const auto code = static_cast<CURLcode>(curlCode);
    const std::string text =
        detail.empty() ? std::string(curl_easy_strerror(code)) : std::string(detail);

    switch (code) {
        case CURLE_URL_MALFORMAT:
            // libcurl refused the URL before opening anything.
            return Format("Error connecting to server: %.*s", static_cast<int>(host.size()),
                          host.data());
        case CURLE_PEER_FAILED_VERIFICATION:  // untrusted chain, wrong name, expired
        case CURLE_SSL_CACERT_BADFILE:        // the trust store itself can't be read
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return "Server Certificate Invalid or not present";
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
            // A server that demands a client certificate ends the handshake (TLS 1.2) or the
            // connection right after it (TLS 1.3) with an alert. Whether that alert is still
            // read before the connection resets is a race, so the request for a certificate
            // seen during the handshake decides as well.
            if (!headersComplete && (clientCertificateRequested ||
                                     platform::ContainsNoCase(text, "certificate required") ||
                                     platform::ContainsNoCase(text, "handshake failure"))) {
                return "Unspecified certificate from client";
            }
            break;
        case CURLE_WRITE_ERROR:        // our own size limit stopped the body
        case CURLE_FILESIZE_EXCEEDED:  // the announced length is beyond that limit
            return Format("Error reading data: (%d) %s", curlCode, text.c_str());
        default:
            break;
    }
    if (headersComplete) {
        // The response had begun: a body cut short or stalled is no shorter list.
        return Format("Error reading data: (%d) %s", curlCode, text.c_str());
    }
    return "Execution of request terminated with unknown error";
}

}  // namespace telvora::districts
