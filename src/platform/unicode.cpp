#include "platform/unicode.h"

namespace telvora::platform {
namespace {

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

bool IsHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}

bool IsLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (IsSurrogate(c) || c > 0x10FFFF) {
        c = kReplacementCharacter;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::optional<Utf8Character> DecodeUtf8Character(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) {
        return Utf8Character{lead, 1};
    }
    std::size_t length = 0;
    char32_t code = 0;
    char32_t smallest = 0;  // below it the form is overlong
    if ((lead & 0xE0) == 0xC0) {
        length = 2, code = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, code = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, code = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;  // a continuation byte, a 5- or 6-byte lead, FE or FF
    }
    if (text.size() < length) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!IsContinuation(text[i])) {
            return std::nullopt;
        }
        code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    }
    if (code < smallest || code > 0x10FFFF || IsSurrogate(code)) {
        return std::nullopt;
    }
    return Utf8Character{code, length};
}

char32_t NextUtf8OrReplacement(std::string_view text, std::size_t& pos) {
    if (const auto character = DecodeUtf8Character(text.substr(pos))) {
        pos += character->length;
        return character->code;
    }
    ++pos;
    return kReplacementCharacter;
}

bool IsValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const auto character = DecodeUtf8Character(text);
        if (!character) {
            return false;
        }
        text.remove_prefix(character->length);
    }
    return true;
}

std::string ReplaceInvalidUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        AppendUtf8(out, NextUtf8OrReplacement(text, pos));
    }
    return out;
}

std::string Utf16ToUtf8(std::string_view bytes, ByteOrder order) {
    const auto unit = [&](std::size_t index) -> char32_t {
        const auto first = static_cast<unsigned char>(bytes[2 * index]);
        const auto second = static_cast<unsigned char>(bytes[2 * index + 1]);
        return order == ByteOrder::kBigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string out;
    out.reserve(bytes.size());
    const std::size_t units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = unit(i);
        if (IsHighSurrogate(u) && i + 1 < units && IsLowSurrogate(unit(i + 1))) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, u);  // a lone surrogate comes out as U+FFFD
        }
    }
    if (bytes.size() % 2 != 0) {
        AppendUtf8(out, kReplacementCharacter);
    }
    return out;
}

std::string Utf8ToUtf16(std::string_view utf8, ByteOrder order) {
    std::string out;
    out.reserve(utf8.size() * 2);
    const auto put = [&](char32_t u) {
        const auto high = static_cast<char>((u >> 8) & 0xFF);
        const auto low = static_cast<char>(u & 0xFF);
        out += order == ByteOrder::kBigEndian ? high : low;
        out += order == ByteOrder::kBigEndian ? low : high;
    };
    for (std::size_t pos = 0; pos < utf8.size();) {
        const char32_t c = NextUtf8OrReplacement(utf8, pos);
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

ByteOrderMark DetectByteOrderMark(std::string_view bytes) {
    for (const ByteOrderMark mark :
         {ByteOrderMark::kUtf8, ByteOrderMark::kUtf16Le, ByteOrderMark::kUtf16Be}) {
        if (bytes.starts_with(ByteOrderMarkBytes(mark))) {
            return mark;
        }
    }
    return ByteOrderMark::kNone;
}

std::string_view ByteOrderMarkBytes(ByteOrderMark mark) {
    switch (mark) {
        case ByteOrderMark::kUtf8:
            return "\xEF\xBB\xBF";
        case ByteOrderMark::kUtf16Le:
            return "\xFF\xFE";
        case ByteOrderMark::kUtf16Be:
            return "\xFE\xFF";
        case ByteOrderMark::kNone:
            break;
    }
    return {};
}

std::string CutToCharacters(std::string_view utf8, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!IsContinuation(utf8[i])) {
            if (characters == count) {
                return std::string(utf8.substr(0, i));
            }
            ++characters;
        }
    }
    return std::string(utf8);
}

std::string Utf16LeToUtf8(const std::vector<std::uint8_t>& bytes) {
    std::size_t end = 0;  // the first NUL character, or the last whole code unit
    while (end + 1 < bytes.size() && (bytes[end] != 0 || bytes[end + 1] != 0)) {
        end += 2;
    }
    return Utf16ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), end),
                       ByteOrder::kLittleEndian);
}

}  // namespace telvora::platform
