// The control protocol of `telvora-district-service --control`: a test in another process (a
// Windows build under Wine) starts servers in the service's process and drives them as it
// would drive them in its own. Over a loopback TCP connection each side sends messages: a
// message is a list of byte strings, written as a netstring ("<length>:<bytes>,") whose bytes
// are the netstrings of its fields. A request's first field names the command; an answer's
// first field is "ok" (then its values) or "error" (then the message).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "district_service/exchange.h"

namespace telvora::district_service {

using Message = std::vector<std::string>;

std::string EncodeMessage(const Message& message);

// Takes the first whole message off the front of `buffer`; nullopt while it is still
// incomplete. Throws std::runtime_error for bytes that are no message.
std::optional<Message> TakeMessage(std::string& buffer);

// Reads a message's fields in order; throws std::runtime_error past its end or for a number
// that isn't one.
class FieldReader {
  public:
    explicit FieldReader(const Message& message, std::size_t start = 0)
        : message_(message), next_(start) {}

    const std::string& Text();
    long long Number();
    bool Flag() { return Number() != 0; }

  private:
    const Message& message_;
    std::size_t next_;
};

void AppendNumber(Message& message, long long number);
void AppendReply(Message& message, const Reply& reply);
Reply ReadReply(FieldReader& fields);
void AppendRequests(Message& message, const std::vector<RecordedRequest>& requests);
std::vector<RecordedRequest> ReadRequests(FieldReader& fields);

}  // namespace telvora::district_service
