// The download against a real HTTPS server on loopback (the local district-list service).
// The behaviour cases are one fixture run over every transport the platform has
// (TransportUnderTest) and every place its servers can run (HostUnderTest): in this process,
// or in a telvora-district-service process beside it, driven over its control port, the only
// place they can run for the Windows build under Wine. The few cases of one transport's own
// settings follow at the end.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
// (after windows.h, which it needs)
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "district_service/service_host.h"
#include "districts/http_transport.h"
#include "districts/net_http_client.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "scoped_env.h"
#include "temp_dir.h"

#ifdef _WIN32
#include "root_store.h"
#else
#include "district_service/district_service.h"
#endif

namespace telvora::districts {
namespace {

using district_service::HostedListener;
using district_service::HostedService;
using district_service::LocationForm;
using district_service::RawClose;
using district_service::RecordedRequest;
using district_service::Reply;
using district_service::ServiceHost;
using district_service::ServiceSetup;
using Lines = std::vector<std::string>;
using namespace std::chrono_literals;
using namespace std::string_literals;

constexpr const char* kUnknown = "Execution of request terminated with unknown error";
constexpr const char* kCertificate = "Server Certificate Invalid or not present";
constexpr const char* kList = "D1,R1ABC,05.03.2019\r\nD2,UA1AAA,06.03.2019\r\n";
const Lines kListLines = {"D1,R1ABC,05.03.2019", "D2,UA1AAA,06.03.2019"};

// A 302 to `location` that sets `setCookies` on the way.
Reply Redirect(const std::string& location, const std::vector<std::string>& setCookies = {}) {
    Reply reply;
    reply.status = 302;
    reply.headers.emplace_back("Location", location);
    for (const std::string& header : setCookies) {
        reply.headers.emplace_back("Set-Cookie", header);
    }
    return reply;
}

// The message of the download's failure; fails the test when it succeeds.
std::string FailureOf(NetHTTPClient& client, const std::string& base, const std::string& callsign) {
    try {
        const TextLines lines = DownloadDistrictList(client, base, callsign);
        ADD_FAILURE() << "download succeeded with " << lines.size() << " lines";
        return {};
    } catch (const Error& error) {
        return error.what();
    }
}

// What a transport brings to the behaviour cases.
struct TransportUnderTest {
    std::string name;
    std::function<std::unique_ptr<HttpTransport>(const TransportOptions&)> make;
    // Makes the platform trust the CA of `certificate` (PEM), as a user would, until the
    // result goes.
    std::function<std::shared_ptr<void>(const std::string& certificate)> trust;
    // Takes away whatever proxy the current user's settings name, so that the cases reach
    // loopback directly.
    std::function<std::shared_ptr<void>()> direct;
    // Points the current user's proxy settings at `proxy` ("host:port"), with the hosts of
    // `bypass` (comma-separated, may be empty) reached directly, until the result goes.
    std::function<std::shared_ptr<void>(const std::string& proxy, const std::string& bypass)>
        useProxy;
    // The platform's codes in "Error reading data: (%d) %s" for a body cut short, a body
    // whose announced length is past the limit, one that passes it while it arrives, a body
    // that stalls, and a body without a length whose connection closes without close_notify.
    int cutCode, announcedTooLargeCode, tooLargeCode, stalledCode, closedWithoutNotifyCode;
    // What the platform cannot tell apart: a handshake that fails for another reason than the
    // server's certificate (the server closes, or wants a client certificate), and a chunked
    // body whose connection closes after a whole chunk, before the last one.
    bool handshakeFailuresAlike = false;
    bool cutChunkedBodyUnseen = false;
    bool closeWithoutNotifyUnseen = false;
};

// Where the servers run.
struct HostUnderTest {
    std::string name;
    std::function<std::unique_ptr<ServiceHost>()> make;
};

// The telvora-district-service process that CTest starts for the download tests
// (scripts/district-service-fixture.sh), through the control port it announces in the file
// TELVORA_DISTRICT_SERVICE_CONTROL.
std::unique_ptr<ServiceHost> ServiceProcess() {
    std::ifstream in(platform::PathFromUtf8(TELVORA_DISTRICT_SERVICE_CONTROL));
    int port = 0;
    if (!(in >> port)) {
        throw std::runtime_error(
            "no control port in " TELVORA_DISTRICT_SERVICE_CONTROL
            ": run the download tests through ctest, which starts the district service for them");
    }
    return district_service::ConnectServiceHost(port);
}

const HostUnderTest kServiceProcess = {"service_process", ServiceProcess};

#ifdef _WIN32

bool UnderWine() {
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// The CA in the prefix's current-user Root store, where WinHTTP looks for trusted roots.
std::shared_ptr<void> TrustInRootStore(const std::string& pem) {
    test::TrustInCurrentUserRoot(pem);
    return nullptr;
}

constexpr const wchar_t* kConnections =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
constexpr const wchar_t* kConnectionSettings = L"DefaultConnectionSettings";

// No proxy settings in the (throwaway) prefix, also none that a proxy case left behind when
// it was cut off.
std::shared_ptr<void> NoRegistryProxy() {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kConnections, kConnectionSettings);
    return nullptr;
}

// The current user's fixed proxy as the Internet options store it, the value that
// WinHttpGetIEProxyConfigForCurrentUser reads: a version, a counter and the flags, then the
// proxy, the bypass list and the configuration script's address, each a length and its
// bytes. The value before is put back afterwards.
class RegistryProxy {
  public:
    RegistryProxy(const std::string& proxy, const std::string& bypass) {
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key_,
                            nullptr) != ERROR_SUCCESS) {
            throw std::runtime_error("can't open the Internet settings");
        }
        DWORD size = 0;
        if (RegQueryValueExW(key_, kValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
            old_.emplace(size, '\0');
            RegQueryValueExW(key_, kValue, nullptr, nullptr, reinterpret_cast<BYTE*>(old_->data()),
                             &size);
        }
        std::string value;
        Append(value, 0x46);       // the settings' version
        Append(value, 1);          // changed once
        Append(value, 0x1 | 0x2);  // PROXY_TYPE_DIRECT | PROXY_TYPE_PROXY
        std::string hosts = bypass;
        std::replace(hosts.begin(), hosts.end(), ',', ';');
        for (const std::string& text : {proxy, hosts, std::string()}) {
            Append(value, static_cast<DWORD>(text.size()));
            value += text;
        }
        value.append(32, '\0');  // what Windows keeps of its automatic detection
        Write(value);
    }
    ~RegistryProxy() {
        if (old_) {
            Write(*old_);
        } else {
            RegDeleteValueW(key_, kValue);
        }
        RegCloseKey(key_);
    }
    RegistryProxy(const RegistryProxy&) = delete;
    RegistryProxy& operator=(const RegistryProxy&) = delete;

