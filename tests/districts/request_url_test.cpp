#include <gtest/gtest.h>

#include <string>

#include "districts/request_url.h"
#include "platform/error.h"

namespace telvora::districts {
namespace {

constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";
constexpr const char* kInvalidUrl = "Invalid URL";

// The rebuilt target, or the message of the failure.
std::string TargetOrError(const std::string& url) {
    try {
        return RebuildUrl(url).Target();
    } catch (const Error& error) {
        return std::string("error: ") + error.what();
    }
}

TEST(RequestUrl, CallsignGoesIntoTheTargetByTheRebuildRules) {
    struct Case {
        std::string callsign;
        std::string target;
    };
    const Case cases[] = {
        {"R1ABC", "/csv?call=R1ABC"},
        {"r1abc", "/csv?call=r1abc"},
        {"R/A1", "/csv?call=R%2FA1"},
        {"R 1", "/csv?call=R%201"},
        {" R1 ", "/csv?call=%20R1%20"},  // the operation itself trims nothing
        {"", "/csv?call="},
        {"R1#x", "/csv?call=R1"},  // "#" starts the fragment, which is not sent
        {"R1#x&y=1", "/csv?call=R1"},
        {"R1&x=2", "/csv?call=R1&x=2"},
        {"R1;x", "/csv?call=R1&x="},
        {"R1&", "/csv?call=R1&="},
        {"R1=2", "/csv?call=R1%3D2"},
        {"R1?x", "/csv?call=R1%3Fx"},
        {"a+b", "/csv?call=a%2Bb"},
        {"-._~", "/csv?call=-._~"},
        {"!*'()", "/csv?call=%21%2A%27%28%29"},
        {"\"<>\\^`{|}", "/csv?call=%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {"%2F", "/csv?call=%2F"},    // decoded to "/", then encoded again
        {"%41", "/csv?call=A"},      // decoded, and "A" needs no escape
        {"%2541", "/csv?call=%41"},  // decoded once to "%41", which then stays
        {"%zz", "/csv?call=%25zz"},  // not an escape: the "%" itself is encoded
        {"%2", "/csv?call=%252"},
        {"%26x%3D1", "/csv?call=&x=1"},  // a decoded "&" splits the parameters
        {"%23x", "/csv?call="},          // a decoded "#" starts the fragment
        {"%00", "/csv?call=%00"},
        {"\xD0\x94\xD0\x96", "/csv?call=%D0%94%D0%96"},
        {"%D0%94", "/csv?call=%D0%94"},
        {"%D0", std::string("error: ") + kNoMapping},
        {"%FF", std::string("error: ") + kNoMapping},
        {"%C0%AF", std::string("error: ") + kNoMapping},
        {"%ED%A0%80", std::string("error: ") + kNoMapping},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TargetOrError(DistrictListUrl("https://lists.example", c.callsign)), c.target)
            << '[' << c.callsign << ']';
    }
}

TEST(RequestUrl, SplitsSchemeHostPortPath) {
    struct Case {
        const char* url;
        const char* result;  // origin + target, or the error
    };
    const Case cases[] = {
        {"https://h.example/csv?call=X", "https://h.example:443/csv?call=X"},
        {"https://h.example", "https://h.example:443/"},
        {"https://h.example:8443", "https://h.example:8443/"},
        {"https://h.example:/x", "https://h.example:443/x"},
        {"https://h.example?call=X", "https://h.example:443/?call=X"},
        {"HTTPS://h.example/", "https://h.example:443/"},
        {"http://h.example/x", "http://h.example:80/x"},
        {"https://127.0.0.1:1/x", "https://127.0.0.1:1/x"},
        {"https://[::1]:8443/x", "https://[::1]:8443/x"},
        {"https://[::1]/x", "https://[::1]:443/x"},
        {"https://h.example/p#frag", "https://h.example:443/p"},
        {"https://h.example/p?", "https://h.example:443/p"},
        {"https://h.example/p?#f", "https://h.example:443/p"},
        {"https://h.example/p?a=1;b=2&c", "https://h.example:443/p?a=1&b=2&c="},
        {"https://h.example/a b/\xD0\x94?x=1", "https://h.example:443/a%20b/%D0%94?x=1"},
        {"https://h.example/a/../b", "https://h.example:443/a/../b"},
        {"https://h.example/%7Euser", "https://h.example:443/~user"},
        {"ftp://h.example/", kInvalidUrl},
        {"h.example/csv", kInvalidUrl},
        {"/csv?call=X", kInvalidUrl},
        {"", kInvalidUrl},
        {"https://", kInvalidUrl},
        {"https:///x", kInvalidUrl},
        {"https://:443/x", kInvalidUrl},
        {"https://h.example:0/", kInvalidUrl},
        {"https://h.example:65536/", kInvalidUrl},
        {"https://h.example:44a/", kInvalidUrl},
        {"https://h.example:1:2/", kInvalidUrl},
        {"https://user:pw@h.example/", kInvalidUrl},
        {"https://h example/", kInvalidUrl},
        {"https://h%20example/", kInvalidUrl},
        {"https://[::1/x", kInvalidUrl},
        {"https://[]/x", kInvalidUrl},
        {"https://[::1]x/", kInvalidUrl},
        {"https://h.example%FF/", kNoMapping},
    };
    for (const Case& c : cases) {
        std::string result;
        try {
            result = RebuildUrl(c.url).ToString();
        } catch (const Error& error) {
            result = error.what();
        }
        EXPECT_EQ(result, c.result) << '[' << c.url << ']';
    }
}

TEST(RequestUrl, ResolvesRedirectLocations) {
    const RequestUrl current = RebuildUrl("https://h.example:8443/dir/sub/page?call=X");
    struct Case {
        const char* location;
        const char* resolved;
    };
    const Case cases[] = {
        {"https://other.example/x?y=1", "https://other.example/x?y=1"},
        {"http://other.example", "http://other.example"},
        {"mailto:x", "mailto:x"},  // taken as it is; the rebuild then refuses it
        {"/root?call=Y", "https://h.example:8443/root?call=Y"},
        {"//other.example/x", "https://h.example:8443//other.example/x"},
        {"next?call=Y", "https://h.example:8443/dir/sub/next?call=Y"},
        {"next", "https://h.example:8443/dir/sub/next"},
        {"../up", "https://h.example:8443/dir/up"},
        {"./a/./b//c", "https://h.example:8443/dir/sub/a/b/c"},
        {"a/b/", "https://h.example:8443/dir/sub/a/b"},
        {"../../../../x", "https://h.example:8443/x"},
        {"..", "https://h.example:8443/dir"},
        {"a/b:c", "https://h.example:8443/dir/sub/a/b:c"},
        {"x?q=../y#../z", "https://h.example:8443/dir/sub/x?q=../y#../z"},
        {"?call=Z", "https://h.example:8443/dir/sub?call=Z"},  // empty segments go
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ResolveLocation(current, c.location), c.resolved) << '[' << c.location << ']';
    }
    EXPECT_THROW(RebuildUrl(ResolveLocation(current, "mailto:x")), Error);
}

}  // namespace
}  // namespace telvora::districts
