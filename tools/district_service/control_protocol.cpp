#include "district_service/control_protocol.h"

#include <charconv>
#include <stdexcept>

namespace telvora::district_service {
namespace {

// Far above any message of the tests (the largest carries a body of 64 MiB and a byte).
constexpr std::size_t kMaxBytes = std::size_t{1} << 29;

void AppendNetstring(std::string& out, std::string_view bytes) {
    out += std::to_string(bytes.size());
    out += ':';
    out.append(bytes);
    out += ',';
}

// The netstring at the start of `text`: its bytes and the length it takes; nullopt while
// `text` ends before it does.
std::optional<std::pair<std::string_view, std::size_t>> ReadNetstring(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        if (text.size() > 20) {
            throw std::runtime_error("control: no netstring length");
        }
        return std::nullopt;
    }
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + colon, length);
    if (colon == 0 || error != std::errc() || end != text.data() + colon) {
        throw std::runtime_error("control: bad netstring length");
    }
    if (length > kMaxBytes) {
        throw std::runtime_error("control: message too large");
    }
    if (text.size() - colon - 1 < length + 1) {
        return std::nullopt;
    }
    if (text[colon + 1 + length] != ',') {
        throw std::runtime_error("control: netstring without its comma");
    }
    return std::make_pair(text.substr(colon + 1, length), colon + length + 2);
}

std::optional<std::size_t> OptionalSize(long long number) {
    return number < 0 ? std::nullopt : std::optional(static_cast<std::size_t>(number));
}

long long FromOptional(const std::optional<std::size_t>& size) {
    return size ? static_cast<long long>(*size) : -1;
}

void AppendPairs(Message& message, const std::vector<std::pair<std::string, std::string>>& pairs) {
    AppendNumber(message, static_cast<long long>(pairs.size()));
    for (const auto& [name, value] : pairs) {
        message.push_back(name);
        message.push_back(value);
    }
}

std::vector<std::pair<std::string, std::string>> ReadPairs(FieldReader& fields) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (long long count = fields.Number(); count > 0; --count) {
        std::string name = fields.Text();
        pairs.emplace_back(std::move(name), fields.Text());
    }
    return pairs;
}

}  // namespace

std::string EncodeMessage(const Message& message) {
    std::string fields;
    for (const std::string& field : message) {
        AppendNetstring(fields, field);
    }
    std::string out;
    AppendNetstring(out, fields);
    return out;
}

std::optional<Message> TakeMessage(std::string& buffer) {
    const auto whole = ReadNetstring(buffer);
    if (!whole) {
        return std::nullopt;
    }
    Message message;
    std::string_view rest = whole->first;
    while (!rest.empty()) {
        const auto field = ReadNetstring(rest);
        if (!field) {
            throw std::runtime_error("control: field cut short");
        }
        message.emplace_back(field->first);
        rest.remove_prefix(field->second);
    }
    buffer.erase(0, whole->second);
    return message;
}

const std::string& FieldReader::Text() {
    if (next_ >= message_.size()) {
        throw std::runtime_error("control: message too short");
    }
    return message_[next_++];
}

long long FieldReader::Number() {
    const std::string& text = Text();
    long long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        throw std::runtime_error("control: not a number: " + text);
    }
    return number;
}

void AppendNumber(Message& message, long long number) {
    message.push_back(std::to_string(number));
}

void AppendReply(Message& message, const Reply& reply) {
    if (reply.beforeAnswer) {
        throw std::logic_error("control: a reply's own step runs only in the test's process");
    }
    AppendNumber(message, reply.status);
    message.push_back(reply.body);
    message.push_back(reply.contentType);
    AppendPairs(message, reply.headers);
    AppendNumber(message, reply.stall.count());
    AppendNumber(message, FromOptional(reply.stallAfterBytes));
    AppendNumber(message, FromOptional(reply.cutAfterBytes));
}

Reply ReadReply(FieldReader& fields) {
    Reply reply;
    reply.status = static_cast<int>(fields.Number());
    reply.body = fields.Text();
    reply.contentType = fields.Text();
    reply.headers = ReadPairs(fields);
    reply.stall = std::chrono::milliseconds(fields.Number());
    reply.stallAfterBytes = OptionalSize(fields.Number());
    reply.cutAfterBytes = OptionalSize(fields.Number());
    return reply;
}

void AppendRequests(Message& message, const std::vector<RecordedRequest>& requests) {
    AppendNumber(message, static_cast<long long>(requests.size()));
    for (const RecordedRequest& request : requests) {
        message.push_back(request.method);
        message.push_back(request.target);
        message.push_back(request.path);
        message.push_back(request.call);
        AppendPairs(message, request.headers);
    }
}

std::vector<RecordedRequest> ReadRequests(FieldReader& fields) {
    std::vector<RecordedRequest> requests;
    for (long long count = fields.Number(); count > 0; --count) {
        RecordedRequest request;
        request.method = fields.Text();
        request.target = fields.Text();
        request.path = fields.Text();
        request.call = fields.Text();
        request.headers = ReadPairs(fields);
        requests.push_back(std::move(request));
    }
    return requests;
}

}  // namespace telvora::district_service