  private:
    static constexpr const wchar_t* kValue = kConnectionSettings;

    static void Append(std::string& out, DWORD number) {
        out.append(reinterpret_cast<const char*>(&number), sizeof number);
    }
    void Write(const std::string& value) {
        RegSetValueExW(key_, kValue, 0, REG_BINARY, reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size()));
    }

    HKEY key_ = nullptr;
    std::optional<std::string> old_;
};

const TransportUnderTest kWinHttp = {
    .name = "winhttp",
    .make = [](const TransportOptions& options) { return MakeHttpTransport(options); },
    .trust = TrustInRootStore,
    .direct = NoRegistryProxy,
    .useProxy =
        [](const std::string& proxy, const std::string& bypass) {
            // The proxy by another name than the service's: Wine's WinHTTP tunnels only to a
            // host whose name differs from the proxy's (it compares the names, not the ports),
            // and both listen on 127.0.0.1 here.
            std::string named = proxy;
            if (named.starts_with("127.0.0.1:")) {
                named.replace(0, 9, "localhost");
            }
            return std::make_shared<RegistryProxy>(named, bypass);
        },
    .cutCode = 12030,              // ERROR_WINHTTP_CONNECTION_ERROR
    .announcedTooLargeCode = 223,  // ERROR_FILE_TOO_LARGE
    .tooLargeCode = 223,
    .stalledCode = UnderWine() ? 10060 : 12002,  // WSAETIMEDOUT, ERROR_WINHTTP_TIMEOUT
    .closedWithoutNotifyCode = 12030,            // ERROR_WINHTTP_CONNECTION_ERROR, were it seen
    // Wine 8's schannel reports every failed handshake as ERROR_WINHTTP_SECURE_CHANNEL_ERROR,
    // and its WinHTTP reads a chunked body up to where the connection closed.
    .handshakeFailuresAlike = UnderWine(),
    .cutChunkedBodyUnseen = UnderWine(),
    // WinHTTP says nothing of TLS's close_notify: under Wine 8 the end of a body reads the same
    // with and without it (WinHttpQueryDataAvailable: 0 bytes, no error; WinHttpReadData then:
    // 0 bytes, no error), and Microsoft documents no difference.
    .closeWithoutNotifyUnseen = true,
};

#else

// libcurl reads the trusted CAs from the file that SSL_CERT_FILE names.
class TrustFile {
  public:
    explicit TrustFile(const std::string& pem)
        : file_(Written(dir_ / "ca.pem", pem)), caFile_("SSL_CERT_FILE", file_) {}

  private:
    static std::string Written(const std::filesystem::path& file, const std::string& pem) {
        test::WriteFileBytes(file, pem);
        return file.string();
    }

    test::TempDir dir_;
    std::string file_;
    test::ScopedEnv caFile_;
};

// libcurl reads the proxy from the environment.
class NoEnvironmentProxy {
  private:
    test::ScopedEnv httpsProxy_{"https_proxy", std::nullopt};
    test::ScopedEnv httpsProxyUpper_{"HTTPS_PROXY", std::nullopt};
    test::ScopedEnv allProxy_{"all_proxy", std::nullopt};
    test::ScopedEnv allProxyUpper_{"ALL_PROXY", std::nullopt};
    test::ScopedEnv noProxy_{"no_proxy", "127.0.0.1,127.0.0.2,localhost"};
};

class EnvironmentProxy {
  public:
    EnvironmentProxy(const std::string& proxy, const std::string& bypass)
        : proxy_("https_proxy", "http://" + proxy),
          bypass_("no_proxy", bypass.empty() ? std::nullopt : std::optional(bypass)) {}

  private:
    test::ScopedEnv proxy_;
    test::ScopedEnv bypass_;
    test::ScopedEnv bypassUpper_{"NO_PROXY", std::nullopt};
};

