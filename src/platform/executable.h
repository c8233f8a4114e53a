// The running program's own file (its folder holds Telvora.ini and ErrorList.txt).
#pragma once

#include <filesystem>

namespace telvora::platform {

// The full path of the executable file of this process (GetModuleFileNameW on Windows,
// /proc/self/exe on Linux); empty when the system does not say.
std::filesystem::path ExecutablePath();

}  // namespace telvora::platform
