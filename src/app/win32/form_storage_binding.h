// FormStorage on a real Win32 window: the platform's own GetWindowPlacement and
// SetWindowPlacement, the primary screen from GetSystemMetrics, the logical dots per inch of the
// monitor the window is made on (read once, here), and the window's components by name.
//
// The window routes its events to Storage(): FormShow() just before it first becomes visible,
// FormCloseQuery() when a close is allowed, FormDestroy() before the window goes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/win32/dpi.h"
#include "settings/form_storage.h"

namespace telvora::app {

class FormStorageBinding : public settings::FormWindow {
  public:
    // A component by name; its text is its window text when it has a window.
    struct Component {
        std::string name;
        HWND window = nullptr;
    };

    FormStorageBinding(HWND window, std::string className, std::vector<Component> components,
                       settings::ErrorHandler onError);

    settings::FormStorage& Storage() { return storage_; }

    // settings::FormWindow
    std::string ClassName() const override { return className_; }
    platform::WindowPlacement GetWindowPlacement() const override;
    void SetWindowPlacement(const platform::WindowPlacement& placement) override;
    bool IsWindowVisible() const override;
    bool HandleAllocated() const override;
    bool IsApplicationIconic() const override;
    int ScreenWidth() const override;
    int ScreenHeight() const override;
    std::optional<std::string> FindComponent(const std::string& name) const override;
    std::string ComponentText(const std::string& component) const override;
    void SetComponentText(const std::string& component, const std::string& text) override;

  private:
    HWND TextWindow(const std::string& component) const;

    HWND window_;
    std::string className_;
    std::vector<Component> components_;
    settings::FormStorage storage_;
};

}  // namespace telvora::app