const TransportUnderTest kLibcurl = {
    .name = "libcurl",
    .make = [](const TransportOptions& options) { return MakeHttpTransport(options); },
    .trust = [](const std::string& pem) { return std::make_shared<TrustFile>(pem); },
    .direct = [] { return std::make_shared<NoEnvironmentProxy>(); },
    .useProxy =
        [](const std::string& proxy, const std::string& bypass) {
            return std::make_shared<EnvironmentProxy>(proxy, bypass);
        },
    .cutCode = 18,                  // CURLE_PARTIAL_FILE
    .announcedTooLargeCode = 63,    // CURLE_FILESIZE_EXCEEDED
    .tooLargeCode = 23,             // CURLE_WRITE_ERROR
    .stalledCode = 28,              // CURLE_OPERATION_TIMEDOUT
    .closedWithoutNotifyCode = 56,  // CURLE_RECV_ERROR
};

const HostUnderTest kInProcess = {"in_process", district_service::MakeLocalServiceHost};

#endif

struct Setup {
    TransportUnderTest transport;
    HostUnderTest host;
};

void PrintTo(const Setup& setup, std::ostream* out) {
    *out << setup.transport.name << " " << setup.host.name;
}

std::string ReadError(int code) {
    return "Error reading data: (" + std::to_string(code) + ") ";
}

// Trusts the test CA the way a user would, talks to loopback directly whatever proxy the
// machine has, and reads unmarked bodies as UTF-8.
class DownloadFixture : public testing::Test {
  protected:
    DownloadFixture(TransportUnderTest transport, const HostUnderTest& host)
        : transport_(std::move(transport)), host_(host.make()) {}

    TransportUnderTest transport_;
    std::unique_ptr<ServiceHost> host_;
    std::shared_ptr<void> trust_ = transport_.trust(host_->TrustedCaCertificate());
    std::shared_ptr<void> direct_ = transport_.direct();
    test::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
    std::unique_ptr<HostedService> service_ = host_->StartService();
    NetHTTPClient client_{Transport()};

    std::unique_ptr<HttpTransport> Transport(const TransportOptions& options = {}) {
        return transport_.make(options);
    }
    TextLines Download(const std::string& callsign) {
        return DownloadDistrictList(client_, service_->BaseUrl(), callsign);
    }
    std::string Failure(const std::string& callsign) {
        return FailureOf(client_, service_->BaseUrl(), callsign);
    }
    RecordedRequest LastRequest() {
        const auto requests = service_->Requests();
        if (requests.empty()) {
            ADD_FAILURE() << "no request arrived";
            return {};
        }
        return requests.back();
    }
    // The Cookie header of each request since the last ClearRequests ("-" for none).
    std::vector<std::string> CookiesSent() {
        std::vector<std::string> cookies;
        for (const RecordedRequest& request : service_->Requests()) {
            cookies.push_back(request.Header("Cookie").value_or("-"));
        }
        return cookies;
    }
    // Stores the cookies of `setCookies` with a download of their own.
    void StoreCookies(const std::vector<std::string>& setCookies) {
        Reply setter;
        for (const std::string& header : setCookies) {
            setter.headers.emplace_back("Set-Cookie", header);
        }
        service_->SetReply("SETTER", setter);
        ASSERT_EQ(Download("SETTER"), Lines{});
    }
};

class DownloadTest : public DownloadFixture, public testing::WithParamInterface<Setup> {
  protected:
    DownloadTest() : DownloadFixture(GetParam().transport, GetParam().host) {}
};

#ifdef _WIN32
INSTANTIATE_TEST_SUITE_P(Transports, DownloadTest,
                         testing::Values(Setup{kWinHttp, kServiceProcess}), [](const auto& info) {
                             return info.param.transport.name + "_" + info.param.host.name;
                         });
#else
INSTANTIATE_TEST_SUITE_P(Transports, DownloadTest,
                         testing::Values(Setup{kLibcurl, kInProcess},
                                         Setup{kLibcurl, kServiceProcess}),
                         [](const auto& info) {
                             return info.param.transport.name + "_" + info.param.host.name;
                         });
#endif

TEST_P(DownloadTest, ReturnsTheListAndSendsOnlyUserAgent) {
    service_->SetList("R1ABC", kList);
    EXPECT_EQ(Download("R1ABC"), kListLines);

    const RecordedRequest request = LastRequest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/csv?call=R1ABC");
    EXPECT_EQ(request.Header("User-Agent"), "Embarcadero URI Client/1.0");
    for (const char* absent : {"Accept", "Accept-Charset", "Accept-Encoding", "Accept-Language",
                               "Content-Type", "Cookie", "Referer", "Expect"}) {
        EXPECT_EQ(request.HeaderCount(absent), 0u) << absent;
    }
    EXPECT_EQ(request.HeaderCount("User-Agent"), 1u);
}

TEST_P(DownloadTest, EmptyListGivesNoLines) {
    service_->SetList("R1ABC", "");
    EXPECT_EQ(Download("R1ABC"), Lines{});
}

TEST_P(DownloadTest, CallsignReachesTheServerEncoded) {
    struct Case {
        std::string callsign;
        std::string target;
    };
    const Case cases[] = {
        {"R/A1", "/csv?call=R%2FA1"},
        {"R 1", "/csv?call=R%201"},
        {"", "/csv?call="},
        {"R1#rest", "/csv?call=R1"},
        {"\xD0\x94\xD0\x96"
         "1",
         "/csv?call=%D0%94%D0%961"},
    };
    for (const Case& c : cases) {
        service_->ClearRequests();
        Download(c.callsign);
        EXPECT_EQ(LastRequest().target, c.target) << '[' << c.callsign << ']';
    }
    // The server decodes "%2F" back to the callsign and finds its list.
    service_->SetList("R/A1", kList);
    EXPECT_EQ(Download("R/A1"), kListLines);
}

