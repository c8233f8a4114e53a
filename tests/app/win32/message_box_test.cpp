// The program's boxes as MessageBoxW shows them under Wine: a real box is found on the screen
// while it waits, read (caption, text, its one button) and closed with that button, and the
// style step's "Error" dialog, whose one button says "Close".
#include "app/message_box.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cwctype>
#include <thread>

#include "app/win32/visual_style.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

struct ShownBox {
    std::wstring caption;
    std::wstring text;
    std::wstring button;
    bool taskModal = false;
};

// Shows `request` in a real box on a thread of its own, reads the box once it is on the screen
// and presses its button.
ShownBox ShowAndRead(const app::MessageRequest& request) {
    const std::wstring caption = platform::Wide(request.caption);
    std::atomic<bool> done{false};
    std::thread shower([&] {
        app::ShowMessage(request);
        done = true;
    });
    ShownBox shown;
    HWND box = nullptr;
    // A loaded machine's Wine can take seconds to show it: looked for up to half a minute.
    for (int i = 0; i < 3000 && box == nullptr; ++i) {
        box = FindWindowW(L"#32770", caption.c_str());
        Sleep(10);
    }
    if (box != nullptr) {
        wchar_t text[512] = {};
        GetWindowTextW(box, text, 512);
        shown.caption = text;
        // The message is the box's static text (0xFFFF), its one button IDOK.
        GetDlgItemTextW(box, 0xFFFF, text, 512);
        shown.text = text;
        GetDlgItemTextW(box, IDOK, text, 512);
        shown.button = text;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    } else {
        // Nobody would press its button: a failure rather than a wait for ever (the box's
        // thread ends with the process).
        ADD_FAILURE() << "no box \"" << request.caption << "\" on the screen";
        shower.detach();
        return shown;
    }
    shower.join();
    EXPECT_TRUE(done);
    return shown;
}

TEST(Win32MessageBoxTest, RealBoxShowsCaptionTextAndItsOneButton) {
    const struct {
        app::MessageButton button;
        const wchar_t* label;
    } cases[] = {{app::MessageButton::Ok, L"OK"}, {app::MessageButton::Close, L"Close"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(platform::Narrow(c.label));
        app::MessageRequest request;
        request.caption = "Telvora test box";
        request.icon = app::MessageIcon::Error;
        request.text = "Style 'Nowhere' not found";
        request.buttons = {c.button};
        const ShownBox shown = ShowAndRead(request);
        EXPECT_EQ(shown.caption, L"Telvora test box");
        EXPECT_EQ(shown.text, L"Style 'Nowhere' not found");
        EXPECT_EQ(shown.button, c.label);
    }
}

// The module whose code serves a window of `className` made now: user32 for the platform's own
// look, comctl32 for the common controls' version 6 (whose BUTTON, EDIT and LISTBOX those of
// user32 give way to).
std::wstring ClassModule(const wchar_t* className) {
    HWND window = CreateWindowExW(0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    const auto procedure = reinterpret_cast<LPCWSTR>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    HMODULE module = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            procedure, &module)) {
        GetModuleFileNameW(module, path, MAX_PATH);
    }
    DestroyWindow(window);
    std::wstring name = path;
    name = name.substr(name.find_last_of(L"\\") + 1);
    for (wchar_t& c : name) {
        c = static_cast<wchar_t>(towlower(c));
    }
    return name;
}

TEST(Win32MessageBoxTest, MissingStyleShowsTheErrorDialogWithACloseButton) {
    app::RecordedMessages boxes;
    EXPECT_FALSE(app::TrySetStyle("Aqua Dark Slate"));
    app::ApplyVisualStyle("Aqua Dark Slate");
    ASSERT_EQ(boxes.requests().size(), 1u);
    const app::MessageRequest& box = boxes.requests().front();
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, app::MessageIcon::Error);
    EXPECT_EQ(box.text, "Style 'Aqua Dark Slate' not found");
    EXPECT_EQ(box.buttons, std::vector<app::MessageButton>{app::MessageButton::Close});
    EXPECT_EQ(app::ActiveStyleName(), "") << "the platform's own look goes on";
    for (const wchar_t* control : {L"Button", L"Edit", L"ListBox"}) {
        EXPECT_EQ(ClassModule(control), L"user32.dll") << platform::Narrow(control);
    }
}

TEST(Win32MessageBoxTest, StoredStyleIsFoundWithoutRegardToCaseAndBringsCommonControlsSix) {
    EXPECT_EQ(app::StoredStyleNames(), std::vector<std::string>{"AQUA LIGHT SLATE"});
    app::RecordedMessages boxes;
    app::ApplyVisualStyle("aqua light SLATE");
    EXPECT_TRUE(boxes.requests().empty());
    EXPECT_EQ(app::ActiveStyleName(), "AQUA LIGHT SLATE");
    for (const wchar_t* control : {L"Button", L"Edit", L"ListBox"}) {
        EXPECT_EQ(ClassModule(control), L"comctl32.dll")
            << platform::Narrow(control) << " of the common controls' version 6";
    }
    // Loaded once, found again among the loaded ones.
    EXPECT_TRUE(app::TrySetStyle(app::kVisualStyleName));
}

}  // namespace
}  // namespace telvora::test
