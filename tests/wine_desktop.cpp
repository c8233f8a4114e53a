// wine_desktop.exe, started by scripts/test-windows.sh for the whole Windows suite: a user of
// the prefix's desktop from before the first test to after the last. wineserver closes a
// desktop one second after its last user has gone (and its explorer.exe then ends); without a
// user of its own, every window test's explorer would live on for that second, holding the
// test's output and CTest waiting for it. It holds a hidden window, says "ready" once the
// desktop is up, and waits until the prefix's wineserver is stopped.
#include <windows.h>

#include <cstdio>

int main() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TelvoraTestDesktopUser";
    RegisterClassW(&windowClass);
    // Its first window starts the desktop's explorer.exe and waits for it.
    if (CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                        windowClass.hInstance, nullptr) == nullptr) {
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
    return 0;
}
