#include "platform/text.h"

#include <algorithm>

namespace telvora::platform {
namespace {

char FoldLetter(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetter(char a, char b) {
    return FoldLetter(a) == FoldLetter(b);
}

std::string_view TrimAnyOf(std::string_view text, std::string_view set) {
    const std::size_t first = text.find_first_not_of(set);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(set) - first + 1);
}

}  // namespace

std::string TrimControls(std::string_view text) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!text.empty() && isControl(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isControl(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string_view TrimBlanks(std::string_view text) {
    return TrimAnyOf(text, " \t");
}

std::string_view TrimBlanksAndFeeds(std::string_view text) {
    return TrimAnyOf(text, " \t\f\v");
}

void AppendQuoteDoubled(std::string& out, std::string_view text, char quote) {
    for (char c : text) {
        out += c;
        if (c == quote) {
            out += quote;
        }
    }
}

std::string QuoteDoubled(std::string_view text, char quote) {
    std::string out(1, quote);
    AppendQuoteDoubled(out, text, quote);
    out += quote;
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = FoldLetter(c);
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), SameLetter);
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
    return word.empty() || std::search(text.begin(), text.end(), word.begin(), word.end(),
                                       SameLetter) != text.end();
}

}  // namespace telvora::platform
