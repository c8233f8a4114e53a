#include "platform/host.h"

#include <windows.h>

#include "platform/wide.h"

namespace telvora::platform {
namespace {

// Wine's own export, absent on Windows proper. The name it returns is in the host's character
// set (UTF-8) and on the process heap.
using ToUnixName = char*(__cdecl*)(const wchar_t*);

ToUnixName WineToUnixName() {
    static const auto function = reinterpret_cast<ToUnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    return function;
}

}  // namespace

bool OnUnixHost() {
    return WineToUnixName() != nullptr;
}

std::string HostFileName(const std::string& name) {
    const ToUnixName toUnix = WineToUnixName();
    char* unix = toUnix != nullptr ? toUnix(Wide(name).c_str()) : nullptr;
    if (unix == nullptr) {
        return name;
    }
    std::string host = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return host;
}

}  // namespace telvora::platform
