#include "settings/profile_values.h"

#include <limits>

namespace telvora::settings {

std::optional<std::int32_t> ParseInteger(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    auto isX = [](char c) { return c == 'x' || c == 'X'; };
    bool hex = false;
    if (!text.empty() && (text.front() == '$' || isX(text.front()))) {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && isX(text[1])) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const std::uint64_t limit =
        hex ? 0xFFFFFFFFull
            : static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + negative;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + digit;
        if (value > limit) {
            return std::nullopt;
        }
    }
    // Two's complement on 32 bits: "$FFFFFFFF" is -1, "-2147483648" fits.
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    if (negative) {
        bits = 0u - bits;
    }
    return static_cast<std::int32_t>(bits);
}

std::int32_t IntegerOr(std::string_view text, std::int32_t fallback) {
    return ParseInteger(text).value_or(fallback);
}

std::vector<std::string_view> SplitWords(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t pos = 0;
    while (true) {
        pos = text.find_first_not_of(" ,", pos);
        if (pos == std::string_view::npos) {
            break;
        }
        const std::size_t end = text.find_first_of(" ,", pos);
        words.push_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) {
            break;
        }
        pos = end;
    }
    return words;
}

std::int32_t WordOr(std::string_view text, std::size_t index, std::int32_t fallback) {
    const std::vector<std::string_view> words = SplitWords(text);
    if (index == 0 || index > words.size()) {
        return fallback;
    }
    return IntegerOr(words[index - 1], fallback);
}

std::string FormatPosition(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," +
           std::to_string(d);
}

std::string QuoteValue(std::string_view value) {
    if (!value.empty() && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

}  // namespace telvora::settings
