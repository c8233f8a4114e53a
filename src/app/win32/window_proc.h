// The procedures of the shell's windows: every message goes to a C++ object, and a failure that
// leaves its handler goes to the default error handling there, so that it never unwinds through
// the system's frames (the platform's message loop and dialog code).
#pragma once

#include <windows.h>

#include <string>

namespace telvora::app {

class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    virtual LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

struct WindowClass {
    const wchar_t* name;
    UINT style = 0;
    HCURSOR cursor = nullptr;  // the arrow when null
    HBRUSH background = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
};

// Creates a window of one of our own classes (registered at its first use); its messages go to
// `target` from WM_NCCREATE on. Throws telvora::Error with the system's reason when the window
// cannot be made.
HWND CreateOwnWindow(MessageTarget& target, const WindowClass& windowClass, DWORD exStyle,
                     const wchar_t* title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menuOrId);

// Lets a window of another class (the platform's controls) send its messages to `target` first;
// the target hands what it does not take on with CallOriginal.
class Subclass {
  public:
    Subclass() = default;
    Subclass(const Subclass&) = delete;
    Subclass& operator=(const Subclass&) = delete;
    ~Subclass();

    void Attach(HWND hwnd, MessageTarget& target);
    void Detach();
    LRESULT CallOriginal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;

  private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    MessageTarget* target_ = nullptr;
    WNDPROC original_ = nullptr;
};

// The painting messages of a window that paints itself whole with `paint(HDC)`: WM_ERASEBKGND
// (nothing to erase), WM_PAINT, and WM_PRINTCLIENT (into the device context it hands in, so
// that a child's picture can have its parent under it). True when `message` was one of them.
template <typename Paint>
bool HandlePainting(HWND hwnd, UINT message, WPARAM wParam, Paint&& paint) {
    switch (message) {
        case WM_ERASEBKGND:
            return true;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            paint(dc);
            EndPaint(hwnd, &ps);
            return true;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            return true;
        default:
            return false;
    }
}

// Creates a control of the platform (EDIT, BUTTON, LISTBOX, the status bar) as a child.
HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int x,
                   int y, int width, int height, HWND parent, int id);

// The window's text as UTF-8.
std::string WindowText(HWND hwnd);
void SetWindowTextUtf8(HWND hwnd, const std::string& text);

// Throws telvora::Error("<what>: <the system's reason>") for GetLastError().
[[noreturn]] void ThrowLastError(const char* what);

}  // namespace telvora::app
