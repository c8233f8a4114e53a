#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "platform/output_file.h"
#include "platform/system_message.h"

namespace telvora::platform {

std::optional<std::string> WriteWholeFile(const std::filesystem::path& file,
                                          std::string_view bytes) {
    // A sibling replaces the old file in one step (MoveFileExW with MOVEFILE_REPLACE_EXISTING),
    // so that a failed write (a full disk) leaves the old list whole. A read-only file refuses to
    // be replaced ("Access is denied."), as it refuses to be written.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp = file;
    temp += L".tmp-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
    const HANDLE out = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        return SystemMessage(GetLastError());
    }
    DWORD error = ERROR_SUCCESS;
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0 && error == ERROR_SUCCESS) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        if (!WriteFile(out, data, chunk, &written, nullptr)) {
            error = GetLastError();
        }
        data += written;
        left -= written;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(out)) {
        error = GetLastError();
    }
    if (!CloseHandle(out) && error == ERROR_SUCCESS) {
        error = GetLastError();
    }
    if (error == ERROR_SUCCESS && (GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_READONLY) &&
        GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) {
        error = ERROR_ACCESS_DENIED;  // Wine running as root would replace it all the same
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temp.c_str(), file.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
    }
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temp.c_str());
        return SystemMessage(error);
    }
    return std::nullopt;
}

}  // namespace telvora::platform
