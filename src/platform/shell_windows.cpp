#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <string>

#include "platform/shell.h"

namespace telvora::platform {
namespace {

// The system's own Notepad by its full path. A bare "notepad.exe" is looked for in the
// program's own folder first, so a file of that name beside Telvora.exe would run instead.
// The system folder (GetSystemDirectoryW) is where Windows keeps the programs it ships; for a
// 32-bit program on 64-bit Windows the file system redirects it to SysWOW64, whose Notepad is
// the 32-bit one.
std::wstring SystemNotepad() {
    // The first call gives the size with the terminating zero, the second the folder.
    std::wstring folder(GetSystemDirectoryW(nullptr, 0), L'\0');
    const UINT length = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    folder.resize(length < folder.size() ? length : 0);
    return folder + L"\\notepad.exe";
}

}  // namespace

void OpenInNotepad(const std::filesystem::path& file, void* ownerWindow) {
    ShellExecuteW(static_cast<HWND>(ownerWindow), L"open", SystemNotepad().c_str(), file.c_str(),
                  nullptr, SW_SHOWNORMAL);
}

}  // namespace telvora::platform
