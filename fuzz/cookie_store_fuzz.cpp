// The cookie store on arbitrary Set-Cookie headers (one a line): what it sends back never
// holds a control character or an empty name, and every cookie it holds is well formed.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "districts/cookie_store.h"
#include "districts/request_url.h"
#include "fuzz_check.h"

namespace {

bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace telvora::districts;
    static const RequestUrl kService = RebuildUrl("https://districts.example.org/csv?call=X");
    static const RequestUrl kOther = RebuildUrl("http://a.districts.example.org/hop1/x");
    const CookieTime now = CookieTime(std::chrono::seconds(1'800'000'000));

    std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)ParseCookieDate(input);
    CookieStore store;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find('\n'), input.size());
        store.Receive(input.substr(0, end), end % 2 == 0 ? kService : kOther, now);
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    for (const Cookie& cookie : store.Cookies()) {
        FUZZ_CHECK(!cookie.name.empty());
        FUZZ_CHECK(!HasControl(cookie.name) && !HasControl(cookie.value));
        FUZZ_CHECK(!cookie.path.empty() && cookie.path.front() == '/');
        FUZZ_CHECK(cookie.domain == "districts.example.org" ||
                   cookie.domain == "a.districts.example.org" || cookie.domain == "example.org");
        FUZZ_CHECK(!cookie.expires || *cookie.expires > now);
        FUZZ_CHECK(!cookie.expires || *cookie.expires <= now + std::chrono::days(400));
    }
    for (const RequestUrl* url : {&kService, &kOther}) {
        const std::string header = store.HeaderFor(*url, now);
        FUZZ_CHECK(!HasControl(header));
    }
    return 0;
}
