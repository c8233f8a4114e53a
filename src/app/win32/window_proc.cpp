#include "app/win32/window_proc.h"

#include <set>

#include "app/error_handling.h"
#include "platform/error.h"
#include "platform/system_message.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

constexpr wchar_t kSubclassProperty[] = L"Telvora.Subclass";

LRESULT CALLBACK OwnWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<MessageTarget*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (target == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The object may be gone before the window: nothing reaches it after this.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    try {
        return target->HandleMessage(hwnd, message, wParam, lParam);
    } catch (...) {
        HandleException(std::current_exception());
        return 0;
    }
}

void Register(const WindowClass& windowClass) {
    static std::set<std::wstring> registered;
    if (registered.count(windowClass.name) != 0) {
        return;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = windowClass.style;
    wc.lpfnWndProc = OwnWindowProcedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor =
        windowClass.cursor != nullptr ? windowClass.cursor : LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = windowClass.background;
    wc.hIcon = windowClass.icon;
    wc.hIconSm = windowClass.smallIcon;
    wc.lpszClassName = windowClass.name;
    if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        ThrowLastError("RegisterClassEx");
    }
    registered.insert(windowClass.name);
}

}  // namespace

void ThrowLastError(const char* what) {
    throw Error(std::string(what) + ": " + platform::SystemMessage(GetLastError()));
}

HWND CreateOwnWindow(MessageTarget& target, const WindowClass& windowClass, DWORD exStyle,
                     const wchar_t* title, DWORD style, int x, int y, int width, int height,
                     HWND parent, HMENU menuOrId) {
    Register(windowClass);
    HWND hwnd = CreateWindowExW(exStyle, windowClass.name, title, style, x, y, width, height,
                                parent, menuOrId, GetModuleHandleW(nullptr), &target);
    if (hwnd == nullptr) {
        ThrowLastError("CreateWindowEx");
    }
    return hwnd;
}

HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int x,
                   int y, int width, int height, HWND parent, int id) {
    HWND hwnd = CreateWindowExW(
        exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd == nullptr) {
        ThrowLastError("CreateWindowEx");
    }
    return hwnd;
}

Subclass::~Subclass() {
    Detach();
}

void Subclass::Attach(HWND hwnd, MessageTarget& target) {
    Detach();
    hwnd_ = hwnd;
    target_ = &target;
    SetPropW(hwnd, kSubclassProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Subclass::Procedure)));
}

void Subclass::Detach() {
    if (hwnd_ == nullptr) {
        return;
    }
    if (IsWindow(hwnd_)) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(hwnd_, kSubclassProperty);
    }
    hwnd_ = nullptr;
    target_ = nullptr;
}

LRESULT Subclass::CallOriginal(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const {
    return CallWindowProcW(original_, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Subclass::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Subclass*>(GetPropW(hwnd, kSubclassProperty));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        const WNDPROC original = self->original_;
        self->Detach();
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    try {
        return self->target_->HandleMessage(hwnd, message, wParam, lParam);
    } catch (...) {
        HandleException(std::current_exception());
        return 0;
    }
}

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
    return platform::Narrow(text);
}

void SetWindowTextUtf8(HWND hwnd, const std::string& text) {
    SetWindowTextW(hwnd, platform::Wide(text).c_str());
}

}  // namespace telvora::app
