// Shared helpers of the Win32 shell's tests: they drive the real windows under Wine (on the
// X server of scripts/test-windows.sh) with input through the system's own queue (SetCursorPos
// and SendInput, as a user's mouse and keyboard arrive), pump the queue as the message loop
// does, and read back what the window shows on the screen.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/message_box.h"
#include "app/pictures.h"
#include "app/win32/main_window.h"
#include "app/win32/offscreen_picture.h"
#include "app/window_design.h"
#include "platform/executable.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "temp_dir.h"

namespace telvora::test {

// Handles every message waiting (through the window's own keys first, when given), as the
// message loop does, until the queue stays empty.
inline void Pump(app::TfrmMain* window = nullptr) {
    for (int round = 0; round < 3; ++round) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (window == nullptr || !window->PreTranslateMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        // Input that the X server still holds reaches the queue within a moment.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

inline POINT ScreenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

// A mouse event at a screen point: the position travels with the event (absolute, in the
// 0..65535 units of the primary screen), so it never depends on where an earlier move has got
// to by then.
inline void SendMouseAt(POINT screen, DWORD flags) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((screen.x * 65536LL + width - 1) / width);
    input.mi.dy = static_cast<LONG>((screen.y * 65536LL + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    SendInput(1, &input, sizeof input);
}

inline void MoveMouse(POINT screen) {
    SendMouseAt(screen, 0);
}

// A left click at client point (x, y) of `window`.
inline void Click(HWND window, int x, int y, app::TfrmMain* pump = nullptr) {
    const POINT at = ScreenPoint(window, x, y);
    MoveMouse(at);
    Pump(pump);
    SendMouseAt(at, MOUSEEVENTF_LEFTDOWN);
    Pump(pump);
    SendMouseAt(at, MOUSEEVENTF_LEFTUP);
    Pump(pump);
}

inline void SendKey(WORD virtualKey, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    SendInput(1, &input, sizeof input);
}

// A key pressed and released, with Alt held when `alt`.
inline void PressKey(WORD virtualKey, bool alt = false, app::TfrmMain* pump = nullptr) {
    if (alt) {
        SendKey(VK_MENU, false);
    }
    SendKey(virtualKey, false);
    SendKey(virtualKey, true);
    if (alt) {
        SendKey(VK_MENU, true);
    }
    Pump(pump);
}

// Characters typed (KEYEVENTF_UNICODE: whatever the keyboard layout).
inline void TypeText(const std::wstring& text, app::TfrmMain* pump = nullptr) {
    for (wchar_t c : text) {
        INPUT input[2]{};
        for (int i = 0; i < 2; ++i) {
            input[i].type = INPUT_KEYBOARD;
            input[i].ki.wScan = c;
            input[i].ki.dwFlags = KEYEVENTF_UNICODE | (i == 1 ? KEYEVENTF_KEYUP : 0);
        }
        SendInput(2, input, sizeof input[0]);
        Pump(pump);
    }
}

// Makes `window` the active, foreground window, as a user's click on it would.
inline void Activate(HWND window) {
    SetForegroundWindow(window);
    SetActiveWindow(window);
    Pump();
}

// The client area of `window` as the screen shows it.
inline app::RgbImage CaptureClient(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    HDC screen = GetDC(nullptr);
    app::OffscreenPicture picture(screen, client.right, client.bottom);
    const POINT origin = ScreenPoint(window, 0, 0);
    BitBlt(picture.Dc(), 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    ReleaseDC(nullptr, screen);
    return picture.Image();
}

// A control's rectangle in the client coordinates of `parent`.
inline RECT RectIn(HWND control, HWND parent) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// The window's controls with their places and fonts as designed, at 96 dots per inch (the
// status bar's font is the system's).
struct DesignedControl {
    const char* name;
    HWND control;
    app::design::Place place;
    const app::design::Font* font;
};

inline std::vector<DesignedControl> DesignedControls(const app::TfrmMain& frm) {
    namespace design = app::design;
    return {
        {"Edit1", frm.Edit1, design::kEdit1, &design::kEdit1Font},
        {"RxDBLookupCombo2", frm.RxDBLookupCombo2.Handle(), design::kRxDBLookupCombo2,
         &design::kDefaultFont},
        {"CheckListBox1", frm.CheckListBox1.Handle(), design::kCheckListBox1,
         &design::kDefaultFont},
        {"ProgressBar", frm.ProgressBar.Handle(), design::kProgressBar, &design::kProgressBarFont},
        {"btnUpload", frm.btnUpload, design::kBtnUpload, &design::kBtnUploadFont},
        {"StatusBar", frm.StatusBar, design::kStatusBar, nullptr},
    };
}

// The panel painted alone (without its children) into a picture of its size.
inline app::RgbImage PrintPanel(HWND panel) {
    RECT client{};
    GetClientRect(panel, &client);
    HDC screen = GetDC(nullptr);
    app::OffscreenPicture picture(screen, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    SendMessageW(panel, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Dc()), PRF_CLIENT);
    return picture.Image();
}

// The box of the progress bar's percentage text at `position` (where the text's pixels lie), in
// the bar's client coordinates: its font's extent of the text, centred on the bar.
inline RECT ProgressTextBox(HWND bar, int position) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
    RECT client{};
    GetClientRect(bar, &client);
    const std::wstring text = platform::Wide(app::ProgressText(position));
    HDC dc = GetDC(bar);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(bar, dc);
    const app::TextOrigin origin =
        app::ProgressTextOrigin(client.right, client.bottom, size.cx, size.cy);
    return {origin.left, origin.top, origin.left + size.cx, origin.top + size.cy};
}

inline std::wstring ClassNameOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

// The logger's installation folder in the current user's registry; the logger writes it with
// the closing "\".
inline void SetInstallPath(const std::filesystem::path& folder) {
    const std::wstring value = folder.wstring() + L"\\";
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvex", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, nullptr);
    RegSetValueExW(key, L"InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

#ifdef TELVORA_SAMPLE_LOGGER_DIR
// The generator's installation and list, made by the fixture test win32_sample_logger.
inline const std::filesystem::path kSampleLogger =
    platform::PathFromUtf8(TELVORA_SAMPLE_LOGGER_DIR);
#endif

// A copy of the generator's installation (`sample`) in `folder`, for one test alone, named in
// the registry as the logger's.
inline void InstallLoggerCopy(const std::filesystem::path& sample,
                              const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "db");
    for (const char* file : {"logs.mdb", "awards.mdb"}) {
        std::filesystem::copy_file(sample / "db" / file, folder / "db" / file);
    }
    SetInstallPath(folder);
}

// The main window of a test: this test's own executable (its folder gets Telvora.ini),
// every box recorded, "ErrorList.txt"'s opening recorded instead of starting Notepad.
class MainWindowTest : public ::testing::Test {
  protected:
    app::MainWindowOptions Options() {
        app::MainWindowOptions options;
        options.executablePath = dir.path() / "Telvora.exe";
        options.serviceBase = "https://127.0.0.1:9";
        options.openErrorList = [this](const std::filesystem::path& file) {
            openedErrorLists.push_back(file);
        };
        return options;
    }

    // Builds and shows the window and makes it the active one.
    app::TfrmMain& ShowWindow() {
        window = std::make_unique<app::TfrmMain>(Options());
        window->Show();
        Activate(window->Handle());
        Pump(window.get());
        return *window;
    }

    void TearDown() override {
        window.reset();
        Pump();
    }

    TempDir dir;
    app::RecordedMessages boxes;
    std::vector<std::filesystem::path> openedErrorLists;
    std::unique_ptr<app::TfrmMain> window;
};

}  // namespace telvora::test
