#include "app/win32/program.h"

#include <objbase.h>

#include <cwchar>
#include <memory>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/win32/message_box.h"
#include "app/win32/visual_style.h"
#include "platform/executable.h"
#include "platform/paths.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

bool CloseAfterShow() {
    const wchar_t* value = _wgetenv(platform::Wide(kTestCloseAfterShowVariable).c_str());
    return value != nullptr && std::wcscmp(value, L"1") == 0;
}

// COM for this thread as a single-threaded apartment, for the program's life.
class ComApartment {
  public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool initialised_;
};

}  // namespace

int RunProgram(int showCommand, MainWindowOptions options) {
    // 1. COM for the user-interface thread; the database access depends on it.
    ComApartment apartment;
    SetApplicationTitle(ApplicationTitleFor(platform::PathToUtf8(platform::ExecutablePath())));
    InstallTestMessageLog();

    // 2. There is no hidden application window: the main window, unowned and with
    // WS_EX_APPWINDOW, owns the taskbar button (main_window.cpp).
    // 3. The visual style.
    ApplyVisualStyle(kVisualStyleName);

    // 4. The main window.
    std::unique_ptr<TfrmMain> window;
    try {
        window = std::make_unique<TfrmMain>(std::move(options));
    } catch (...) {
        ShowApplicationError(std::current_exception());
        return 1;
    }
    window->onClosed = [] { PostQuitMessage(0); };

    // 5. Show it and run the message loop until it is closed.
    window->Show(showCommand);
    if (CloseAfterShow()) {
        PostMessageW(window->Handle(), WM_CLOSE, 0, 0);
    }
    MSG message{};
    int code = 0;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            code = static_cast<int>(message.wParam);
            break;
        }
        if (got == -1) {
            code = 1;
            break;
        }
        try {
            if (!window->PreTranslateMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        } catch (...) {
            HandleException(std::current_exception());
        }
    }
    // The destruction: the settings file is saved again when the close did not complete it.
    window.reset();
    return code;
}

}  // namespace telvora::app
