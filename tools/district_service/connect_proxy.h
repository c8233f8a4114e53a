// A loopback HTTP proxy that serves CONNECT only: it records each CONNECT it is asked for and
// tunnels the bytes to that target, without looking into them, so TLS runs end to end between
// the client and the server (and the client still checks the server's certificate). Tests
// start it in-process; `telvora-district-service --connect-proxy` runs it as a process of its
// own, for clients that run elsewhere (a Windows build under Wine).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "district_service/district_service.h"

namespace telvora::district_service {

struct ProxyOptions {
    std::string host = "127.0.0.1";
    int port = 0;  // 0: an ephemeral port
    // When set, each CONNECT target ("127.0.0.1:8443") is appended to this file as a line of
    // its own, before the tunnel is answered.
    std::filesystem::path recordFile;
};

class ConnectProxy {
  public:
    // Listens before it returns; throws std::runtime_error when it can't.
    explicit ConnectProxy(ProxyOptions options = {});
    ~ConnectProxy();
    ConnectProxy(const ConnectProxy&) = delete;
    ConnectProxy& operator=(const ConnectProxy&) = delete;

    int Port() const;
    // "127.0.0.1:PORT", as proxy settings name it.
    std::string Address() const;

    // Every request the proxy received, in order: method ("CONNECT"), target ("host:port")
    // and header fields. A target outside loopback is recorded and refused (403); anything
    // but CONNECT gets 405.
    std::vector<RecordedRequest> Requests() const;

    // Stops listening and ends every tunnel; the destructor calls it.
    void Stop();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace telvora::district_service
