#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "district_service/district_service.h"

namespace telvora::district_service {

struct RawTlsServer::Impl {
    SSL_CTX* context = nullptr;
    int listener = -1;
    int port = 0;
    std::string rawResponse;
    RawClose ending = RawClose::CloseNotify;
    std::atomic<bool> stopping{false};
    std::thread thread;

    void Serve(int connection) {
        if (ending == RawClose::BeforeHandshake) {
            return;
        }
        SSL* ssl = SSL_new(context);
        SSL_set_fd(ssl, connection);
        if (SSL_accept(ssl) == 1) {
            // Read the request up to the end of its headers.
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int got = SSL_read(ssl, buffer, sizeof buffer);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            if (!rawResponse.empty()) {
                SSL_write(ssl, rawResponse.data(), static_cast<int>(rawResponse.size()));
            }
            if (ending == RawClose::CloseNotify) {
                SSL_shutdown(ssl);
            }
        }
        SSL_free(ssl);
        ERR_clear_error();
    }

    void Loop() {
        while (!stopping) {
            pollfd waiting{listener, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) {
                continue;
            }
            const int connection = accept(listener, nullptr, nullptr);
            if (connection < 0) {
                continue;
            }
            timeval timeout{5, 0};
            setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
            setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
            Serve(connection);
            close(connection);
        }
    }
};

RawTlsServer::RawTlsServer(const std::filesystem::path& cert, const std::filesystem::path& key,
                           std::string rawResponse, RawClose ending)
    : impl_(std::make_unique<Impl>()) {
    impl_->rawResponse = std::move(rawResponse);
    impl_->ending = ending;
    impl_->context = SSL_CTX_new(TLS_server_method());
    if (impl_->context == nullptr ||
        SSL_CTX_use_certificate_chain_file(impl_->context, cert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(impl_->context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(impl_->context);
        throw std::runtime_error("raw TLS server: can't use certificate " + cert.string());
    }
    impl_->listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (impl_->listener < 0 ||
        bind(impl_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(impl_->listener, 16) != 0 ||
        getsockname(impl_->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (impl_->listener >= 0) {
            close(impl_->listener);
        }
        SSL_CTX_free(impl_->context);
        throw std::runtime_error("raw TLS server: can't listen on 127.0.0.1");
    }
    impl_->port = ntohs(address.sin_port);
    impl_->thread = std::thread([impl = impl_.get()] { impl->Loop(); });
}

RawTlsServer::~RawTlsServer() {
    impl_->stopping = true;
    impl_->thread.join();
    close(impl_->listener);
    SSL_CTX_free(impl_->context);
}

int RawTlsServer::Port() const {
    return impl_->port;
}

std::string RawTlsServer::BaseUrl() const {
    return "https://127.0.0.1:" + std::to_string(impl_->port);
}

TestCertificates BuiltTestCertificates(bool trusted) {
    const std::filesystem::path folder =
        std::filesystem::path(TELVORA_TEST_CA_DIR) / (trusted ? "trusted" : "untrusted");
    return {folder / "ca.pem", folder / "server.pem", folder / "server.key"};
}

}  // namespace telvora::district_service