TEST_P(DownloadTest, ServesListFilesFromTheRootFolder) {
    const auto folderService = host_->StartService({.listFiles = {{"r/a1", kList}}});
    EXPECT_EQ(district_service::ListFileName("r/a1"), "R%2FA1.csv");
    EXPECT_EQ(DownloadDistrictList(client_, folderService->BaseUrl(), "R/A1"), kListLines);
    EXPECT_EQ(DownloadDistrictList(client_, folderService->BaseUrl(), "UNKNOWN"), Lines{});
}

TEST_P(DownloadTest, FollowsFiveRedirectsOfEveryFollowedStatus) {
    const LocationForm forms[] = {LocationForm::Absolute, LocationForm::Rooted,
                                  LocationForm::Relative};
    for (const int status : {301, 302, 303, 307, 308}) {
        for (const LocationForm form : forms) {
            const std::string call =
                "R" + std::to_string(status) + "F" + std::to_string(static_cast<int>(form));
            service_->SetList(call, kList);
            service_->AddRedirectChain(call, 5, status, form);
            service_->ClearRequests();
            EXPECT_EQ(Download(call), kListLines) << status;
            const auto requests = service_->Requests();
            ASSERT_EQ(requests.size(), 6u) << status;
            EXPECT_EQ(requests.back().path, "/hop5");
            for (const RecordedRequest& request : requests) {
                EXPECT_EQ(request.method, "GET");
                EXPECT_EQ(request.Header("User-Agent"), "Embarcadero URI Client/1.0");
                EXPECT_EQ(request.HeaderCount("Accept"), 0u);
                EXPECT_EQ(request.HeaderCount("Referer"), 0u);
            }
        }
    }
}

TEST_P(DownloadTest, ARedirectToPlainHttpIsRefused) {
    const int plainPort = host_->ClosedPort();
    service_->SetReply(
        "DOWN", Redirect("http://127.0.0.1:" + std::to_string(plainPort) + "/csv?call=DOWN"));
    EXPECT_EQ(Failure("DOWN"), NetHTTPClient::kInsecureRedirect);
    EXPECT_EQ(service_->Requests().size(), 1u);
}

TEST_P(DownloadTest, TheSixthRedirectFails) {
    for (const int status : {301, 302, 303, 307, 308}) {
        const std::string call = "R" + std::to_string(status);
        service_->SetList(call, kList);
        service_->AddRedirectChain(call, 6, status);
        service_->ClearRequests();
        EXPECT_EQ(Failure(call), "Maximum number of redirections (5) exceeded") << status;
        EXPECT_EQ(service_->Requests().size(), 6u) << "the sixth Location is not followed";
    }
}

TEST_P(DownloadTest, OtherRedirectStatusesAndMissingLocationsAreFinal) {
    for (const int status : {300, 304, 305, 306, 302}) {
        const std::string call = "S" + std::to_string(status);
        Reply reply;
        reply.status = status;
        reply.body = status == 304 ? "" : "moved\r\n";
        if (status != 302) {
            reply.headers.emplace_back("Location", "/hop1?call=" + call);
        }
        service_->SetReply(call, reply);
        service_->ClearRequests();
        EXPECT_EQ(Download(call), status == 304 ? Lines{} : Lines{"moved"}) << status;
        EXPECT_EQ(service_->Requests().size(), 1u) << status;
    }
}

TEST_P(DownloadTest, ResolvesARelativeLocationWithDotSegments) {
    service_->SetList("R1ABC", kList);
    Reply redirect;
    redirect.status = 302;
    redirect.headers.emplace_back("Location", "./a/.././/hop1?call=R1ABC#ignored");
    service_->SetReply("R1ABC", redirect);
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(LastRequest().target, "/hop1?call=R1ABC");
}

TEST_P(DownloadTest, ARedirectToAnInvalidUrlFails) {
    Reply redirect;
    redirect.status = 301;
    redirect.headers.emplace_back("Location", "ftp://127.0.0.1/list");
    service_->SetReply("R1ABC", redirect);
    EXPECT_EQ(Failure("R1ABC"), "Invalid URL");
}

TEST_P(DownloadTest, ErrorStatusBodiesAreTheList) {
    struct Case {
        int status;
        std::string body;
        Lines lines;
    };
    const Case cases[] = {
        {404,
         "<html>\n<body>Not found</body>\n</html>\n",
         {"<html>", "<body>Not found</body>", "</html>"}},
        {500, "Internal Server Error", {"Internal Server Error"}},
        {401, "", {}},
        {407, "Proxy?", {"Proxy?"}},
        {503, kList, kListLines},
    };
    for (const Case& c : cases) {
        Reply reply;
        reply.status = c.status;
        reply.body = c.body;
        reply.contentType = "text/html";
        service_->SetReply("E" + std::to_string(c.status), reply);
        EXPECT_EQ(Download("E" + std::to_string(c.status)), c.lines) << c.status;
    }
}

