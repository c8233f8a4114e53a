// telvora-district-service --root DIR --cert C --key K [--port P] [--host H]
// Serves GET /csv?call=X from the list files in DIR over HTTPS, prints the port it listens
// on as the first line of its output and runs until it is interrupted or terminated.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "district_service/district_service.h"

namespace {

int Usage() {
    std::cerr << "usage: telvora-district-service --root DIR --cert CERT.pem --key KEY.pem "
                 "[--port P] [--host 127.0.0.1]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    telvora::district_service::ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[++i];
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--cert") {
            options.cert = value;
        } else if (arg == "--key") {
            options.key = value;
        } else if (arg == "--host") {
            options.host = value;
        } else if (arg == "--port") {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || port < 0 || port > 65535) {
                return Usage();
            }
            options.port = static_cast<int>(port);
        } else {
            return Usage();
        }
    }
    if (options.root.empty() || options.cert.empty() || options.key.empty()) {
        return Usage();
    }

    // Wait for the end signal in this thread; the server's threads never see it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    try {
        telvora::district_service::DistrictService service(options);
        std::cout << service.Port() << std::endl;
        std::cerr << "telvora-district-service: serving " << options.root << " at "
                  << service.BaseUrl() << "/csv?call=..." << std::endl;
        int received = 0;
        sigwait(&signals, &received);
    } catch (const std::exception& error) {
        std::cerr << "telvora-district-service: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
