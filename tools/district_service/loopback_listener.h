// A TCP listener on a loopback address that serves each connection on a thread of its own
// until it stops: what the CONNECT proxy and the control port have in common.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace telvora::district_service {

class LoopbackListener {
  public:
    // Serves one accepted connection (its waits go through the listener's Wait or watch its
    // StopSignal); the listener closes it afterwards.
    using Serve = std::function<void(const LoopbackListener& listener, int client)>;

    // Listens on `host` (an IPv4 address) and `port` (0: an ephemeral one) before it returns;
    // throws std::runtime_error, its message starting with `what`, when it can't. `everySecond`,
    // when set, runs on the accepting thread about once a second.
    LoopbackListener(const std::string& what, const std::string& host, int port, Serve serve,
                     std::function<void()> everySecond = {});
    // Stops first.
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const;

    // Stops accepting, wakes every Wait and joins every connection's thread. Once is enough.
    void Stop();

    // Becomes readable once Stop has begun: a connection's own waits watch it too.
    int StopSignal() const;

    // Waits until `socket` is readable or `timeout` passes (none by default). False once the
    // listener stops.
    bool Wait(int socket, std::chrono::milliseconds timeout = std::chrono::milliseconds{-1}) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace telvora::district_service
