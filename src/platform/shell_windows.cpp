#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include "platform/shell.h"

namespace telvora::platform {

void OpenInNotepad(const std::filesystem::path& file, void* ownerWindow) {
    ShellExecuteW(static_cast<HWND>(ownerWindow), L"open", L"notepad.exe", file.c_str(), nullptr,
                  SW_SHOWNORMAL);
}

}  // namespace telvora::platform
