// The cookie store's rules on their own: reading Set-Cookie, the domain and path rules, expiry
// and what a store sends. The same store over a real HTTPS service: download_test.cpp.
#include <gtest/gtest.h>

#include <clocale>
#include <optional>
#include <string>
#include <vector>

#include "districts/cookie_store.h"
#include "districts/request_url.h"

namespace telvora::districts {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

constexpr const char* kServiceUrl = "https://Districts.Example.ORG/csv?call=R1ABC";

CookieTime At(int y, unsigned m, unsigned d, int hh = 0, int mm = 0, int ss = 0) {
    return CookieTime(sys_days(year(y) / month(m) / day(d))) + hours(hh) + minutes(mm) +
           seconds(ss);
}

const CookieTime kNow = At(2026, 12, 10, 12, 0, 0);

// The locales our users run in; none of them may change how a cookie date reads.
class UserLocales : public testing::Test {
  protected:
    template <typename Check>
    void InEachLocale(Check check) {
#ifdef _WIN32
        const char* const names[] = {"C", "German_Germany.1252", "Russian_Russia.1251"};
#else
        const char* const names[] = {"C", "de_DE.UTF-8", "ru_RU.UTF-8"};
#endif
        for (const char* name : names) {
            ASSERT_NE(std::setlocale(LC_ALL, name), nullptr) << name << " is not installed";
            SCOPED_TRACE(name);
            check();
        }
        std::setlocale(LC_ALL, "C");
    }
};

Cookie Plain(std::string name, std::string value) {
    Cookie cookie;
    cookie.name = std::move(name);
    cookie.value = std::move(value);
    cookie.domain = "districts.example.org";
    cookie.path = "/";
    return cookie;
}

template <typename Change>
Cookie Plain(std::string name, std::string value, Change change) {
    Cookie cookie = Plain(std::move(name), std::move(value));
    change(cookie);
    return cookie;
}

using SetCookieTest = UserLocales;

TEST_F(SetCookieTest, ReadsNameValueAndAttributes) {
    struct Case {
        std::string header;
        std::optional<Cookie> cookie;
        std::string url = kServiceUrl;
    };
    const std::string long4096(4095, 'v');
    const Case cases[] = {
        {"a=b", Plain("a", "b")},
        {" a = b c ;", Plain("a", "b c")},
        {"a=", Plain("a", "")},
        {"a==b=", Plain("a", "=b=")},
        {"a=\"quoted, with comma\"", Plain("a", "\"quoted, with comma\"")},
        {"a=b\tc", Plain("a", "b\tc")},
        {"a" + long4096, std::nullopt},  // no "="
        {"a=" + long4096, Plain("a", long4096)},
        {"a=" + long4096 + "v", std::nullopt},  // 4097 bytes of name and value
        // Ignored whole: no "=", no name, control characters that could end a header line.
        {"ab", std::nullopt},
        {"=b", std::nullopt},
        {" =b", std::nullopt},
        {"", std::nullopt},
        {"a=b\r\nX-Injected: 1", std::nullopt},
        {std::string("a=b\0c", 5), std::nullopt},
        {"a\x7F=b", std::nullopt},
        // Path: given, relative or empty (the request's folder instead), too long (ignored).
        {"a=b; Path=/csv", Plain("a", "b", [](Cookie& c) { c.path = "/csv"; })},
        {"a=b; Path=csv", Plain("a", "b")},
        {"a=b; Path=", Plain("a", "b")},
        {"a=b; Path=/" + std::string(1024, 'p'), Plain("a", "b")},
        {"a=b", Plain("a", "b", [](Cookie& c) { c.path = "/lists/r"; }),
         "https://districts.example.org/lists/r/csv?call=X"},
        {"a=b; Path=/x", Plain("a", "b", [](Cookie& c) { c.path = "/x"; }),
         "https://districts.example.org/lists/r/csv"},
        // Domain: the host or a name it is in; a leading dot and case do not count.
        {"a=b; Domain=example.org", Plain("a", "b",
                                          [](Cookie& c) {
                                              c.domain = "example.org";
                                              c.hostOnly = false;
                                          })},
        {"a=b; Domain=.Example.ORG", Plain("a", "b",
                                           [](Cookie& c) {
                                               c.domain = "example.org";
                                               c.hostOnly = false;
                                           })},
        {"a=b; Domain=districts.example.org",
         Plain("a", "b", [](Cookie& c) { c.hostOnly = false; })},
        {"a=b; Domain=", Plain("a", "b")},
        {"a=b; Domain=other.org", std::nullopt},
        {"a=b; Domain=xample.org", std::nullopt},
        {"a=b; Domain=sub.districts.example.org", std::nullopt},
        {"a=b; Domain=org", std::nullopt},
        {"a=b; Domain=localhost", Plain("a", "b", [](Cookie& c) { c.domain = "localhost"; }),
         "https://localhost:8443/csv"},
        {"a=b; Domain=127.0.0.1",
         Plain("a", "b",
               [](Cookie& c) {
                   c.domain = "127.0.0.1";
                   c.hostOnly = false;
               }),
         "https://127.0.0.1:8443/csv"},
        {"a=b; Domain=0.0.1", std::nullopt, "https://127.0.0.1:8443/csv"},
        // Secure: only a secure connection may set it.
        {"a=b; Secure", Plain("a", "b", [](Cookie& c) { c.secure = true; })},
        {"a=b; secure=no", Plain("a", "b", [](Cookie& c) { c.secure = true; })},
        {"a=b; Secure", std::nullopt, "http://districts.example.org/csv"},
        {"a=b", Plain("a", "b"), "http://districts.example.org/csv"},
        // Expiry: Max-Age before Expires wherever it stands; never beyond 400 days.
        {"a=b; Max-Age=60", Plain("a", "b", [](Cookie& c) { c.expires = kNow + 60s; })},
        {"a=b; Max-Age=0", Plain("a", "b", [](Cookie& c) { c.expires = CookieTime::min(); })},
        {"a=b; Max-Age=-5", Plain("a", "b", [](Cookie& c) { c.expires = CookieTime::min(); })},
        {"a=b; Max-Age=1x", Plain("a", "b")},
        {"a=b; Max-Age=+60", Plain("a", "b")},
        {"a=b; Max-Age=", Plain("a", "b")},
        {"a=b; Max-Age=99999999999999999999999",
         Plain("a", "b", [](Cookie& c) { c.expires = kNow + days(400); })},
        {"a=b; Expires=Wed, 09 Jun 2027 10:18:14 GMT",
         Plain("a", "b", [](Cookie& c) { c.expires = At(2027, 6, 9, 10, 18, 14); })},
        {"a=b; Expires=Fri, 01 Jan 2100 00:00:00 GMT",
         Plain("a", "b", [](Cookie& c) { c.expires = kNow + days(400); })},
        {"a=b; Expires=Wed, 09 Jun 2027 10:18:14 GMT; Max-Age=60",
         Plain("a", "b", [](Cookie& c) { c.expires = kNow + 60s; })},
        {"a=b; Max-Age=60; Expires=Wed, 09 Jun 2027 10:18:14 GMT",
         Plain("a", "b", [](Cookie& c) { c.expires = kNow + 60s; })},
        {"a=b; Max-Age=60; Max-Age=120",
         Plain("a", "b", [](Cookie& c) { c.expires = kNow + 120s; })},
        {"a=b; Expires=garbage", Plain("a", "b")},
        // Attribute names in any case; unknown ones and HttpOnly change nothing.
        {"a=b; PATH=/x; DOMAIN=example.org; SECURE; MAX-AGE=1", Plain("a", "b",
                                                                      [](Cookie& c) {
                                                                          c.path = "/x";
                                                                          c.domain = "example.org";
                                                                          c.hostOnly = false;
                                                                          c.secure = true;
                                                                          c.expires = kNow + 1s;
                                                                      })},
        {"a=b; HttpOnly; SameSite=Strict; Priority=High; ;;", Plain("a", "b")},
    };
    InEachLocale([&] {
        for (const Case& c : cases) {
            EXPECT_EQ(ParseSetCookie(c.header, RebuildUrl(c.url), kNow), c.cookie)
                << c.header.substr(0, 80) << " from " << c.url;
        }
    });
}

using CookieDateTest = UserLocales;

TEST_F(CookieDateTest, ReadsTheDatesServersWrite) {
    struct Case {
        std::string text;
        std::optional<CookieTime> time;
    };
    const CookieTime june9 = At(2021, 6, 9, 10, 18, 14);
    const Case cases[] = {
        {"Wed, 09 Jun 2021 10:18:14 GMT", june9},
        {"Wednesday, 09-Jun-21 10:18:14 GMT", june9},
        {"Wed Jun  9 10:18:14 2021", june9},
        {"09 jun 2021 10:18:14", june9},
        {"Mi, 09 JUNI 2021 10:18:14 GMT", june9},
        {"10:18:14 2021 Jun 09", june9},
        {"Sun, 06 Nov 94 08:49:37 GMT", At(1994, 11, 6, 8, 49, 37)},
        {"Sun, 06 Nov 69 08:49:37 GMT", At(2069, 11, 6, 8, 49, 37)},
        {"Thu, 01 Jan 1970 00:00:00 GMT", At(1970, 1, 1)},
        {"9 Jun 2021 1:2:3", At(2021, 6, 9, 1, 2, 3)},
        {"29 Feb 2024 10:00:00", At(2024, 2, 29, 10)},
        {"31 Dec 9999 23:59:59", At(9999, 12, 31, 23, 59, 59)},
        {"01 Jan 1601 00:00:00", At(1601, 1, 1)},
        // No date: a part missing, out of range, or a day the calendar does not have.
        {"", std::nullopt},
        {"09 Jun 2021", std::nullopt},
        {"Jun 2021 10:18:14", std::nullopt},
        {"09 2021 10:18:14", std::nullopt},
        {"09 Jun 10:18:14", std::nullopt},
        {"09 Июн 2021 10:18:14", std::nullopt},
        {"09 Jun 12021 10:18:14", std::nullopt},
        {"09 Jun 1600 10:00:00", std::nullopt},
        {"31 Apr 2021 10:00:00", std::nullopt},
        {"29 Feb 2021 10:00:00", std::nullopt},
        {"00 Jun 2021 10:00:00", std::nullopt},
        {"32 Jun 2021 10:00:00", std::nullopt},
        {"09 Jun 2021 24:00:00", std::nullopt},
        {"09 Jun 2021 10:60:00", std::nullopt},
        {"09 Jun 2021 10:00:60", std::nullopt},
        {"09 Jun 2021 100:00:00", std::nullopt},
    };
    InEachLocale([&] {
        for (const Case& c : cases) {
            EXPECT_EQ(ParseCookieDate(c.text), c.time) << c.text;
        }
    });
}

TEST(CookieMatch, DomainsAndPaths) {
    struct Case {
        std::string request;
        std::string cookie;
        bool matches;
    };
    const Case domains[] = {
        {"example.org", "example.org", true},
        {"a.example.org", "example.org", true},
        {"a.b.example.org", "example.org", true},
        {"xexample.org", "example.org", false},
        {"example.org", "a.example.org", false},
        {"org", "example.org", false},
        {"127.0.0.1", "127.0.0.1", true},
        {"127.0.0.1", "0.0.1", false},
        {"[::1]", "[::1]", true},
        {"example.org", "", false},
    };
    for (const Case& c : domains) {
        EXPECT_EQ(DomainMatches(c.request, c.cookie), c.matches) << c.request << " " << c.cookie;
    }
    const Case paths[] = {
        {"/", "/", true},         {"/csv", "/", true},       {"/csv", "/csv", true},
        {"/csv/x", "/csv", true}, {"/csv/x", "/csv/", true}, {"/csvx", "/csv", false},
        {"/csv", "/csv/", false}, {"/CSV", "/csv", false},   {"/", "/csv", false},
    };
    for (const Case& c : paths) {
        EXPECT_EQ(PathMatches(c.request, c.cookie), c.matches) << c.request << " " << c.cookie;
    }
}

class CookieStoreTest : public testing::Test {
  protected:
    CookieStore store_;

