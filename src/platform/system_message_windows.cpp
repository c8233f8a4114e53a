#include "platform/system_message.h"

#include <windows.h>

#include <string_view>

#include "platform/unicode.h"

namespace telvora::platform {

std::string SystemMessage(unsigned long code, const wchar_t* module) {
    const HMODULE table = module != nullptr ? GetModuleHandleW(module) : nullptr;
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
            FORMAT_MESSAGE_IGNORE_INSERTS | (table != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : 0),
        table, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) {
        return "Unknown error (" + std::to_string(code) + ")";
    }
    std::wstring_view message(text, length);
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n')) {
        message.remove_suffix(1);
    }
    std::string bytes(reinterpret_cast<const char*>(message.data()),
                      message.size() * sizeof(wchar_t));
    LocalFree(text);
    return Utf16ToUtf8(bytes, ByteOrder::kLittleEndian);
}

}  // namespace telvora::platform
