#include "app/throw_site.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

struct LastThrow {
    const void* object = nullptr;
    const void* site = nullptr;
};

thread_local LastThrow last_throw;

// The compiler declares it with the type as void*.
using CxaThrow = void (*)(void*, void*, void (*)(void*));

}  // namespace

extern "C" [[noreturn]] void __cxa_throw(void* thrown, void* type, void (*destructor)(void*)) {
    last_throw.object = thrown;
    // The call instruction's return address lies inside the throwing function.
    last_throw.site = __builtin_return_address(0);
    static CxaThrow next = reinterpret_cast<CxaThrow>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (next == nullptr) {
        std::abort();
    }
    next(thrown, type, destructor);
    std::abort();  // not reached: the runtime's __cxa_throw does not return
}

namespace telvora::app {

std::optional<ThrowSite> FindThrowSite(const void* object) {
    if (object == nullptr || object != last_throw.object || last_throw.site == nullptr) {
        return std::nullopt;
    }
    Dl_info info{};
    if (dladdr(last_throw.site, &info) == 0 || info.dli_fname == nullptr) {
        return std::nullopt;
    }
    std::string module = info.dli_fname;
    if (size_t slash = module.rfind('/'); slash != std::string::npos) {
        module.erase(0, slash + 1);
    }
    ThrowSite site;
    site.module = module;
    site.offset = reinterpret_cast<std::uintptr_t>(last_throw.site) -
                  reinterpret_cast<std::uintptr_t>(info.dli_fbase);
    return site;
}

}  // namespace telvora::app