    void Receive(const std::string& header, const std::string& url = kServiceUrl,
                 CookieTime now = kNow) {
        store_.Receive(header, RebuildUrl(url), now);
    }
    std::string Sent(const std::string& url = kServiceUrl, CookieTime now = kNow) const {
        return store_.HeaderFor(RebuildUrl(url), now);
    }
};

TEST_F(CookieStoreTest, SendsLongerPathsFirstAndKeepsAReplacedCookiesTurn) {
    Receive("a=1; Path=/");
    Receive("b=2; Path=/csv");
    Receive("c=3; Path=/");
    EXPECT_EQ(Sent(), "b=2; a=1; c=3");
    Receive("a=4; Path=/");  // the same name, domain and path: replaced where it stood
    EXPECT_EQ(Sent(), "b=2; a=4; c=3");
    Receive("a=5; Path=/csv/");  // another path: another cookie
    EXPECT_EQ(Sent("https://districts.example.org/csv/more"), "a=5; b=2; a=4; c=3");
    EXPECT_EQ(store_.Cookies().size(), 4u);
}

TEST_F(CookieStoreTest, SendsEachCookieOnlyWhereItBelongs) {
    Receive("host=1");
    Receive("wide=2; Domain=example.org");
    Receive("safe=3; Secure");
    Receive("deep=4; Path=/csv");
    EXPECT_EQ(Sent(), "deep=4; host=1; wide=2; safe=3");
    EXPECT_EQ(Sent("https://DISTRICTS.example.org/csv"), "deep=4; host=1; wide=2; safe=3");
    EXPECT_EQ(Sent("https://other.example.org/csv"), "wide=2");
    EXPECT_EQ(Sent("https://example.org/"), "wide=2");
    EXPECT_EQ(Sent("https://example.com/csv"), "");
    EXPECT_EQ(Sent("http://districts.example.org/csv"), "deep=4; host=1; wide=2");
    EXPECT_EQ(Sent("https://districts.example.org/"), "host=1; wide=2; safe=3");
}

TEST_F(CookieStoreTest, CookiesExpireAndExpiredOnesRemoveTheirNamesakes) {
    Receive("minute=1; Max-Age=60");
    Receive("dated=2; Expires=Thu, 10 Dec 2026 13:00:00 GMT");
    Receive("session=3");
    EXPECT_EQ(Sent(kServiceUrl, kNow + 59s), "minute=1; dated=2; session=3");
    EXPECT_EQ(Sent(kServiceUrl, kNow + 60s), "dated=2; session=3");
    EXPECT_EQ(Sent(kServiceUrl, kNow + 1h), "session=3");
    EXPECT_EQ(Sent(kServiceUrl, kNow + days(399)), "session=3");

    Receive("session=gone; Max-Age=0; Path=/other");  // another path: not its namesake
    EXPECT_EQ(Sent(), "minute=1; dated=2; session=3");
    Receive("session=gone; Expires=Thu, 01 Jan 1970 00:00:00 GMT");
    Receive("minute=gone; Max-Age=-1");
    EXPECT_EQ(Sent(), "dated=2");
    Receive("never=1; Max-Age=0");
    EXPECT_EQ(Sent(), "dated=2");
    // A later Receive drops what has expired meanwhile.
    Receive("x=1", kServiceUrl, kNow + 2h);
    ASSERT_EQ(store_.Cookies().size(), 1u);
    EXPECT_EQ(store_.Cookies()[0].name, "x");
}

// A reply over plain http neither overwrites nor removes a Secure cookie whose name it uses,
// where that cookie's domain and path cover the new one's (RFC 6265bis, "Leave Secure Cookies
// Alone"); over https it may, and cookies of other names, domains or paths come in as ever.
TEST_F(CookieStoreTest, PlainRepliesLeaveSecureCookiesAlone) {
    constexpr const char* kPlain = "http://districts.example.org/csv";
    constexpr const char* kDeeper = "https://districts.example.org/csv/deeper/x";
    constexpr const char* kBelow = "https://a.districts.example.org/";
    struct Case {
        const char* header;
        const char* from;
        const char* sentTo;  // over https afterwards
        const char* sent;
    };
    const Case cases[] = {
        {"s=plain", kPlain, kServiceUrl, "s=safe"},
        {"s=plain; Path=/csv/deeper", "http://districts.example.org/csv/deeper", kDeeper, "s=safe"},
        {"s=plain; Domain=example.org", kPlain, kServiceUrl, "s=safe"},
        {"s=plain", "http://a.districts.example.org/", kBelow, "s=safe"},
        {"s=gone; Max-Age=0", kPlain, kServiceUrl, "s=safe"},
        {"s=replaced", kServiceUrl, kServiceUrl, "s=replaced"},
        {"s=gone; Max-Age=0", kServiceUrl, kServiceUrl, ""},
        {"s=plain", "https://a.districts.example.org/", kBelow, "s=safe; s=plain"},
        {"other=plain", kPlain, kServiceUrl, "s=safe; other=plain"},
        {"s=plain", "http://other.example.org/", "https://other.example.org/", "s=plain"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.header) + " from " + c.from);
        store_ = CookieStore();
        Receive("s=safe; Secure; Domain=districts.example.org; Path=/");
        Receive(c.header, c.from);
        EXPECT_EQ(Sent(c.sentTo), c.sent);
    }
    // A cookie of the same name on a path the Secure one does not cover comes in.
    store_ = CookieStore();
    Receive("s=safe; Secure; Path=/csv");
    Receive("s=plain; Path=/", "http://districts.example.org/");
    EXPECT_EQ(Sent(), "s=safe; s=plain");
}

TEST_F(CookieStoreTest, ADomainOrTheWholeStoreDropsItsOldestBeyondItsCap) {
    for (std::size_t i = 0; i <= CookieStore::kMaxPerDomain; ++i) {
        Receive("c" + std::to_string(i) + "=1");
    }
    Receive("other=1", "https://other.example.org/");
    EXPECT_EQ(store_.Cookies().size(), CookieStore::kMaxPerDomain + 1);
    EXPECT_EQ(store_.Cookies().front().name, "c1");

    CookieStore many;
    for (std::size_t i = 0; i <= CookieStore::kMaxCookies; ++i) {
        many.Receive("c=1", RebuildUrl("https://h" + std::to_string(i) + ".example.org/"), kNow);
    }
    EXPECT_EQ(many.Cookies().size(), CookieStore::kMaxCookies);
    EXPECT_EQ(many.Cookies().front().domain, "h1.example.org");
}

}  // namespace
}  // namespace telvora::districts
