// Stands in for the WinHTTP transport (src/districts/http_transport_winhttp.cpp) until that is
// part of the tree: the window starts, and a download fails with this message. CMakeLists.txt
// adds it only while the transport is missing.
#include "districts/http_transport.h"
#include "platform/error.h"

namespace telvora::districts {
namespace {

class PendingTransport : public HttpTransport {
  public:
    TransportResponse Get(const TransportRequest&, ResponseBody&) override {
        throw Error("This build of Telvora has no HTTPS transport");
    }
};

}  // namespace

std::unique_ptr<HttpTransport> MakeHttpTransport(const TransportOptions&) {
    return std::make_unique<PendingTransport>();
}

}  // namespace telvora::districts
