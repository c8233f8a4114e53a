// The system's ANSI code page (CP_ACP).
#include <windows.h>

#include <algorithm>
#include "platform/codepage.h"
#include "platform/unicode.h"

#include "platform/wide.h"

namespace telvora::platform {

std::string DecodeAnsi(std::string_view bytes) {
    if (bytes.empty()) {
        return {};
    }
    if (GetACP() == CP_UTF8) {
        // A system set to UTF-8: read strictly, every byte of no character a U+FFFD.
        return ReplaceInvalidUtf8(bytes);
    }
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    return Narrow(wide);
}

std::string EncodeAnsi(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    if (GetACP() == CP_UTF8) {
        return ReplaceInvalidUtf8(utf8);
    }
    const std::wstring wide = Wide(utf8);
    const int size = static_cast<int>(wide.size());
    // What the code page cannot hold becomes "?".
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(std::max(length, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, out.data(), length, "?", nullptr);
    return out;
}

}  // namespace telvora::platform
