// The messages of libcurl's failures (the transport of Linux).
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <string>

#include "districts/transfer_failure_curl.h"

namespace telvora::districts {
namespace {

TEST(TransferFailure, EachFailureGetsItsMessage) {
    constexpr const char* kUnknown = "Execution of request terminated with unknown error";
    constexpr const char* kCertificate = "Server Certificate Invalid or not present";
    constexpr const char* kClient = "Unspecified certificate from client";
    struct Case {
        CURLcode code;
        bool headersComplete;
        bool certificateRequested;
        const char* detail;
        std::string message;
    };
    const Case cases[] = {
        {CURLE_COULDNT_RESOLVE_HOST, false, false, "Could not resolve host: x", kUnknown},
        {CURLE_COULDNT_RESOLVE_PROXY, false, false, "", kUnknown},
        {CURLE_COULDNT_CONNECT, false, false, "Failed to connect", kUnknown},
        {CURLE_OPERATION_TIMEDOUT, false, false, "Operation too slow", kUnknown},
        {CURLE_GOT_NOTHING, false, false, "Empty reply from server", kUnknown},
        {CURLE_SSL_CONNECT_ERROR, false, false, "OpenSSL SSL_connect: Connection reset by peer",
         kUnknown},
        {CURLE_RECV_ERROR, false, false, "Recv failure: Connection reset by peer", kUnknown},
        {CURLE_WEIRD_SERVER_REPLY, false, false, "", kUnknown},
        {CURLE_PEER_FAILED_VERIFICATION, false, false, "SSL certificate problem", kCertificate},
        {CURLE_SSL_CACERT_BADFILE, false, false, "error setting certificate file", kCertificate},
        {CURLE_SSL_CONNECT_ERROR, false, false,
         "OpenSSL/3.0 error:0A000410:SSL routines::sslv3 alert handshake failure", kClient},
        {CURLE_RECV_ERROR, false, false,
         "OpenSSL SSL_read: error:0A00045C:SSL routines::tlsv13 alert certificate required",
         kClient},
        {CURLE_SEND_ERROR, false, false, "tlsv13 alert certificate required", kClient},
        {CURLE_UNSUPPORTED_PROTOCOL, false, false, "Received HTTP/0.9 when not allowed", kUnknown},
        {CURLE_URL_MALFORMAT, false, false, "", "Error connecting to server: h.example"},
        // The request for a certificate decides when the alert itself was lost in a reset.
        {CURLE_SEND_ERROR, false, true, "Connection reset by peer", kClient},
        {CURLE_RECV_ERROR, false, true, "Connection reset by peer", kClient},
        {CURLE_SSL_CONNECT_ERROR, false, true, "", kClient},
        {CURLE_GOT_NOTHING, false, true, "", kClient},
        {CURLE_OPERATION_TIMEDOUT, false, true, "Operation too slow", kUnknown},
        {CURLE_RECV_ERROR, true, true, "Connection reset by peer",
         "Error reading data: (56) Connection reset by peer"},
        {CURLE_PARTIAL_FILE, true, false, "transfer closed with 10 bytes remaining to read",
         "Error reading data: (18) transfer closed with 10 bytes remaining to read"},
        {CURLE_OPERATION_TIMEDOUT, true, false, "Operation too slow",
         "Error reading data: (28) Operation too slow"},
        {CURLE_RECV_ERROR, true, false, "Connection reset by peer",
         "Error reading data: (56) Connection reset by peer"},
        {CURLE_WRITE_ERROR, false, false, "Response body larger than 67108864 bytes",
         "Error reading data: (23) Response body larger than 67108864 bytes"},
        {CURLE_FILESIZE_EXCEEDED, false, false, "",
         std::string("Error reading data: (63) ") + curl_easy_strerror(CURLE_FILESIZE_EXCEEDED)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeTransferFailure(c.code, c.headersComplete, c.certificateRequested,
                                          c.detail, "h.example"),
                  c.message)
            << c.code << " " << c.detail;
    }
}

}  // namespace
}  // namespace telvora::districts
