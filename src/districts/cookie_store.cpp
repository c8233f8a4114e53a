#include "districts/cookie_store.h"

#include <algorithm>
#include <array>

#include "platform/text.h"

namespace telvora::districts {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kMaxNameAndValueBytes = 4096;
constexpr std::size_t kMaxAttributeValueBytes = 1024;
constexpr std::chrono::seconds kLongestLife = std::chrono::days(400);

// A control character other than the tab: never part of a name or value we send back.
bool HasControl(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    });
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "127.0.0.1" (a name whose last label is a number) or "[::1]".
bool IsIpAddress(std::string_view host) {
    if (!host.empty() && host.front() == '[') {
        return true;
    }
    const std::size_t dot = host.rfind('.');
    const std::string_view last = dot == std::string_view::npos ? host : host.substr(dot + 1);
    return !last.empty() && std::all_of(last.begin(), last.end(), IsDigit);
}

// The cookie's path when the header names none: the request path up to its last "/".
std::string DefaultPath(std::string_view requestPath) {
    const std::size_t slash = requestPath.rfind('/');
    if (requestPath.empty() || requestPath.front() != '/' || slash == 0) {
        return "/";
    }
    return std::string(requestPath.substr(0, slash));
}

// Max-Age: an optional "-" and digits; nullopt when the value is not of that form.
std::optional<CookieTime> MaxAgeExpiry(std::string_view value, CookieTime now) {
    const bool negative = !value.empty() && value.front() == '-';
    const std::string_view digits = negative ? value.substr(1) : value;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) {
        return std::nullopt;
    }
    long long seconds = 0;
    for (const char digit : digits) {
        seconds = std::min<long long>(seconds * 10 + (digit - '0'), kLongestLife.count());
    }
    if (negative || seconds == 0) {
        return CookieTime::min();
    }
    return now + std::chrono::seconds(seconds);
}

bool IsDateDelimiter(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte == 0x09 || (byte >= 0x20 && byte <= 0x2F) || (byte >= 0x3B && byte <= 0x40) ||
           (byte >= 0x5B && byte <= 0x60) || (byte >= 0x7B && byte <= 0x7E);
}

// From `minDigits` to `maxDigits` digits at the start of `text`, ending the text or followed
// by a non-digit; `text` then starts after them.
std::optional<int> TakeNumber(std::string_view& text, std::size_t minDigits,
                              std::size_t maxDigits) {
    std::size_t count = 0;
    int number = 0;
    while (count < text.size() && IsDigit(text[count])) {
        number = number * 10 + (text[count] - '0');
        if (++count > maxDigits) {
            return std::nullopt;
        }
    }
    if (count < minDigits) {
        return std::nullopt;
    }
    text.remove_prefix(count);
    return number;
}

// A token that begins with such a number (day-of-month, year).
std::optional<int> LeadingNumber(std::string_view token, std::size_t minDigits,
                                 std::size_t maxDigits) {
    return TakeNumber(token, minDigits, maxDigits);
}

struct TimeOfDay {
    int hour, minute, second;
};

// hms-time: three fields of one or two digits joined by ":", then anything but a digit.
std::optional<TimeOfDay> ReadTime(std::string_view token) {
    int parts[3] = {};
    for (int index = 0; index < 3; ++index) {
        if (index > 0) {
            if (token.empty() || token.front() != ':') {
                return std::nullopt;
            }
            token.remove_prefix(1);
        }
        const std::optional<int> part = TakeNumber(token, 1, 2);
        if (!part) {
            return std::nullopt;
        }
        parts[index] = *part;
    }
    return TimeOfDay{parts[0], parts[1], parts[2]};
}

std::optional<int> ReadMonth(std::string_view token) {
    static constexpr std::array<std::string_view, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (token.size() < 3) {
        return std::nullopt;
    }
    for (std::size_t index = 0; index < kMonths.size(); ++index) {
        if (platform::EqualsNoCase(token.substr(0, 3), kMonths[index])) {
            return static_cast<int>(index) + 1;
        }
    }
    return std::nullopt;
}

}  // namespace

