// Telvora.exe is linked statically and with --wrap=__cxa_throw (CMakeLists.txt): every throw of
// the program and of the C++ runtime comes through __wrap___cxa_throw, which notes the object
// and the throwing code's address and hands on to the runtime's own.
#include "app/throw_site.h"

#include <windows.h>

#include <filesystem>

#include "platform/paths.h"

namespace {

struct LastThrow {
    const void* object = nullptr;
    const void* site = nullptr;
};

thread_local LastThrow last_throw;

}  // namespace

// The destructor's calling convention differs by target; it is only handed on, as a pointer.
extern "C" [[noreturn]] void __real___cxa_throw(void* thrown, void* type, void* destructor);

extern "C" [[noreturn]] void __wrap___cxa_throw(void* thrown, void* type, void* destructor) {
    last_throw.object = thrown;
    // The call instruction's return address lies inside the throwing function.
    last_throw.site = __builtin_return_address(0);
    __real___cxa_throw(thrown, type, destructor);
}

namespace telvora::app {

std::optional<ThrowSite> FindThrowSite(const void* object) {
    if (object == nullptr || object != last_throw.object || last_throw.site == nullptr) {
        return std::nullopt;
    }
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(last_throw.site), &module)) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameW(module, path, sizeof path / sizeof path[0]);
    if (length == 0 || length >= sizeof path / sizeof path[0]) {
        return std::nullopt;
    }
    ThrowSite site;
    site.module = platform::PathToUtf8(std::filesystem::path(path).filename());
    site.offset = reinterpret_cast<std::uintptr_t>(last_throw.site) -
                  reinterpret_cast<std::uintptr_t>(module);
    return site;
}

}  // namespace telvora::app
