// A "notepad.exe" for the end-to-end check: put in the prefix's place of Notepad for the run,
// it is what the shell's "open" of notepad.exe starts, and instead of showing a window it
// appends its command line, UTF-8, to the file named by TELVORA_NOTEPAD_LOG and ends.
#include <windows.h>

#include <cstdlib>
#include <fstream>

#include "platform/paths.h"
#include "platform/wide.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const wchar_t* log = _wgetenv(L"TELVORA_NOTEPAD_LOG");
    if (log == nullptr || *log == L'\0') {
        return 2;
    }
    std::ofstream(std::filesystem::path(log), std::ios::binary | std::ios::app)
        << telvora::platform::Narrow(commandLine) << "\r\n";
    return 0;
}
