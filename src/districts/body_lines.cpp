#include "districts/body_lines.h"

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/unicode.h"

namespace telvora::districts {
namespace {

constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) {
        text = text.substr(0, nul);  // a NUL ends the text
    }
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            lines.emplace_back(text.substr(pos));
            break;
        }
        lines.emplace_back(text.substr(pos, brk - pos));
        pos = brk + 1;
        if (text[brk] == '\r' && pos < text.size() && text[pos] == '\n') {
            ++pos;
        }
    }
    return lines;
}

std::vector<std::string> BodyToLines(std::string_view body) {
    auto startsWith = [&](std::string_view mark) { return body.substr(0, mark.size()) == mark; };
    if (startsWith("\xEF\xBB\xBF")) {
        const std::string_view text = body.substr(3);
        if (!platform::IsValidUtf8(text)) {
            throw Error(kNoMapping);
        }
        return SplitTextLines(text);
    }
    if (startsWith("\xFF\xFE")) {
        return SplitTextLines(
            platform::Utf16ToUtf8(body.substr(2), platform::ByteOrder::kLittleEndian));
    }
    if (startsWith("\xFE\xFF")) {
        return SplitTextLines(
            platform::Utf16ToUtf8(body.substr(2), platform::ByteOrder::kBigEndian));
    }
    return SplitTextLines(platform::DecodeAnsi(body));
}

}  // namespace telvora::districts