TEST_P(DownloadTest, ByteOrderMarksDecideTheEncoding) {
    struct Case {
        std::string body;
        Lines lines;
    };
    const Case cases[] = {
        {"\xEF\xBB\xBF"
         "\xD0\x94"
         "1,R1ABC,05.03.2019\r\n",
         {"\xD0\x94"
          "1,R1ABC,05.03.2019"}},
        {"\xEF\xBB\xBF", {}},
        {"\xFF\xFE"
         "D\0"
         "1\0"
         ",\0"
         "C\0"
         "\r\0\n\0"s,
         {"D1,C"}},
        {"\xFE\xFF"
         "\0D\0"
         "1"s,
         {"D1"}},
        {"D1\0,C1\r\nD2"s, {"D1"}},
    };
    int index = 0;
    for (const Case& c : cases) {
        const std::string call = "M" + std::to_string(index++);
        service_->SetList(call, c.body);
        EXPECT_EQ(Download(call), c.lines) << call;
    }
    service_->SetList("BAD",
                      "\xEF\xBB\xBF"
                      "D1,\xFF\xFE,05.03.2019");
    EXPECT_EQ(Failure("BAD"),
              "No mapping for the Unicode character exists in the target multi-byte code page");
}

TEST_P(DownloadTest, CookiesSetByOneDownloadGoWithTheNext) {
    Reply first;
    first.body = kList;
    first.headers.emplace_back("Set-Cookie", "session=one; Path=/");
    first.headers.emplace_back("Set-Cookie", "lang=ru; Path=/; Secure; HttpOnly");
    service_->SetReply("R1ABC", first);
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(LastRequest().HeaderCount("Cookie"), 0u);

    service_->SetList("UA1AAA", kList);
    EXPECT_EQ(Download("UA1AAA"), kListLines);
    const auto cookie = LastRequest().Header("Cookie");
    ASSERT_TRUE(cookie);
    EXPECT_NE(cookie->find("session=one"), std::string::npos) << *cookie;
    EXPECT_NE(cookie->find("lang=ru"), std::string::npos) << *cookie;

    // A new client is a program restart: its store starts empty.
    NetHTTPClient restarted(Transport());
    DownloadDistrictList(restarted, service_->BaseUrl(), "UA1AAA");
    EXPECT_EQ(LastRequest().HeaderCount("Cookie"), 0u);
}

TEST_P(DownloadTest, CookiesSetOnTheWayThroughRedirectsAreKept) {
    service_->SetList("R1ABC", kList);
    Reply redirect;
    redirect.status = 302;
    redirect.headers.emplace_back("Location", "/hop1?call=R1ABC");
    redirect.headers.emplace_back("Set-Cookie", "hop=1; Path=/");
    service_->SetReply("R1ABC", redirect);
    EXPECT_EQ(Download("R1ABC"), kListLines);
    service_->SetList("UA1AAA", kList);
    Download("UA1AAA");
    EXPECT_EQ(LastRequest().Header("Cookie"), "hop=1");
}

TEST_P(DownloadTest, CookiesSetAlongARedirectChainAreNotSentWithinIt) {
    StoreCookies({"old=1; Path=/"});
    service_->SetList("UA1AAA", kList);
    service_->SetReply("/csv", "R1ABC", Redirect("/hop1?call=R1ABC", {"hop=1; Path=/"}));
    service_->SetReply("/hop1", "R1ABC",
                       Redirect("/hop2?call=R1ABC", {"hop=2; Path=/", "second=2; Path=/"}));
    Reply last;
    last.body = kList;
    last.headers.emplace_back("Set-Cookie", "last=3; Path=/");
    service_->SetReply("/hop2", "R1ABC", last);
    service_->ClearRequests();
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(CookiesSent(), (std::vector<std::string>{"old=1", "old=1", "old=1"}));

    // Once the download has ended, what the chain set is stored, in the order it was set.
    service_->ClearRequests();
    EXPECT_EQ(Download("UA1AAA"), kListLines);
    EXPECT_EQ(CookiesSent(), std::vector<std::string>{"old=1; hop=2; second=2; last=3"});
}

TEST_P(DownloadTest, CookiesGoOnlyWhereTheirDomainAndPathSay) {
    StoreCookies({"root=1; Path=/", "csv=2; Path=/csv", "hop=3; Path=/hop1",
                  "ip=4; Domain=127.0.0.1", "elsewhere=5; Domain=example.org",
                  "wide=6; Domain=0.0.1"});
    service_->SetList("R1ABC", kList);
    service_->AddRedirectChain("R1ABC", 1, 302);  // /csv, then /hop1
    service_->ClearRequests();
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(CookiesSent(),
              (std::vector<std::string>{"csv=2; root=1; ip=4", "hop=3; root=1; ip=4"}));

    // Set by 127.0.0.1: the same server under another name gets none of them.
    service_->ClearRequests();
    EXPECT_EQ(DownloadDistrictList(client_, "https://localhost:" + std::to_string(service_->Port()),
                                   "R1ABC"),
              kListLines);
    EXPECT_EQ(CookiesSent(), (std::vector<std::string>{"-", "-"}));
}

