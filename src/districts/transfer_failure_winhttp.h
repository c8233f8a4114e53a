// The messages of WinHTTP's failures, from the error codes its calls leave (the transport of
// Windows).
#pragma once

#include <string>
#include <string_view>

namespace telvora::districts {

// The codes of the failures that the transport finds itself, WinHTTP having reported none:
// a body that ends before its announced length, and one past the client's size limit.
constexpr unsigned long kBodyCutCode = 12030;     // ERROR_WINHTTP_CONNECTION_ERROR
constexpr unsigned long kBodyTooLargeCode = 223;  // ERROR_FILE_TOO_LARGE

// The message for a request that failed before its response headers had arrived
// (WinHttpSendRequest or WinHttpReceiveResponse). Windows reports a server certificate it
// rejects as ERROR_WINHTTP_SECURE_FAILURE; Wine 8 reports it (and every other handshake that
// fails) as ERROR_WINHTTP_SECURE_CHANNEL_ERROR.
std::string DescribeRequestFailure(unsigned long code);

// `message` (one of the "... (%d) %s" messages) with the code and its description: the
// system's, WinHTTP's own message table first, unless `description` is given.
std::string DescribeCode(const char* message, unsigned long code,
                         std::string_view description = {});

}  // namespace telvora::districts
