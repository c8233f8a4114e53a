#include "platform/user_files.h"

namespace telvora::platform {

// The program runs from a folder the user chose and can write: the files stay beside it.
std::filesystem::path SettingsFile(const std::filesystem::path& executable) {
    return executable.parent_path() / L"Telvora.ini";
}

std::filesystem::path ErrorListFile(const std::filesystem::path& executable) {
    return executable.parent_path() / L"ErrorList.txt";
}

}  // namespace telvora::platform