TEST_P(DownloadTest, CookiesLastAsLongAsTheirExpirySays) {
    StoreCookies({"session=1", "hour=2; Max-Age=3600",
                  "later=3; Expires=Fri, 01 Jan 2100 00:00:00 GMT",
                  "past=4; Expires=Wed, 21 Oct 2015 07:28:00 GMT", "zero=5; Max-Age=0"});
    service_->SetList("R1ABC", kList);
    service_->ClearRequests();
    Download("R1ABC");
    EXPECT_EQ(CookiesSent(), std::vector<std::string>{"session=1; hour=2; later=3"});

    // An expiry in the past takes a stored cookie away.
    StoreCookies({"hour=gone; Max-Age=0", "later=gone; Expires=Thu, 01 Jan 1970 00:00:00 GMT"});
    service_->ClearRequests();
    Download("R1ABC");
    EXPECT_EQ(CookiesSent(), std::vector<std::string>{"session=1"});
}

TEST_P(DownloadTest, AFailedDownloadLeavesTheCookieStoreAsItWas) {
    Reply setter;
    setter.body = kList;
    setter.headers.emplace_back("Set-Cookie", "session=one; Path=/");
    service_->SetReply("SETTER", setter);
    ASSERT_EQ(Download("SETTER"), kListLines);

    auto withCookies = [](Reply reply) {
        reply.headers.emplace_back("Set-Cookie", "session=two; Path=/");
        reply.headers.emplace_back("Set-Cookie", "extra=x; Path=/");
        return reply;
    };
    // Each of these sets cookies on the way and then fails.
    Reply cut = withCookies({});
    cut.body = std::string(kList) + kList;
    cut.cutAfterBytes = 10;
    service_->SetReply("CUT", cut);

    Reply badText = withCookies({});
    badText.body = "\xEF\xBB\xBF\xFF";
    service_->SetReply("BADTEXT", badText);

    service_->SetList("LOOP", kList);
    service_->AddRedirectChain("LOOP", 6, 302);
    Reply firstHop = withCookies({});
    firstHop.status = 302;
    firstHop.headers.emplace_back("Location", "/hop1?call=LOOP");
    service_->SetReply("LOOP", firstHop);

    Reply toInvalid = withCookies({});
    toInvalid.status = 302;
    toInvalid.headers.emplace_back("Location", "https://127.0.0.1:0/");
    service_->SetReply("INVALID", toInvalid);

    Reply expire;  // deletes the stored cookie, then the body is cut
    expire.headers.emplace_back("Set-Cookie", "session=gone; Path=/; Max-Age=0");
    expire.body = kList;
    expire.cutAfterBytes = 5;
    service_->SetReply("EXPIRE", expire);

    service_->SetList("CHECK", kList);
    for (const char* call : {"CUT", "BADTEXT", "LOOP", "INVALID", "EXPIRE"}) {
        EXPECT_FALSE(Failure(call).empty()) << call;
        // The client stays usable, and sends exactly what it held before the failure.
        EXPECT_EQ(Download("CHECK"), kListLines) << call;
        EXPECT_EQ(LastRequest().Header("Cookie"), "session=one") << call;
    }
}

TEST_P(DownloadTest, ACutBodyIsAFailureNotAShorterList) {
    Reply cut;
    cut.body = std::string(kList) + "D3,R1ABCDEF,07.03.2019\r\n";
    cut.cutAfterBytes = std::string(kList).size() + 6;  // "D3,R1A" would read as R1A
    service_->SetReply("R1ABC", cut);
    const std::string message = Failure("R1ABC");
    EXPECT_EQ(message.rfind(ReadError(transport_.cutCode), 0), 0u) << message;
}

TEST_P(DownloadTest, ServersThatBreakTheResponseFail) {
    struct Case {
        const char* name;
        std::string raw;
        RawClose close;
        std::string messageStart;  // the message, or its start
        bool seen = true;          // false: the platform reads the answer as complete
    };
    const Case cases[] = {
        {"closed before TLS", "", RawClose::BeforeHandshake,
         transport_.handshakeFailuresAlike ? kCertificate : kUnknown},
        {"nothing sent", "", RawClose::CloseNotify, kUnknown},
        {"headers cut", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", RawClose::CloseNotify,
         kUnknown},
        {"status line cut", "HTTP/1.1 20", RawClose::CloseNotify, kUnknown},
        {"body shorter than its length",
         "HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\nD1,C1,05.03.2019\r\n", RawClose::CloseNotify,
         ReadError(transport_.cutCode)},
        {"last chunk missing",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n12\r\nD1,C1,05.03.2019\r\n\r\n",
         RawClose::CloseNotify, ReadError(transport_.cutCode), !transport_.cutChunkedBodyUnseen},
        // Without a length or chunks the body ends where the connection does: only TLS's
        // close_notify tells that end from a cut.
        {"body without a length, closed without close_notify",
         "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\nD1,C1,05.03.2019\r\n",
         RawClose::WithoutCloseNotify, ReadError(transport_.closedWithoutNotifyCode),
         !transport_.closeWithoutNotifyUnseen},
        {"not HTTP at all", "SSH-2.0-OpenSSH\r\n", RawClose::CloseNotify, kUnknown},
    };
    for (const Case& c : cases) {
        const auto server = host_->StartRawServer(c.raw, c.close);
        if (!c.seen) {
            // A fault of the platform that no client of it can see: written down, so that a
            // platform that mends it shows here.
            EXPECT_EQ(DownloadDistrictList(client_, server->BaseUrl(), "R1ABC"),
                      Lines{"D1,C1,05.03.2019"})
                << c.name;
            continue;
        }
        const std::string message = FailureOf(client_, server->BaseUrl(), "R1ABC");
        EXPECT_EQ(message.substr(0, c.messageStart.size()), c.messageStart)
            << c.name << ": " << message;
    }
}

