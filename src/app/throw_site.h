// Where the last C++ exception of this thread was thrown: the module (the executable or a
// shared library) and the offset of the throwing code in it. The "Application Error" box
// names them, as a failure's address does on Windows.
//
// Every throw passes through the C++ runtime's __cxa_throw, which each shell's source of this
// header intercepts (qt/throw_site.cpp: defined in the executable, handing on to the shared
// runtime's; win32/throw_site.cpp: the static link's --wrap); a rethrow keeps the original
// site.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace telvora::app {

struct ThrowSite {
    std::string module;         // file name of the module, without its folder
    std::uintptr_t offset = 0;  // of the throwing code from the module's load address
};

// The site of the exception object at `object` (the most derived object's address), when it
// was the last one thrown on this thread.
std::optional<ThrowSite> FindThrowSite(const void* object);

}  // namespace telvora::app
