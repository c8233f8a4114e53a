#include "districts/transfer_failure_winhttp.h"

#include <windows.h>
#include <winhttp.h>

#include "platform/error.h"
#include "platform/system_message.h"

namespace telvora::districts {

std::string DescribeRequestFailure(unsigned long code) {
    switch (code) {
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return "Server Certificate Invalid or not present";
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return "Unspecified certificate from client";
        default:
            // A name that does not resolve, a refused or broken connection, a time-out, an
            // answer that is no HTTP: the request did not get through.
            return "Execution of request terminated with unknown error";
    }
}

std::string DescribeCode(const char* message, unsigned long code, std::string_view description) {
    const std::string text = description.empty() ? platform::SystemMessage(code, L"winhttp.dll")
                                                 : std::string(description);
    return Format(message, static_cast<int>(code), text.c_str());
}

}  // namespace telvora::districts
