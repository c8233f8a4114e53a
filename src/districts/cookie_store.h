// The client's own cookie store: what Set-Cookie headers set, kept in memory for the client's
// life and sent back in the Cookie header. The same code serves every transport, so that no
// platform's cookie engine decides what the list service sees.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "districts/request_url.h"

namespace telvora::districts {

// Cookie times have a resolution of seconds and reach from before year 1601 to after 9999.
using CookieTime = std::chrono::sys_seconds;

CookieTime CookieClockNow();

struct Cookie {
    std::string name;
    std::string value;
    std::string domain;                 // lower-case, without a leading "."
    std::string path;                   // starts with "/"
    bool hostOnly = true;               // sent to `domain` itself only, not to names below it
    bool secure = false;                // sent over https only
    std::optional<CookieTime> expires;  // none: kept until the client goes

    bool operator==(const Cookie&) const = default;
};

// The cookie that the header value `setCookie`, received in the response to `url`, sets
// (RFC 6265, section 5.2 and 5.3), or nullopt when the header must be ignored: no "=" in its
// first part, an empty name, a control character, more than 4096 bytes of name and value, a
// Domain that the host is not in (or a top-level name other than the host itself), or Secure
// from a plain connection. A Max-Age of 0 or less gives an expiry before any real time; an
// expiry further than 400 days ahead is cut to 400 days.
std::optional<Cookie> ParseSetCookie(std::string_view setCookie, const RequestUrl& url,
                                     CookieTime now);

// An Expires value read as RFC 6265 section 5.1.1 reads it (English month names, any order
// of the parts, two-digit years 70-99 as 19xx and 00-69 as 20xx, always UTC), whatever the
// locale; nullopt when it is no date.
std::optional<CookieTime> ParseCookieDate(std::string_view text);

// `host` is `domain`, or a name below it ("a.b.example" in "b.example"); an IP address is
// only ever itself. Both lower-case.
bool DomainMatches(std::string_view host, std::string_view domain);
// A cookie of `cookiePath` goes with a request of `requestPath`: the same path, or one below
// it ("/csv" covers "/csv" and "/csv/x", not "/csvx").
bool PathMatches(std::string_view requestPath, std::string_view cookiePath);

class CookieStore {
  public:
    // Caps that keep a service from filling memory, as browsers have them.
    static constexpr std::size_t kMaxPerDomain = 50;
    static constexpr std::size_t kMaxCookies = 3000;

    // Stores what one Set-Cookie header of the response to `url` sets: a new cookie, one that
    // replaces the cookie of the same name, domain and path (keeping its place in the send
    // order), or, expired already, the removal of that cookie.
    void Receive(std::string_view setCookie, const RequestUrl& url, CookieTime now);

    // The Cookie header's value for a request of `url`: "name=value" of each unexpired cookie
    // that applies, joined by "; ", longer paths first and, among equal lengths, the
    // earlier stored first. Empty when none applies.
    std::string HeaderFor(const RequestUrl& url, CookieTime now) const;

    // What the store holds, in the order stored.
    const std::vector<Cookie>& Cookies() const;

  private:
    std::vector<Cookie> cookies_;
};

}  // namespace telvora::districts