TEST_P(DownloadTest, ABodyEndedByClosingTheConnectionIsComplete) {
    const auto server =
        host_->StartRawServer("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n"s + kList);
    EXPECT_EQ(DownloadDistrictList(client_, server->BaseUrl(), "R1ABC"), kListLines);
}

TEST_P(DownloadTest, TrailersAfterAChunkedBodyAreNoHeadersOfIt) {
    // A Location or Set-Cookie in the trailer neither redirects nor sets anything. Cookies go
    // by host, not port: what this server set would reach the service.
    const auto server = host_->StartRawServer(
        "HTTP/1.1 302 Found\r\nTransfer-Encoding: chunked\r\n"
        "Set-Cookie: head=1; Path=/\r\n\r\n"
        "13\r\nD1,R1ABC,05.03.2019\r\n0\r\n"
        "Location: /hop1\r\nSet-Cookie: trailer=1; Path=/\r\n\r\n");
    EXPECT_EQ(DownloadDistrictList(client_, server->BaseUrl(), "R1ABC"),
              Lines{"D1,R1ABC,05.03.2019"});
    service_->SetList("R1ABC", kList);
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(LastRequest().Header("Cookie"), "head=1");
}

TEST_P(DownloadTest, AnOversizedBodyIsRefused) {
    const std::string big(NetHTTPClient::kMaxBodyBytes + 1, 'x');
    {
        // Its length announced: refused as soon as the headers say so.
        const auto server = host_->StartRawServer(
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(big.size()) + "\r\n\r\n");
        const std::string message = FailureOf(client_, server->BaseUrl(), "R1ABC");
        EXPECT_EQ(message.rfind(ReadError(transport_.announcedTooLargeCode), 0), 0u) << message;
    }
    {
        // Its length unannounced: refused when it passes the limit.
        const auto server = host_->StartRawServer("HTTP/1.0 200 OK\r\n\r\n" + big);
        const std::string message = FailureOf(client_, server->BaseUrl(), "R1ABC");
        EXPECT_EQ(message.rfind(ReadError(transport_.tooLargeCode), 0), 0u) << message;
    }
    {
        // Within the size limit but more lines than it allows for: as large in memory.
        const auto server = host_->StartRawServer(
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(NetHTTPClient::kMaxLines + 1) +
            "\r\n\r\n" + std::string(NetHTTPClient::kMaxLines + 1, '\n'));
        const std::string message = FailureOf(client_, server->BaseUrl(), "R1ABC");
        EXPECT_EQ(message.rfind(ReadError(transport_.tooLargeCode), 0), 0u) << message;
        // The largest number of lines is a list.
        const auto largest = host_->StartRawServer(
            "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(NetHTTPClient::kMaxLines) +
            "\r\n\r\n" + std::string(NetHTTPClient::kMaxLines, '\n'));
        EXPECT_EQ(DownloadDistrictList(client_, largest->BaseUrl(), "R1ABC").size(),
                  NetHTTPClient::kMaxLines);
    }
}

TEST_P(DownloadTest, StallsEndWithTheNoProgressTimeout) {
    NetHTTPClient client(Transport({.noProgressTimeout = 1s}));
    Reply beforeHeaders;
    beforeHeaders.body = kList;
    beforeHeaders.stall = 60s;
    service_->SetReply("BEFORE", beforeHeaders);
    EXPECT_EQ(FailureOf(client, service_->BaseUrl(), "BEFORE"), kUnknown);

    Reply inBody = beforeHeaders;
    inBody.stallAfterBytes = 10;
    service_->SetReply("INBODY", inBody);
    const std::string message = FailureOf(client, service_->BaseUrl(), "INBODY");
    EXPECT_EQ(message.rfind(ReadError(transport_.stalledCode), 0), 0u) << message;
}

TEST_P(DownloadTest, NothingListeningIsAnUnknownError) {
    NetHTTPClient client(Transport());
    EXPECT_EQ(
        FailureOf(client, "https://127.0.0.1:" + std::to_string(host_->ClosedPort()), "R1ABC"),
        kUnknown);
}

TEST_P(DownloadTest, BadBaseOrCallsignFailsBeforeAnyRequest) {
    EXPECT_EQ(FailureOf(client_, "127.0.0.1:" + std::to_string(service_->Port()), "R1ABC"),
              "Invalid URL");
    EXPECT_EQ(Failure("R%FF1"),
              "No mapping for the Unicode character exists in the target multi-byte code page");
    EXPECT_TRUE(service_->Requests().empty());
}

TEST_P(DownloadTest, TheUsersProxyCarriesEveryRequestThroughATunnel) {
    StoreCookies({"session=one; Path=/"});
    service_->SetList("R1ABC", kList);
    service_->AddRedirectChain("R1ABC", 2, 302);
    const auto proxy = host_->StartProxy();
    const auto settings = transport_.useProxy(proxy->Address(), "");
    service_->ClearRequests();
    EXPECT_EQ(Download("R1ABC"), kListLines);

    // One CONNECT to the service for each request, redirects included.
    const auto connects = proxy->Requests();
    ASSERT_EQ(connects.size(), 3u);
    for (const RecordedRequest& connect : connects) {
        EXPECT_EQ(connect.method, "CONNECT");
        EXPECT_EQ(connect.target, "127.0.0.1:" + std::to_string(service_->Port()));
        EXPECT_EQ(connect.HeaderCount("Cookie"), 0u) << "cookies are the service's alone";
    }
    EXPECT_EQ(CookiesSent(),
              (std::vector<std::string>{"session=one", "session=one", "session=one"}));

    // TLS runs end to end inside the tunnel: the certificate checked is the server's own.
    const auto untrusted = host_->StartService({.trusted = false});
    EXPECT_EQ(FailureOf(client_, untrusted->BaseUrl(), "R1ABC"), kCertificate);
    EXPECT_EQ(proxy->Requests().back().target, "127.0.0.1:" + std::to_string(untrusted->Port()));
    EXPECT_TRUE(untrusted->Requests().empty());
}

