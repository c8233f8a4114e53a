// A "notepad.exe" for the end-to-end check: put in the prefix's place of Notepad for the run
// (and beside Telvora.exe, where only a bare name would find it), it is what the shell's "open"
// request starts, and instead of showing a window it appends a line to the file named by
// TELVORA_NOTEPAD_LOG and ends: the file it was started from, a tab, its arguments (UTF-8).
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    const wchar_t* log = _wgetenv(L"TELVORA_NOTEPAD_LOG");
    if (log == nullptr || *log == L'\0') {
        return 2;
    }
    std::wstring self(MAX_PATH * 4, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size())));
    std::ofstream(std::filesystem::path(log), std::ios::binary | std::ios::app)
        << telvora::platform::Narrow(self) << '\t' << telvora::platform::Narrow(arguments)
        << "\r\n";
    return 0;
}
