// The message of a failed transfer, from libcurl's result code and error text.
#pragma once

#include <string>
#include <string_view>

namespace telvora::districts {

// `headersComplete`: the final response's headers had all arrived, so the failure hit the
// body. `clientCertificateRequested`: the server asked for a client certificate during the
// handshake. `detail`: libcurl's error text for the transfer (its generic text when empty).
// `host`: the host of the request, for "Error connecting to server: %s".
std::string DescribeTransferFailure(int curlCode, bool headersComplete,
                                    bool clientCertificateRequested, std::string_view detail,
                                    std::string_view host);

}  // namespace telvora::districts