TEST_P(DownloadTest, TheBypassListGoesDirectAndADeadProxyFails) {
    service_->SetList("R1ABC", kList);
    const auto proxy = host_->StartProxy();
    {
        const auto settings = transport_.useProxy(proxy->Address(), "127.0.0.1");
        EXPECT_EQ(Download("R1ABC"), kListLines);
        EXPECT_TRUE(proxy->Requests().empty());
    }
    const std::string deadProxy = "127.0.0.1:" + std::to_string(host_->ClosedPort());
    {
        const auto settings = transport_.useProxy(deadProxy, "");
        EXPECT_EQ(Failure("R1ABC"), kUnknown);
    }
    const auto settings = transport_.useProxy(deadProxy, "127.0.0.1");
    EXPECT_EQ(Download("R1ABC"), kListLines);
}

TEST_P(DownloadTest, AnUntrustedCertificateIsRejected) {
    const auto untrusted = host_->StartService({.trusted = false});
    untrusted->SetList("R1ABC", kList);
    EXPECT_EQ(FailureOf(client_, untrusted->BaseUrl(), "R1ABC"), kCertificate);
    EXPECT_TRUE(untrusted->Requests().empty());
}

TEST_P(DownloadTest, TheHostNameIsChecked) {
    // The certificate names 127.0.0.1 and localhost; 127.0.0.2 is loopback too.
    const auto otherName = host_->StartService({.host = "127.0.0.2"});
    otherName->SetList("R1ABC", kList);
    EXPECT_EQ(FailureOf(client_, otherName->BaseUrl(), "R1ABC"), kCertificate);
    // "localhost" is named: the same server is trusted under that name.
    EXPECT_EQ(DownloadDistrictList(client_, "https://localhost:" + std::to_string(service_->Port()),
                                   "R1ABC"),
              Lines{});
}

TEST_P(DownloadTest, AClientCertificateDemandIsReported) {
    const auto demanding = host_->StartService({.demandClientCertificate = true});
    EXPECT_EQ(
        FailureOf(client_, demanding->BaseUrl(), "R1ABC"),
        transport_.handshakeFailuresAlike ? kCertificate : "Unspecified certificate from client");
}

#ifndef _WIN32

// The libcurl transport's own settings, and the proxy as a process of its own.
class LibcurlDownloadTest : public DownloadFixture {
  protected:
    LibcurlDownloadTest() : DownloadFixture(kLibcurl, kInProcess) {}
};

TEST_F(LibcurlDownloadTest, TrustFollowsSslCertFileAtEachDownload) {
    service_->SetList("R1ABC", kList);
    {
        const test::ScopedEnv caFile("SSL_CERT_FILE", std::nullopt);
        EXPECT_EQ(Failure("R1ABC"), "Server Certificate Invalid or not present");
    }
    {
        const test::ScopedEnv caFile("SSL_CERT_FILE",
                                     district_service::BuiltTestCertificates(false).ca.string());
        EXPECT_EQ(Failure("R1ABC"), "Server Certificate Invalid or not present");
    }
    EXPECT_EQ(Download("R1ABC"), kListLines);
}

// telvora-district-service --connect-proxy, started for one test and ended with it.
class ProxyProcess {
  public:
    explicit ProxyProcess(const std::filesystem::path& record) {
        int out[2];
        if (pipe(out) != 0) {
            throw std::runtime_error("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string program = TELVORA_DISTRICT_SERVICE;
        const std::string recordPath = record.string();
        char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("--connect-proxy"),
                        const_cast<char*>("--record"), const_cast<char*>(recordPath.c_str()),
                        nullptr};
        const int spawned = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            close(out[0]);
            throw std::runtime_error("can't start " + program);
        }
        // Its first line is the port, written once it listens.
        std::string line;
        char c = 0;
        while (read(out[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        close(out[0]);
        port_ = std::atoi(line.c_str());
    }
    ~ProxyProcess() {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    ProxyProcess(const ProxyProcess&) = delete;
    ProxyProcess& operator=(const ProxyProcess&) = delete;

    int Port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

TEST_F(LibcurlDownloadTest, TheProxyRunsAsAProcessOfItsOwn) {
    test::TempDir dir;
    const std::filesystem::path record = dir / "connects.txt";
    ProxyProcess proxy(record);
    ASSERT_GT(proxy.Port(), 0);
    service_->SetList("R1ABC", kList);
    const auto settings = transport_.useProxy("127.0.0.1:" + std::to_string(proxy.Port()), "");
    EXPECT_EQ(Download("R1ABC"), kListLines);
    EXPECT_EQ(test::ReadFileBytes(record), "127.0.0.1:" + std::to_string(service_->Port()) + "\n");
}

#endif

}  // namespace
}  // namespace telvora::districts
