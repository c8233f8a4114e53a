// The messages of WinHTTP's failures. The download tests under Wine reach the codes that
// loopback servers can provoke; these are the rest of the table, the codes real Windows gives
// (ERROR_WINHTTP_SECURE_FAILURE for a rejected certificate, among others).
#include <windows.h>
// (after windows.h, which it needs)
#include <winhttp.h>

#include <gtest/gtest.h>

#include <string>

#include "districts/transfer_failure_winhttp.h"

namespace telvora::districts {
namespace {

TEST(TransferFailureWinHttp, EveryCodeGivesTheMessageOfItsFailure) {
    constexpr const char* kCertificate = "Server Certificate Invalid or not present";
    constexpr const char* kUnknown = "Execution of request terminated with unknown error";
    struct Case {
        unsigned long code;
        const char* message;
    };
    const Case cases[] = {
        {ERROR_WINHTTP_SECURE_FAILURE, kCertificate},
        {ERROR_WINHTTP_SECURE_CHANNEL_ERROR, kCertificate},  // what Wine 8 gives
        {ERROR_WINHTTP_SECURE_CERT_DATE_INVALID, kCertificate},
        {ERROR_WINHTTP_SECURE_CERT_CN_INVALID, kCertificate},
        {ERROR_WINHTTP_SECURE_INVALID_CA, kCertificate},
        {ERROR_WINHTTP_SECURE_CERT_REVOKED, kCertificate},
        {ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED, "Unspecified certificate from client"},
        {ERROR_WINHTTP_CANNOT_CONNECT, kUnknown},
        {ERROR_WINHTTP_NAME_NOT_RESOLVED, kUnknown},
        {ERROR_WINHTTP_TIMEOUT, kUnknown},
        {ERROR_WINHTTP_CONNECTION_ERROR, kUnknown},
        {ERROR_WINHTTP_INVALID_SERVER_RESPONSE, kUnknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeRequestFailure(c.code), c.message) << c.code;
    }
}

TEST(TransferFailureWinHttp, CodesAreDescribedFromWinHttpsOwnMessages) {
    // The transport has loaded winhttp.dll by the time it describes a code; its codes are
    // in its own message table, not in the system's. Wine 8's winhttp.dll has none: there the
    // text is the fallback for a code without a description.
    ASSERT_NE(LoadLibraryW(L"winhttp.dll"), nullptr);
    const bool underWine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const std::string message = DescribeCode("Error reading data: (%d) %s", ERROR_WINHTTP_TIMEOUT);
    const std::string start = "Error reading data: (12002) ";
    ASSERT_EQ(message.substr(0, start.size()), start);
    if (underWine) {
        EXPECT_EQ(message, start + "Unknown error (12002)");
    } else {
        EXPECT_GT(message.size(), start.size());
        EXPECT_EQ(message.find("Unknown error"), std::string::npos) << message;
    }

    EXPECT_EQ(DescribeCode("Error reading data: (%d) %s", 223, "Body too large"),
              "Error reading data: (223) Body too large");
}

}  // namespace
}  // namespace telvora::districts
