#include "district_service/district_service.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <stdexcept>
#include <thread>

#include "platform/files.h"

namespace telvora::district_service {
namespace {

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string EscapeQueryValue(const std::string& text) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kDigits[byte >> 4]);
            out.push_back(kDigits[byte & 0x0F]);
        }
    }
    return out;
}

// Headers that cpp-httplib adds to a request on its own; they were never on the wire.
bool IsPseudoHeader(const std::string& name) {
    return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
           name == "LOCAL_PORT";
}

// The path of a request target in origin form ("/csv"), also of one in absolute form
// ("https://127.0.0.1:8443/csv"), which a server must take as well (RFC 9112, 3.2.2) and which
// some clients send inside a proxy's tunnel (Wine's WinHTTP does).
std::string OriginPath(const std::string& path) {
    const std::size_t scheme = path.find("://");
    if (path.starts_with('/') || scheme == std::string::npos) {
        return path;
    }
    const std::size_t slash = path.find('/', scheme + 3);
    return slash == std::string::npos ? "/" : path.substr(slash);
}

}  // namespace

struct DistrictService::Impl {
    ServiceOptions options;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = 0;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::map<std::string, std::string> lists;                      // upper-case callsign
    std::map<std::pair<std::string, std::string>, Reply> replies;  // (path, upper callsign)
    std::vector<RecordedRequest> requests;

    // Waits for `duration`, or less when the service stops. False when it stopped.
    bool Stall(std::chrono::milliseconds duration) {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, duration, [&] { return stopping; });
    }

    std::string ListFor(const std::string& callsign) {
        {
            std::lock_guard lock(mutex);
            const auto found = lists.find(Upper(callsign));
            if (found != lists.end()) {
                return found->second;
            }
        }
        if (!options.root.empty()) {
            if (auto content = platform::ReadWholeFile(options.root / ListFileName(callsign))) {
                return *content;
            }
        }
        return {};  // a callsign without districts
    }

    void Record(const httplib::Request& request, const std::string& path, const std::string& call) {
        RecordedRequest record{request.method, request.target, path, call, {}};
        for (const auto& [name, value] : request.headers) {
            if (!IsPseudoHeader(name)) {
                record.headers.emplace_back(name, value);
            }
        }
        std::lock_guard lock(mutex);
        requests.push_back(std::move(record));
    }

    void Answer(const httplib::Request& request, httplib::Response& response) {
        const std::string call = request.get_param_value("call");
        const std::string path = OriginPath(request.path);
        Record(request, path, call);

        std::optional<Reply> reply;
        {
            std::lock_guard lock(mutex);
            const auto found = replies.find({path, Upper(call)});
            if (found != replies.end()) {
                reply = found->second;
            }
        }
        if (!reply) {
            if (path == "/csv" || path.starts_with("/hop")) {
                response.status = 200;
                response.set_content(ListFor(call), "text/plain; charset=utf-8");
            } else {
                response.status = 404;
                response.set_content("<html><body><h1>404 Not Found</h1></body></html>\n",
                                     "text/html");
            }
            return;
        }
        if (reply->beforeAnswer) {
            reply->beforeAnswer();
        }
        if (reply->stall.count() > 0 && !reply->stallAfterBytes && !Stall(reply->stall)) {
            return;
        }
        response.status = reply->status;
        for (const auto& [name, value] : reply->headers) {
            response.headers.emplace(name, value);
        }
        if (!reply->cutAfterBytes && !reply->stallAfterBytes) {
            response.set_content(reply->body, reply->contentType);
            return;
        }
        // Send the body piece by piece so it can pause or stop part-way.
        auto body = std::make_shared<std::string>(reply->body);
        const std::size_t cut = reply->cutAfterBytes.value_or(body->size());
        const std::size_t pause = reply->stallAfterBytes.value_or(body->size());
        const auto stall = reply->stall;
        auto paused = std::make_shared<bool>(false);
        response.set_content_provider(
            body->size(), reply->contentType,
            [this, body, cut, pause, stall, paused](std::size_t offset, std::size_t,
                                                    httplib::DataSink& sink) {
                if (offset >= cut) {
                    return false;  // close with the announced length unmet
                }
                if (offset >= pause && !*paused) {
                    *paused = true;
                    if (!Stall(stall)) {
                        return false;
                    }
                }
                std::size_t end = std::min(cut, body->size());
                if (offset < pause && pause < end) {
                    end = pause;
                }
                return sink.write(body->data() + offset, end - offset);
            });
    }
};

