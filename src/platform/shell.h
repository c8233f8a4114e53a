// The shell's "open" request: the error list opened for the user to read.
#pragma once

#include <filesystem>

namespace telvora::platform {

// Asks the shell to open `file` in Notepad (ShellExecuteW "open" of the system folder's
// notepad.exe with the file as its argument, owned by `ownerWindow` (an HWND, or null), shown
// normally); on Linux the desktop's editor for it (xdg-open). Returns at once; the outcome is not
// examined.
void OpenInNotepad(const std::filesystem::path& file, void* ownerWindow);

}  // namespace telvora::platform
