// telvora-district-service --root DIR --cert C --key K [--record FILE] [--port P] [--host H]
// Serves GET /csv?call=X from the list files in DIR over HTTPS; with --record, the request
// target of each request it got is written to FILE, a line each, when it ends.
// telvora-district-service --connect-proxy [--record FILE] [--port P] [--host H]
// Runs the loopback CONNECT proxy instead (connect_proxy.h), for clients in other processes.
// telvora-district-service --control [--exit-when-idle SECONDS] [--port P] [--host H]
// Serves the control protocol instead (control_server.h): tests in another process start and
// drive services, raw TLS servers and proxies in this one.
// Either way it prints the port it listens on as the first line of its output and runs until
// it is interrupted or terminated.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>

#include "district_service/connect_proxy.h"
#include "district_service/control_server.h"
#include "district_service/district_service.h"

namespace {

int Usage() {
    std::cerr << "usage: telvora-district-service --root DIR --cert CERT.pem --key KEY.pem "
                 "[--port P] [--host 127.0.0.1]\n"
                 "       telvora-district-service --connect-proxy [--record FILE] [--port P] "
                 "[--host 127.0.0.1]\n"
                 "       telvora-district-service --control [--exit-when-idle SECONDS] "
                 "[--port P] [--host 127.0.0.1]\n";
    return 2;
}

// Announces the port and waits for the end signal; `Listener` listens once constructed.
// `atEnd` runs with the listener after the signal.
template <typename Listener, typename Options, typename Describe>
int Run(const Options& options, Describe describe,
        const std::function<void(const Listener&)>& atEnd = {}) {
    // Wait for the end signal in this thread; the server's threads never see it.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    try {
        Listener listener(options);
        std::cout << listener.Port() << std::endl;
        std::cerr << "telvora-district-service: " << describe(listener) << std::endl;
        int received = 0;
        sigwait(&signals, &received);
        if (atEnd) {
            atEnd(listener);
        }
    } catch (const std::exception& error) {
        std::cerr << "telvora-district-service: " << error.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    telvora::district_service::ServiceOptions service;
    telvora::district_service::ProxyOptions proxy;
    telvora::district_service::ControlOptions control;
    bool proxyMode = false;
    bool controlMode = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--connect-proxy" || arg == "--control") {
            (arg == "--control" ? controlMode : proxyMode) = true;
            continue;
        }
        if (i + 1 >= argc) {
            return Usage();
        }
        const std::string value = argv[++i];
        if (arg == "--root") {
            service.root = value;
        } else if (arg == "--cert") {
            service.cert = value;
        } else if (arg == "--key") {
            service.key = value;
        } else if (arg == "--record") {
            proxy.recordFile = value;
        } else if (arg == "--host") {
            service.host = proxy.host = control.host = value;
        } else if (arg == "--port" || arg == "--exit-when-idle") {
            char* end = nullptr;
            const long number = std::strtol(value.c_str(), &end, 10);
            if (end == value.c_str() || *end != '\0' || number < 0 || number > 65535) {
                return Usage();
            }
            if (arg == "--port") {
                service.port = proxy.port = control.port = static_cast<int>(number);
            } else {
                control.exitWhenIdle = std::chrono::seconds(number);
            }
        } else {
            return Usage();
        }
    }
    if (controlMode) {
        if (proxyMode || !service.root.empty() || !service.cert.empty() || !service.key.empty() ||
            !proxy.recordFile.empty()) {
            return Usage();
        }
        // Ends the way a signal ends it, so that the wait below returns.
        control.onIdle = [] { kill(getpid(), SIGTERM); };
        using telvora::district_service::ControlServer;
        return Run<ControlServer>(control, [&](const ControlServer& listener) {
            return "control port " + control.host + ":" + std::to_string(listener.Port());
        });
    }
    if (control.exitWhenIdle.count() > 0) {
        return Usage();
    }
    if (proxyMode) {
        if (!service.root.empty() || !service.cert.empty() || !service.key.empty()) {
            return Usage();
        }
        using telvora::district_service::ConnectProxy;
        return Run<ConnectProxy>(proxy, [](const ConnectProxy& listener) {
            return "tunnelling CONNECT at " + listener.Address();
        });
    }
    if (service.root.empty() || service.cert.empty() || service.key.empty()) {
        return Usage();
    }
    using telvora::district_service::DistrictService;
    return Run<DistrictService>(
        service,
        [&](const DistrictService& listener) {
            return "serving " + service.root.string() + " at " + listener.BaseUrl() +
                   "/csv?call=...";
        },
        [&](const DistrictService& listener) {
            if (!proxy.recordFile.empty()) {
                std::ofstream record(proxy.recordFile, std::ios::binary);
                for (const auto& request : listener.Requests()) {
                    record << request.target << "\n";
                }
            }
        });
}
