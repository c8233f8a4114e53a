#include <windows.h>

#include <algorithm>

#include "platform/output_file.h"
#include "platform/system_message.h"

namespace telvora::platform {

std::optional<std::string> WriteWholeFile(const std::filesystem::path& file,
                                          std::string_view bytes) {
    const HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return SystemMessage(GetLastError());
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        if (!WriteFile(out, data, chunk, &written, nullptr)) {
            const DWORD error = GetLastError();
            CloseHandle(out);
            return SystemMessage(error);
        }
        data += written;
        left -= written;
    }
    if (!CloseHandle(out)) {
        return SystemMessage(GetLastError());
    }
    return std::nullopt;
}

}  // namespace telvora::platform
