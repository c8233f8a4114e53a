#include "logdb/engine.h"

#include <filesystem>

#include "platform/paths.h"
#include "platform/text.h"

namespace telvora::logdb {

std::string DisplayFileName(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::PathFromUtf8(path), ec);
    return ec ? path : platform::PathToUtf8(absolute.lexically_normal());
}

std::string LikePrefixLiteral(std::string_view text, LikeEscape escape) {
    const bool special = text.find_first_of(escape == LikeEscape::Backslash ? "%_\\" : "%_[") !=
                         std::string_view::npos;
    std::string body;
    for (char c : text) {
        if (!special) {
            body += c;
        } else if (escape == LikeEscape::Backslash) {
            if (c == '%' || c == '_' || c == '\\') {
                body += '\\';
            }
            body += c;
        } else if (c == '%' || c == '_' || c == '[') {
            body += '[';
            body += c;
            body += ']';
        } else {
            body += c;
        }
    }
    std::string out = "'";
    platform::AppendQuoteDoubled(out, body, '\'');
    out += "%'";
    if (special && escape == LikeEscape::Backslash) {
        out += " ESCAPE '\\'";
    }
    return out;
}

}  // namespace telvora::logdb
