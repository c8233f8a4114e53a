#include "districts/request_url.h"

#include <string_view>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/unicode.h"

namespace telvora::districts {
namespace {

constexpr const char* kInvalidUrl = "Invalid URL";
constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return (c | 0x20) - 'a' + 10;
}

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsUnreserved(char c) {
    return IsAlnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

bool IsEscapeAt(std::string_view text, std::size_t pos) {
    return text[pos] == '%' && pos + 2 < text.size() && IsHex(text[pos + 1]) &&
           IsHex(text[pos + 2]);
}

void AppendEscaped(std::string& out, unsigned char byte) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out.push_back('%');
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 0x0F]);
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsEscapeAt(text, i)) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Query names and values: letters, digits, "-._~" and existing escapes stay; every other
// byte, ASCII or not, is escaped (non-ASCII as its UTF-8 bytes).
std::string EncodeQueryPart(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsUnreserved(c) || IsEscapeAt(text, i)) {
            out.push_back(c);
        } else {
            AppendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

// The path may keep its separators and the characters a path may hold; blanks, controls,
// quotes and non-ASCII bytes are escaped so the request line stays well-formed.
std::string EncodePath(std::string_view text) {
    static constexpr std::string_view kPathChars = "/:@!$&'()*+,;=";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (IsUnreserved(c) || kPathChars.find(c) != std::string_view::npos ||
            IsEscapeAt(text, i)) {
            out.push_back(c);
        } else {
            AppendEscaped(out, static_cast<unsigned char>(c));
        }
    }
    return out;
}

std::string RebuildQuery(std::string_view query) {
    std::string out;
    std::size_t start = 0;
    bool first = true;
    while (true) {
        const std::size_t end = query.find_first_of("&;", start);
        const std::string_view parameter = query.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        const std::size_t equals = parameter.find('=');
        const std::string_view name = parameter.substr(0, equals);
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : parameter.substr(equals + 1);
        if (!first) {
            out.push_back('&');
        }
        first = false;
        out += EncodeQueryPart(name);
        out.push_back('=');
        out += EncodeQueryPart(value);
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return out;
}

bool ValidHostName(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (const char c : host) {
        if (!IsAlnum(c) && c != '-' && c != '.' && c != '_') {
            return false;
        }
    }
    return true;
}

bool ValidIpv6Literal(std::string_view inside) {
    if (inside.empty()) {
        return false;
    }
    for (const char c : inside) {
        if (!IsHex(c) && c != ':' && c != '.') {
            return false;
        }
    }
    return true;
}

// Port text to a number; -1 when it is not one.
int ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return -1;
    }
    int port = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        port = port * 10 + (c - '0');
    }
    return port >= 1 && port <= 65535 ? port : -1;
}

std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = path.find('/', start);
        const std::string_view segment = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string_view segment : segments) {
        out.push_back('/');
        out += segment;
    }
    return out.empty() ? "/" : out;
}

}  // namespace

std::string RequestUrl::Origin() const {
    return scheme + "://" + host + ":" + std::to_string(port);
}

std::string RequestUrl::Target() const {
    return hasQuery ? path + "?" + query : path;
}

std::string RequestUrl::ToString() const {
    return Origin() + Target();
}

RequestUrl RebuildUrl(std::string_view url) {
    const std::string decoded = PercentDecode(url);
    if (!platform::IsValidUtf8(decoded)) {
        throw Error(kNoMapping);
    }
    const std::string_view text = decoded;

    RequestUrl result;
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) {
        throw Error(kInvalidUrl);
    }
    result.scheme = platform::AsciiLower(text.substr(0, schemeEnd));
    if (result.scheme == "https") {
        result.port = 443;
    } else if (result.scheme == "http") {
        result.port = 80;
    } else {
        throw Error(kInvalidUrl);
    }

    const std::size_t authorityStart = schemeEnd + 3;
    std::size_t authorityEnd = text.find_first_of("/?#", authorityStart);
    if (authorityEnd == std::string_view::npos) {
        authorityEnd = text.size();
    }
    const std::string_view authority = text.substr(authorityStart, authorityEnd - authorityStart);
    if (authority.find('@') != std::string_view::npos) {
        throw Error(kInvalidUrl);  // the client holds no credentials to put in a URL
    }
    std::string_view portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos || !ValidIpv6Literal(authority.substr(1, close - 1))) {
            throw Error(kInvalidUrl);
        }
        result.host = std::string(authority.substr(0, close + 1));
        const std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                throw Error(kInvalidUrl);
            }
            hasPort = true;
            portText = after.substr(1);
        }
    } else {
        const std::size_t colon = authority.find(':');
        result.host = std::string(authority.substr(0, colon));
        if (!ValidHostName(result.host)) {
            throw Error(kInvalidUrl);
        }
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = authority.substr(colon + 1);
        }
    }
    if (hasPort && !portText.empty()) {
        result.port = ParsePort(portText);
        if (result.port < 0) {
            throw Error(kInvalidUrl);
        }
    }

    const std::size_t remainderStart = text.find_first_of("?#", authorityEnd);
    const std::string_view path = text.substr(
        authorityEnd,
        (remainderStart == std::string_view::npos ? text.size() : remainderStart) - authorityEnd);
    result.path = path.empty() ? "/" : EncodePath(path);

    if (remainderStart != std::string_view::npos && text[remainderStart] == '?') {
        const std::size_t fragment = text.find('#', remainderStart);
        const std::string_view query = text.substr(
            remainderStart + 1,
            (fragment == std::string_view::npos ? text.size() : fragment) - remainderStart - 1);
        if (!query.empty()) {
            result.query = RebuildQuery(query);
            result.hasQuery = true;
        }
    }
    return result;
}

std::string ResolveLocation(const RequestUrl& current, std::string_view location) {
    const std::size_t colon = location.find(':');
    const std::size_t slash = location.find('/');
    if (colon != std::string_view::npos && (slash == std::string_view::npos || colon < slash)) {
        return std::string(location);
    }
    if (!location.empty() && location.front() == '/') {
        return current.Origin() + std::string(location);
    }
    const std::string combined =
        current.path.substr(0, current.path.rfind('/') + 1) + std::string(location);
    const std::size_t remainder = combined.find_first_of("?#");
    const std::string_view path = std::string_view(combined).substr(0, remainder);
    const std::string rest =
        remainder == std::string::npos ? std::string() : combined.substr(remainder);
    return current.Origin() + RemoveDotSegments(path) + rest;
}

std::string DistrictListUrl(std::string_view base, std::string_view callsign) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    std::string url(base);
    url += "/csv?call=";
    url += callsign;
    return url;
}

}  // namespace telvora::districts
