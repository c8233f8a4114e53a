// Stands in for the WinHTTP transport (src/districts/http_transport_winhttp.cpp) until that is
// part of the tree: the window starts, and a download fails with this message. CMakeLists.txt
// adds it only while the transport is missing.
//
// For the end-to-end check of Telvora.exe meanwhile, TELVORA_PENDING_LIST_FILE names a file
// whose bytes are every response's body (status 200), and TELVORA_PENDING_REQUEST_LOG a file
// that gets each request's URL a line: the run from the click to ErrorList.txt stays the
// program's own, only the bytes on the wire are not.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "districts/http_transport.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace telvora::districts {
namespace {

class PendingTransport : public HttpTransport {
  public:
    TransportResponse Get(const TransportRequest& request, ResponseBody& body) override {
        const char* listFile = std::getenv("TELVORA_PENDING_LIST_FILE");
        if (listFile == nullptr || *listFile == '\0') {
            throw Error("This build of Telvora has no HTTPS transport");
        }
        if (const char* log = std::getenv("TELVORA_PENDING_REQUEST_LOG"); log != nullptr) {
            std::ofstream(platform::PathFromUtf8(log), std::ios::app)
                << request.url.ToString() << "\n";
        }
        std::ifstream in(platform::PathFromUtf8(listFile), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        if (!body.Append(bytes.str())) {
            throw Error(body.TooLargeText());
        }
        TransportResponse response;
        response.status = 200;
        return response;
    }
};

}  // namespace

std::unique_ptr<HttpTransport> MakeHttpTransport(const TransportOptions&) {
    return std::make_unique<PendingTransport>();
}

}  // namespace telvora::districts
