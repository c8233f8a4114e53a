#include "district_service/exchange.h"

#include <algorithm>
#include <cctype>

#include "platform/text.h"

namespace telvora::district_service {

std::string ListFileName(const std::string& callsign) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string name;
    for (const char c : callsign) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_') {
            name.push_back(static_cast<char>(std::toupper(byte)));
        } else {
            name.push_back('%');
            name.push_back(kDigits[byte >> 4]);
            name.push_back(kDigits[byte & 0x0F]);
        }
    }
    return name + ".csv";
}

std::size_t RecordedRequest::HeaderCount(const std::string& name) const {
    return static_cast<std::size_t>(std::count_if(
        headers.begin(), headers.end(),
        [&](const auto& header) { return platform::EqualsNoCase(header.first, name); }));
}

std::optional<std::string> RecordedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : headers) {
        if (platform::EqualsNoCase(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace telvora::district_service
