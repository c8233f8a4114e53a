#include "platform/wide.h"

#include "platform/unicode.h"

namespace telvora::platform {

std::wstring Wide(std::string_view utf8) {
    const std::string bytes = Utf8ToUtf16(utf8, ByteOrder::kLittleEndian);
    std::wstring out(bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                      (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

std::string Narrow(std::wstring_view utf16) {
    std::string bytes;
    bytes.reserve(utf16.size() * 2);
    for (const wchar_t unit : utf16) {
        bytes.push_back(static_cast<char>(unit & 0xff));
        bytes.push_back(static_cast<char>((unit >> 8) & 0xff));
    }
    return Utf16ToUtf8(bytes, ByteOrder::kLittleEndian);
}

}  // namespace telvora::platform
