#include "app/win32/message_box.h"

#include <windows.h>

#include <cwchar>

#include "platform/wide.h"

namespace telvora::app {
namespace {

UINT IconFlag(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return MB_ICONINFORMATION;
        case MessageIcon::Warning:
            return MB_ICONWARNING;
        case MessageIcon::Error:
            return MB_ICONERROR;
        case MessageIcon::Question:
            return MB_ICONQUESTION;
        case MessageIcon::None:
            break;
    }
    return 0;
}

// MessageBoxW has no box whose one button says "Close": its OK button is relabelled while the
// box is made, by a hook on this thread's window activations.
thread_local HHOOK relabelHook = nullptr;

LRESULT CALLBACK RelabelOk(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        SetDlgItemTextW(reinterpret_cast<HWND>(wParam), IDOK, L"Close");
    }
    return CallNextHookEx(relabelHook, code, wParam, lParam);
}

// The box has one button (OK, or Close): the request's first.
MessageButton ShowRealBox(const MessageRequest& request) {
    const MessageButton button = FirstButton(request.buttons);
    HWND owner = static_cast<HWND>(request.owner);
    UINT flags = MB_OK | IconFlag(request.icon) | MB_SETFOREGROUND;
    if (owner == nullptr) {
        // Centred on the screen; every window of the program waits for it.
        flags |= MB_TASKMODAL;
    }
    if (button == MessageButton::Close) {
        relabelHook = SetWindowsHookExW(WH_CBT, RelabelOk, nullptr, GetCurrentThreadId());
    }
    MessageBoxW(owner, platform::Wide(request.text).c_str(),
                platform::Wide(request.caption).c_str(), flags);
    if (relabelHook != nullptr) {
        UnhookWindowsHookEx(relabelHook);
        relabelHook = nullptr;
    }
    return button;
}

}  // namespace

MessageButton ShowMessage(const MessageRequest& request) {
    if (const MessageHook& hook = CurrentMessageHook()) {
        return hook(request);
    }
    return ShowRealBox(request);
}

void InstallTestMessageLog() {
    // Read as UTF-16: the file's name is never narrowed through the code page.
    const wchar_t* file = _wgetenv(platform::Wide(kTestMessageLogVariable).c_str());
    if (file != nullptr && *file != L'\0') {
        InstallMessageLog(file);
    }
}

}  // namespace telvora::app
