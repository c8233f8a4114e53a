// The request-URL rebuild and the redirect resolution on arbitrary text: what goes on the
// wire is printable ASCII without a fragment, or the rebuild fails with one of its messages.
#include <cstdint>
#include <string>
#include <string_view>

#include "districts/request_url.h"
#include "fuzz_check.h"
#include "platform/error.h"

namespace {

void CheckWireForm(const telvora::districts::RequestUrl& url) {
    FUZZ_CHECK(url.scheme == "https" || url.scheme == "http");
    FUZZ_CHECK(!url.host.empty());
    FUZZ_CHECK(url.port >= 1 && url.port <= 65535);
    FUZZ_CHECK(!url.path.empty() && url.path.front() == '/');
    for (const char c : url.ToString()) {
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
        FUZZ_CHECK(c != '#');
    }
}

bool IsKnownMessage(const char* message) {
    const std::string text = message;
    return text == "Invalid URL" ||
           text == "No mapping for the Unicode character exists in the target multi-byte code page";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The first part is a callsign or a whole URL, the rest after a NUL a redirect Location.
    const std::size_t split = input.find('\0');
    const std::string_view first = input.substr(0, split);
    const std::string_view location =
        split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);

    for (const std::string& url :
         {telvora::districts::DistrictListUrl("https://lists.example", first),
          std::string(first)}) {
        try {
            const auto current = telvora::districts::RebuildUrl(url);
            CheckWireForm(current);
            const auto next = telvora::districts::RebuildUrl(
                telvora::districts::ResolveLocation(current, location));
            CheckWireForm(next);
        } catch (const telvora::Error& error) {
            FUZZ_CHECK(IsKnownMessage(error.what()));
        }
    }
    return 0;
}