CookieTime CookieClockNow() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::optional<CookieTime> ParseCookieDate(std::string_view text) {
    std::optional<TimeOfDay> time;
    std::optional<int> day, month, year;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsDateDelimiter(text[at])) {
            ++at;
        }
        const std::size_t end =
            std::find_if(text.begin() + at, text.end(), IsDateDelimiter) - text.begin();
        const std::string_view token = text.substr(at, end - at);
        at = end;
        if (token.empty()) {
            continue;
        }
        // Each part is taken from the first token that has its form.
        if (!time && (time = ReadTime(token))) {
            continue;
        }
        if (!day && (day = LeadingNumber(token, 1, 2))) {
            continue;
        }
        if (!month && (month = ReadMonth(token))) {
            continue;
        }
        if (!year) {
            year = LeadingNumber(token, 2, 4);
        }
    }
    if (!time || !day || !month || !year) {
        return std::nullopt;
    }
    int fullYear = *year;
    if (fullYear >= 70 && fullYear <= 99) {
        fullYear += 1900;
    } else if (fullYear >= 0 && fullYear <= 69) {
        fullYear += 2000;
    }
    if (fullYear < 1601 || time->hour > 23 || time->minute > 59 || time->second > 59) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(fullYear),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;  // 31 April, 29 February of a common year, day 0
    }
    return CookieTime(std::chrono::sys_days(date)) + std::chrono::hours(time->hour) +
           std::chrono::minutes(time->minute) + std::chrono::seconds(time->second);
}

bool DomainMatches(std::string_view host, std::string_view domain) {
    if (host == domain) {
        return true;
    }
    return !domain.empty() && host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.' && !IsIpAddress(host);
}

bool PathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath) {
        return true;
    }
    return requestPath.starts_with(cookiePath) &&
           (cookiePath.ends_with('/') || requestPath[cookiePath.size()] == '/');
}

std::optional<Cookie> ParseSetCookie(std::string_view setCookie, const RequestUrl& url,
                                     CookieTime now) {
    const std::size_t semicolon = setCookie.find(';');
    const std::string_view pair = setCookie.substr(0, semicolon);
    std::string_view attributes =
        semicolon == std::string_view::npos ? std::string_view() : setCookie.substr(semicolon);
    const std::size_t equals = pair.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view name = platform::TrimBlanks(pair.substr(0, equals));
    const std::string_view value = platform::TrimBlanks(pair.substr(equals + 1));
    if (name.empty() || HasControl(name) || HasControl(value) ||
        name.size() + value.size() > kMaxNameAndValueBytes) {
        return std::nullopt;
    }

    Cookie cookie;
    cookie.name = name;
    cookie.value = value;
    std::optional<CookieTime> maxAge;
    std::optional<CookieTime> expires;
    std::string domainAttribute;
    std::optional<std::string> pathAttribute;
    while (!attributes.empty()) {
        attributes.remove_prefix(1);  // the ";"
        const std::string_view attribute = attributes.substr(0, attributes.find(';'));
        attributes.remove_prefix(attribute.size());
        const std::size_t split = attribute.find('=');
        const std::string_view key = platform::TrimBlanks(attribute.substr(0, split));
        const std::string_view text = split == std::string_view::npos
                                          ? std::string_view()
                                          : platform::TrimBlanks(attribute.substr(split + 1));
        if (text.size() > kMaxAttributeValueBytes) {
            continue;
        }
        if (platform::EqualsNoCase(key, "Expires")) {
            if (const auto date = ParseCookieDate(text)) {
                expires = date;
            }
        } else if (platform::EqualsNoCase(key, "Max-Age")) {
            if (const auto expiry = MaxAgeExpiry(text, now)) {
                maxAge = expiry;
            }
        } else if (platform::EqualsNoCase(key, "Domain")) {
            if (!text.empty()) {
                domainAttribute = platform::AsciiLower(text.front() == '.' ? text.substr(1) : text);
            }
        } else if (platform::EqualsNoCase(key, "Path")) {
            pathAttribute =
                !text.empty() && text.front() == '/' ? std::string(text) : DefaultPath(url.path);
        } else if (platform::EqualsNoCase(key, "Secure")) {
            cookie.secure = true;
        }
    }

    const std::string host = platform::AsciiLower(url.host);
    if (domainAttribute.empty()) {
        cookie.domain = host;
    } else {
        if (!DomainMatches(host, domainAttribute)) {
            return std::nullopt;  // a cookie for somebody else's name
        }
        // Without a list of public suffixes, a name without a dot ("org", "localhost") is
        // taken as one: it only ever stands for the host itself.
        const bool topLevel = domainAttribute.find('.') == std::string::npos;
        if (topLevel && domainAttribute != host) {
            return std::nullopt;
        }
        cookie.domain = domainAttribute;
        cookie.hostOnly = topLevel;
    }
    cookie.path = pathAttribute ? *pathAttribute : DefaultPath(url.path);
    if (cookie.secure && url.scheme != "https") {
        return std::nullopt;  // a plain connection cannot set what only secure ones may see
    }
    cookie.expires = maxAge ? maxAge : expires;
    if (cookie.expires) {
        cookie.expires = std::min(*cookie.expires, now + kLongestLife);
    }
    return cookie;
}

