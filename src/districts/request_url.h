// The request URL of the district-list download, taken apart and put together again the
// way the list service has always received it, and the resolution of redirect targets.
#pragma once

#include <string>
#include <string_view>

namespace telvora::districts {

struct RequestUrl {
    std::string scheme;  // "https" or "http", lower-case
    std::string host;    // as written; an IPv6 literal keeps its brackets
    int port = 0;        // 443 / 80 when the URL names none
    std::string path;    // starts with "/"; never empty
    std::string query;   // the rebuilt parameters, without "?"; the fragment is gone
    bool hasQuery = false;

    // "scheme://host:port"
    std::string Origin() const;
    // The request target: the path, and "?" and the query when there is one.
    std::string Target() const;
    // Origin() + Target(): what goes on the wire.
    std::string ToString() const;
};

// Decodes every %XX (the result must be UTF-8), splits the URL, cuts the query into
// parameters at "&" and ";", encodes each name and value again (letters, digits, "-._~"
// and existing %XX escapes stay; every other byte becomes %XX) and drops the fragment.
// Throws telvora::Error: "Invalid URL", or the no-mapping message for bytes that are not
// UTF-8.
RequestUrl RebuildUrl(std::string_view url);

// A redirect's Location against the current URL: a value with ":" before its first "/"
// is taken as it is; one that begins with "/" goes behind the current origin; any other
// goes behind the current path up to its last "/", with empty and "." segments dropped and
// each ".." dropped together with the segment before it. The result still has to go
// through RebuildUrl.
std::string ResolveLocation(const RequestUrl& current, std::string_view location);

// "<base>/csv?call=<callsign>", the callsign unchanged.
std::string DistrictListUrl(std::string_view base, std::string_view callsign);

}  // namespace telvora::districts
