#include "districts/body_lines.h"

#include <cstdint>

#include "platform/codepage.h"
#include "platform/error.h"

namespace telvora::districts {
namespace {

constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// UTF-16 to UTF-8. A lone surrogate, or an odd byte left at the end, becomes U+FFFD:
// visible in the list rather than dropped.
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](std::size_t index) -> std::uint32_t {
        const auto a = static_cast<unsigned char>(bytes[index]);
        const auto b = static_cast<unsigned char>(bytes[index + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t u = unit(2 * i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = unit(2 * (i + 1));
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? 0xFFFD : u);
    }
    if (bytes.size() % 2 != 0) {
        AppendUtf8(out, 0xFFFD);
    }
    return out;
}

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
        return SplitTextLines(Utf16ToUtf8(body.substr(2), false));
    }
    if (startsWith("\xFE\xFF")) {
        return SplitTextLines(Utf16ToUtf8(body.substr(2), true));
    }
    return SplitTextLines(platform::DecodeAnsi(body));
}

}  // namespace telvora::districts
