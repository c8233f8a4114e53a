#include "districts/http_transport.h"

#include <algorithm>
#include <cstdlib>

#include "platform/error.h"
#include "platform/text.h"

namespace telvora::districts {

std::vector<HeaderField> ParseHeaderFields(std::string_view block) {
    std::vector<HeaderField> fields;
    bool continues = false;  // the line before was a field that a folded line may continue
    while (!block.empty()) {
        std::size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        block.remove_prefix(end == std::string_view::npos ? block.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        if (!line.empty() && (line.front() == ' ' || line.front() == '\t')) {
            const std::string_view more = platform::TrimBlanks(line);
            if (continues && !more.empty()) {
                std::string& value = fields.back().value;
                value += value.empty() ? "" : " ";
                value += more;
            }
            continue;
        }
        const std::size_t colon = line.find(':');
        continues = colon != std::string_view::npos && colon > 0;
        if (continues) {
            fields.push_back({std::string(platform::TrimBlanks(line.substr(0, colon))),
                              std::string(platform::TrimBlanks(line.substr(colon + 1)))});
        }
    }
    return fields;
}

long StatusOfLine(std::string_view line) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) {
        return 0;
    }
    return std::strtol(std::string(line.substr(space + 1, 3)).c_str(), nullptr, 10);
}

std::vector<std::string> TransportResponse::Values(std::string_view name) const {
    std::vector<std::string> values;
    for (const HeaderField& field : headers) {
        if (platform::EqualsNoCase(field.name, name)) {
            values.push_back(field.value);
        }
    }
    return values;
}

std::optional<std::string> TransportResponse::Value(std::string_view name) const {
    for (const HeaderField& field : headers) {
        if (platform::EqualsNoCase(field.name, name)) {
            return field.value;
        }
    }
    return std::nullopt;
}

bool ResponseBody::Append(std::string_view piece) {
    if (piece.size() > limit_ - text_.size()) {
        return false;
    }
    // Grown in doubling steps as ever, but never past the limit: the largest body accepted
    // takes no more memory than its size.
    const std::size_t needed = text_.size() + piece.size();
    if (needed > text_.capacity()) {
        text_.reserve(std::min(limit_, std::max(needed, 2 * text_.capacity())));
    }
    text_.append(piece);
    return true;
}

std::string ResponseBody::TooLargeText() const {
    return Format("Response body larger than %zu bytes", limit_);
}

}  // namespace telvora::districts
