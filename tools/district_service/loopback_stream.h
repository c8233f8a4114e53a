// A TCP connection to a port on 127.0.0.1, for the control protocol's client: one header, a
// source per platform (BSD sockets, Winsock).
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace telvora::district_service {

class LoopbackStream {
  public:
    // Connects; throws std::runtime_error when nothing takes the connection.
    explicit LoopbackStream(int port);
    ~LoopbackStream();
    LoopbackStream(const LoopbackStream&) = delete;
    LoopbackStream& operator=(const LoopbackStream&) = delete;

    // Throws std::runtime_error when the connection breaks.
    void Send(std::string_view bytes);
    // Some bytes that have arrived (waits for at least one); throws std::runtime_error when
    // the other side has closed.
    std::string Receive();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace telvora::district_service
