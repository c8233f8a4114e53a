// `telvora-district-service --control`: the servers of the download tests for a test in another
// process (the Windows build under Wine), driven over the control protocol
// (control_protocol.h). Each control connection has servers of its own; they stop when it
// closes, so a test that ends, however it ends, leaves nothing running.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace telvora::district_service {

struct ControlOptions {
    std::string host = "127.0.0.1";
    int port = 0;  // 0: an ephemeral port
    // When no connection has been open for this long (0: never), `onIdle` runs once: a
    // service left behind by a run that never stopped it ends by itself.
    std::chrono::seconds exitWhenIdle{0};
    std::function<void()> onIdle;
};

class ControlServer {
  public:
    // Listens before it returns; throws std::runtime_error when it can't.
    explicit ControlServer(ControlOptions options);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    int Port() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace telvora::district_service
