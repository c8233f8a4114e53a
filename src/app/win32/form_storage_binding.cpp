#include "app/win32/form_storage_binding.h"

#include "app/win32/window_proc.h"
#include "platform/error.h"
#include "platform/text.h"

namespace telvora::app {

FormStorageBinding::FormStorageBinding(HWND window, std::string className,
                                       std::vector<Component> components,
                                       settings::ErrorHandler onError)
    : window_(window),
      className_(std::move(className)),
      components_(std::move(components)),
      storage_(*this, static_cast<int>(WindowDpi(window)), std::move(onError)) {
    storage_.Loaded();
}

platform::WindowPlacement FormStorageBinding::GetWindowPlacement() const {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    if (!::GetWindowPlacement(window_, &wp)) {
        ThrowLastError("GetWindowPlacement");
    }
    platform::WindowPlacement placement;
    placement.flags = wp.flags;
    placement.showCmd = wp.showCmd;
    placement.ptMinPosition = {wp.ptMinPosition.x, wp.ptMinPosition.y};
    placement.ptMaxPosition = {wp.ptMaxPosition.x, wp.ptMaxPosition.y};
    placement.rcNormalPosition = {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                                  wp.rcNormalPosition.right, wp.rcNormalPosition.bottom};
    return placement;
}

void FormStorageBinding::SetWindowPlacement(const platform::WindowPlacement& placement) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof wp;
    wp.flags = placement.flags;
    wp.showCmd = placement.showCmd;
    wp.ptMinPosition = {placement.ptMinPosition.x, placement.ptMinPosition.y};
    wp.ptMaxPosition = {placement.ptMaxPosition.x, placement.ptMaxPosition.y};
    const platform::Rect& rc = placement.rcNormalPosition;
    wp.rcNormalPosition = {rc.left, rc.top, rc.right, rc.bottom};
    if (!::SetWindowPlacement(window_, &wp)) {
        ThrowLastError("SetWindowPlacement");
    }
}

bool FormStorageBinding::IsWindowVisible() const {
    return ::IsWindowVisible(window_) != FALSE;
}

bool FormStorageBinding::HandleAllocated() const {
    return window_ != nullptr && IsWindow(window_);
}

bool FormStorageBinding::IsApplicationIconic() const {
    // The main window is the application's own window here.
    return IsIconic(window_) != FALSE;
}

int FormStorageBinding::ScreenWidth() const {
    return GetSystemMetrics(SM_CXSCREEN);
}

int FormStorageBinding::ScreenHeight() const {
    return GetSystemMetrics(SM_CYSCREEN);
}

std::optional<std::string> FormStorageBinding::FindComponent(const std::string& name) const {
    for (const Component& component : components_) {
        if (platform::EqualsNoCase(component.name, name)) {
            return component.name;
        }
    }
    return std::nullopt;
}

HWND FormStorageBinding::TextWindow(const std::string& component) const {
    for (const Component& candidate : components_) {
        if (candidate.name == component) {
            if (candidate.window == nullptr) {
                throw Error(Format("Component %s has no text", component.c_str()));
            }
            return candidate.window;
        }
    }
    throw Error(Format("Component %s not found", component.c_str()));
}

std::string FormStorageBinding::ComponentText(const std::string& component) const {
    return WindowText(TextWindow(component));
}

void FormStorageBinding::SetComponentText(const std::string& component, const std::string& text) {
    SetWindowTextUtf8(TextWindow(component), text);
}

}  // namespace telvora::app
