// What a test hands the district service and what the service records, wherever the service
// runs (in the test's process, or in a process of its own driven over its control port):
// replies, recorded requests, the forms of a redirect's Location, the names of list files.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvora::district_service {

// How a raw TLS server ends each connection: after its response with a TLS close_notify (the
// end a client can tell from a cut), after its response with a bare TCP close, or before the
// handshake. The numbers are what the control port carries.
enum class RawClose { CloseNotify = 0, BeforeHandshake = 1, WithoutCloseNotify = 2 };

// The file that holds the list of `callsign` under the service's root folder:
// "<CALLSIGN>.csv", the callsign in upper case, every byte other than a letter, a digit,
// "-" or "_" written as "%XX" (so "R/A1" is "R%2FA1.csv"). One file per callsign, no
// collisions, and nothing can climb out of the folder.
std::string ListFileName(const std::string& callsign);

// How the service answers one request.
struct Reply {
    int status = 200;
    std::string body;
    std::string contentType = "text/plain; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers{};  // Location, Set-Cookie, ...

    // Waits this long before sending anything (or, with stallAfterBytes, in the body).
    std::chrono::milliseconds stall{0};
    std::optional<std::size_t> stallAfterBytes{};
    // Announces the whole body's length, sends only this many bytes of it and closes.
    std::optional<std::size_t> cutAfterBytes{};
    // Runs on the service's thread once the request is in, before anything is sent: a test
    // acts here while its client is still waiting for the answer.
    std::function<void()> beforeAnswer{};
};

// One request as the service received it.
struct RecordedRequest {
    std::string method;
    std::string target;  // as sent: path and query, escapes untouched
    std::string path;    // the target's path, also of a target in absolute form
    std::string call;    // the decoded "call" parameter
    std::vector<std::pair<std::string, std::string>> headers;

    // Number of headers of that name (case-insensitive), and the first one's value.
    std::size_t HeaderCount(const std::string& name) const;
    std::optional<std::string> Header(const std::string& name) const;
};

enum class LocationForm {
    Absolute,  // "https://127.0.0.1:PORT/hop1?call=X"
    Rooted,    // "/hop1?call=X"
    Relative,  // "hop1?call=X"
};

}  // namespace telvora::district_service
