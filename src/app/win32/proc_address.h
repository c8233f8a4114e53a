// A function of a loaded module looked up by name, for the functions that only newer Windows
// versions have (through the generic function pointer type, which any function pointer type
// converts to and from). Null when the module or the function is missing.
#pragma once

#include <windows.h>

namespace telvora::app {

template <typename Function>
Function ProcAddress(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace telvora::app
