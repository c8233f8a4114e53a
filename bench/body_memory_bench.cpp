// Memory of a download of the largest bodies the client accepts, and of some it refuses: each
// body is served by a raw TLS server on loopback in this process, and downloaded in a child
// process of its own (this program again, with --child), which reports its own peak resident
// memory (VmHWM). The run's bound is 256 MiB.
//
//   telvora-body-memory-bench
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "district_service/district_service.h"
#include "districts/net_http_client.h"
#include "platform/error.h"

extern char** environ;

namespace {

using telvora::districts::NetHTTPClient;

// Downloads the list once and says how it went.
int Child(const std::string& base) {
    try {
        NetHTTPClient client;
        const auto lines = telvora::districts::DownloadDistrictList(client, base, "R1ABC");
        std::printf("%zu lines", lines.size());
    } catch (const telvora::Error& error) {
        std::printf("refused: %.60s", error.what());
    }
    // The peak of this program's own memory since it started (the parent's does not count:
    // VmHWM belongs to the address space that exec made).
    std::FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        unsigned long kib = 0;
        if (std::sscanf(line, "VmHWM: %lu kB", &kib) == 1) {
            std::printf("\t%.0f", static_cast<double>(kib) / 1024.0);
        }
    }
    if (status != nullptr) {
        std::fclose(status);
    }
    std::fflush(stdout);
    return 0;
}

struct Body {
    const char* what;
    std::function<std::string()> text;
};

std::string Repeated(const std::string& piece, std::size_t bytes) {
    std::string out;
    out.reserve(bytes);
    while (out.size() + piece.size() <= bytes) {
        out += piece;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--child") {
        return Child(argv[2]);
    }
    const std::size_t limit = NetHTTPClient::kMaxBodyBytes;
    const std::vector<Body> bodies = {
        {"64 MiB of line feeds", [&] { return std::string(limit, '\n'); }},
        {"the most lines, 8 bytes each", [&] { return Repeated("D,C,05.\n", limit); }},
        {"64 MiB of district lines", [&] { return Repeated("D1,R1ABC,05.03.2019\r\n", limit); }},
        {"64 MiB of one line", [&] { return std::string(limit, 'x'); }},
        {"64 MiB of bytes that are no UTF-8", [&] { return std::string(limit, '\xFF'); }},
        {"64 MiB of UTF-16 lines",
         [&] { return "\xFF\xFE" + Repeated(std::string("D\0,\0C\0\n\0", 8), limit - 2); }},
    };
    const auto certificates = telvora::district_service::BuiltTestCertificates();
    setenv("SSL_CERT_FILE", certificates.ca.c_str(), 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    std::printf("%-34s %-62s %s\n", "body", "result", "peak MiB");
    for (const Body& body : bodies) {
        telvora::district_service::RawTlsServer server(
            certificates.cert, certificates.key,
            "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body.text());
        int out[2];
        if (pipe(out) != 0) {
            return 1;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string base = server.BaseUrl();
        char* args[] = {argv[0], const_cast<char*>("--child"), const_cast<char*>(base.c_str()),
                        nullptr};
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (spawned != 0) {
            return 1;
        }
        std::string result;
        char buffer[256];
        for (ssize_t got; (got = read(out[0], buffer, sizeof buffer)) > 0;) {
            result.append(buffer, static_cast<std::size_t>(got));
        }
        close(out[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        const std::size_t tab = result.find('\t');
        std::printf("%-34s %-62s %s\n", body.what, result.substr(0, tab).c_str(),
                    tab == std::string::npos ? "?" : result.c_str() + tab + 1);
    }
    return 0;
}