void CookieStore::Receive(std::string_view setCookie, const RequestUrl& url, CookieTime now) {
    std::optional<Cookie> cookie = ParseSetCookie(setCookie, url, now);
    if (!cookie) {
        return;
    }
    // A plain connection neither overwrites nor removes a Secure cookie of that name whose
    // domain and path cover the new one's (RFC 6265bis, "Leave Secure Cookies Alone"), so that
    // the rule does not depend on https-to-http redirects being refused elsewhere.
    const bool plain = url.scheme != "https";
    if (plain && std::any_of(cookies_.begin(), cookies_.end(), [&](const Cookie& held) {
            return held.secure && held.name == cookie->name &&
                   (DomainMatches(held.domain, cookie->domain) ||
                    DomainMatches(cookie->domain, held.domain)) &&
                   PathMatches(cookie->path, held.path);
        })) {
        return;
    }
    const bool expired = cookie->expires && *cookie->expires <= now;
    const auto same = std::find_if(cookies_.begin(), cookies_.end(), [&](const Cookie& held) {
        return held.name == cookie->name && held.domain == cookie->domain &&
               held.path == cookie->path;
    });
    const std::string domain = cookie->domain;
    if (same != cookies_.end()) {
        if (expired) {
            cookies_.erase(same);
        } else {
            *same = std::move(*cookie);  // in its old place: it keeps its turn in the header
        }
    } else if (!expired) {
        cookies_.push_back(std::move(*cookie));
    }
    std::erase_if(cookies_,
                  [&](const Cookie& held) { return held.expires && *held.expires <= now; });

    // Cookies stay in the order stored, so the first of a kind is its oldest.
    const auto ofDomain = [&](const Cookie& held) { return held.domain == domain; };
    if (static_cast<std::size_t>(std::count_if(cookies_.begin(), cookies_.end(), ofDomain)) >
        kMaxPerDomain) {
        cookies_.erase(std::find_if(cookies_.begin(), cookies_.end(), ofDomain));
    }
    if (cookies_.size() > kMaxCookies) {
        cookies_.erase(cookies_.begin());
    }
}

std::string CookieStore::HeaderFor(const RequestUrl& url, CookieTime now) const {
    const std::string host = platform::AsciiLower(url.host);
    std::vector<const Cookie*> sent;
    for (const Cookie& cookie : cookies_) {
        const bool hostFits =
            cookie.hostOnly ? host == cookie.domain : DomainMatches(host, cookie.domain);
        if (hostFits && PathMatches(url.path, cookie.path) &&
            (!cookie.secure || url.scheme == "https") &&
            (!cookie.expires || *cookie.expires > now)) {
            sent.push_back(&cookie);
        }
    }
    // Longer paths first; among equal lengths the order stored.
    std::stable_sort(sent.begin(), sent.end(), [](const Cookie* a, const Cookie* b) {
        return a->path.size() > b->path.size();
    });
    std::string header;
    for (const Cookie* cookie : sent) {
        if (!header.empty()) {
            header += "; ";
        }
        header += cookie->name + "=" + cookie->value;
    }
    return header;
}

const std::vector<Cookie>& CookieStore::Cookies() const {
    return cookies_;
}

}  // namespace telvora::districts
