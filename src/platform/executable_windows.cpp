#include <windows.h>

#include <string>

#include "platform/executable.h"

namespace telvora::platform {

std::filesystem::path ExecutablePath() {
    // The call cuts a longer path to the buffer: grow it until the whole path fits.
    std::wstring buffer(MAX_PATH, L'\0');
    while (true) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace telvora::platform
