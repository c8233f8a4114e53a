#include "app/win32/visual_style.h"

#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>

#include <map>

#include "app/message_box.h"
#include "app/win32/proc_address.h"
#include "platform/executable.h"
#include "platform/text.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

struct LoadedStyles {
    std::map<std::string, HANDLE> contexts;  // name as stored -> activation context
    std::string active;
};

LoadedStyles& Loaded() {
    static LoadedStyles styles;
    return styles;
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR names) {
    if (!IS_INTRESOURCE(name)) {
        reinterpret_cast<std::vector<std::string>*>(names)->push_back(platform::Narrow(name));
    }
    return TRUE;
}

bool Activate(const std::string& name, HANDLE context) {
    ULONG_PTR cookie = 0;
    // Never deactivated: the style stays for the thread's (the program's) life.
    if (!ActivateActCtx(context, &cookie)) {
        return false;
    }
    Loaded().active = name;
    return true;
}

}  // namespace

std::vector<std::string> StoredStyleNames() {
    std::vector<std::string> names;
    EnumResourceNamesW(GetModuleHandleW(nullptr), RT_MANIFEST, CollectName,
                       reinterpret_cast<LONG_PTR>(&names));
    return names;
}

std::string ActiveStyleName() {
    return Loaded().active;
}

bool TrySetStyle(const std::string& name) {
    for (const auto& [loaded, context] : Loaded().contexts) {
        if (platform::EqualsNoCase(loaded, name)) {
            return Activate(loaded, context);
        }
    }
    for (const std::string& stored : StoredStyleNames()) {
        if (!platform::EqualsNoCase(stored, name)) {
            continue;
        }
        const std::wstring module = platform::ExecutablePath().wstring();
        const std::wstring resource = platform::Wide(stored);
        ACTCTXW request{};
        request.cbSize = sizeof request;
        request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        request.lpSource = module.c_str();
        request.lpResourceName = resource.c_str();
        request.hModule = GetModuleHandleW(nullptr);
        HANDLE context = CreateActCtxW(&request);
        if (context == INVALID_HANDLE_VALUE) {
            continue;
        }
        Loaded().contexts[stored] = context;
        return Activate(stored, context);
    }
    return false;
}

void ApplyVisualStyle(const std::string& name) {
    if (!TrySetStyle(name)) {
        MessageRequest request;
        request.caption = "Error";
        request.icon = MessageIcon::Error;
        request.text = "Style '" + name + "' not found";
        request.buttons = {MessageButton::Close};
        ShowMessage(request);
    }
    // Loaded now, within the active context: its version registers the controls' classes.
    if (HMODULE controls = LoadLibraryW(L"comctl32.dll")) {
        using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
        const auto init = ProcAddress<InitFunction>(controls, "InitCommonControlsEx");
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
        if (init != nullptr) {
            init(&classes);
        }
    }
}

}  // namespace telvora::app