DistrictService::DistrictService(ServiceOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->options = std::move(options);
    const ServiceOptions& o = impl_->options;
    const std::string cert = o.cert.string();
    const std::string key = o.key.string();
    const std::string clientCa = o.clientCa ? o.clientCa->string() : std::string();
    impl_->server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str(),
                                                         o.clientCa ? clientCa.c_str() : nullptr);
    if (!impl_->server->is_valid()) {
        throw std::runtime_error("district service: can't use certificate " + cert + " / key " +
                                 key);
    }
    // Send each reply at once: written in pieces, its tail would otherwise wait for the client's
    // delayed acknowledgement (some 40 ms on loopback): a delay of this stand-in, not of a run.
    impl_->server->set_tcp_nodelay(true);
    impl_->server->Get(
        ".*", [impl = impl_.get()](const httplib::Request& request, httplib::Response& response) {
            impl->Answer(request, response);
        });
    if (o.port == 0) {
        impl_->port = impl_->server->bind_to_any_port(o.host);
    } else {
        impl_->port = impl_->server->bind_to_port(o.host, o.port) ? o.port : -1;
    }
    if (impl_->port <= 0) {
        throw std::runtime_error("district service: can't listen on " + o.host + ":" +
                                 std::to_string(o.port));
    }
    impl_->thread = std::thread([server = impl_->server.get()] { server->listen_after_bind(); });
    // stop() only reaches a server whose loop has started.
    while (!impl_->server->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

DistrictService::~DistrictService() {
    Stop();
}

void DistrictService::Stop() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.notify_all();
    if (impl_->thread.joinable()) {
        impl_->server->stop();
        impl_->thread.join();
    }
}

int DistrictService::Port() const {
    return impl_->port;
}

std::string DistrictService::BaseUrl() const {
    return "https://" + impl_->options.host + ":" + std::to_string(impl_->port);
}

void DistrictService::SetList(const std::string& callsign, std::string body) {
    std::lock_guard lock(impl_->mutex);
    impl_->lists[Upper(callsign)] = std::move(body);
}

void DistrictService::SetReply(const std::string& path, const std::string& callsign, Reply reply) {
    std::lock_guard lock(impl_->mutex);
    impl_->replies[{path, Upper(callsign)}] = std::move(reply);
}

void DistrictService::AddRedirectChain(const std::string& callsign, int redirects, int status,
                                       LocationForm form) {
    for (int hop = 0; hop < redirects; ++hop) {
        const std::string next =
            "hop" + std::to_string(hop + 1) + "?call=" + EscapeQueryValue(callsign);
        std::string location;
        switch (form) {
            case LocationForm::Absolute:
                location = BaseUrl() + "/" + next;
                break;
            case LocationForm::Rooted:
                location = "/" + next;
                break;
            case LocationForm::Relative:
                location = next;
                break;
        }
        Reply reply;
        reply.status = status;
        reply.contentType = "text/html";
        reply.body = "<html><body>Moved to <a href=\"" + location + "\">here</a></body></html>\n";
        reply.headers.emplace_back("Location", location);
        SetReply(hop == 0 ? "/csv" : "/hop" + std::to_string(hop), callsign, std::move(reply));
    }
}

std::vector<RecordedRequest> DistrictService::Requests() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requests;
}

void DistrictService::ClearRequests() {
    std::lock_guard lock(impl_->mutex);
    impl_->requests.clear();
}

}  // namespace telvora::district_service
