// The user's number format, the same on every platform once the decimal separator is known.
#include "platform/locale_format.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace telvora::platform {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::string FormatUserNumber(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    std::string text(buffer, ec == std::errc() ? end : buffer);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        text.replace(point, 1, DecimalSeparator());
    }
    return text;
}

std::optional<double> ParseUserNumber(std::string_view text) {
    text = TrimBlanks(text);
    const std::string separator = DecimalSeparator();
    // The same number in the form from_chars reads: "." for the separator, no leading "+".
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-') {
            plain += '-';
        }
        ++i;
    }
    std::size_t digits = 0;
    bool separatorSeen = false;
    while (i < text.size()) {
        if (IsDigit(text[i])) {
            plain += text[i++];
            ++digits;
        } else if (!separatorSeen && text.substr(i, separator.size()) == separator) {
            plain += '.';
            i += separator.size();
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        plain += text[i++];
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            plain += text[i++];
        }
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            plain += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace telvora::platform
