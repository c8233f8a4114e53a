// FormStorage: the main window's settings file. It brings back the window's
// position and the callsign just before the window first shows, and writes
// them when the window closes (and again at its destruction when that save did
// not complete).
//
// The rules are plain C++ over FormWindow, the little that FormStorage needs
// of a window; the Qt window implements it in src/app.
#pragma once

#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_placement.h"

namespace telvora::settings {

// What FormStorage needs of the window it belongs to.
class FormWindow {
  public:
    virtual ~FormWindow() = default;

    // The window's class name; the settings section is named after it.
    virtual std::string ClassName() const = 0;

    virtual platform::WindowPlacement GetWindowPlacement() const = 0;
    // Moves the window to the placement's normal rectangle. Neither shows nor
    // hides it.
    virtual void SetWindowPlacement(const platform::WindowPlacement& placement) = 0;

    // Whether the window is on screen; false during its show event.
    virtual bool IsWindowVisible() const = 0;
    // Whether the window has its native window yet.
    virtual bool HandleAllocated() const = 0;
    // Whether this window is the application's main window and the
    // application as a whole is minimised.
    virtual bool IsApplicationIconic() const = 0;

    // The primary screen in pixels.
    virtual int ScreenWidth() const = 0;
    virtual int ScreenHeight() const = 0;

    // The name of the window's component called `name` (any case), or nullopt.
    virtual std::optional<std::string> FindComponent(const std::string& name) const = 0;
    // The text of a component found by FindComponent (UTF-8). May throw.
    virtual std::string ComponentText(const std::string& component) const = 0;
    virtual void SetComponentText(const std::string& component, const std::string& text) = 0;
};

class IniProfile;

// The application's default error handling: shows the failure to the user.
using ErrorHandler = std::function<void(std::exception_ptr)>;

class FormStorage {
  public:
    // The number written as "FormVersion"; a stored number below it restores
    // nothing.
    static constexpr int kVersion = 0;

    // One "Component.Property" entry of StoredProps, resolved.
    struct StoredProp {
        std::string component;
        std::string property;
    };

    // `pixelsPerInch`: the screen's logical pixels per inch (vertical), read
    // once at program start-up. `onError` receives every failure of a restore
    // or a save started by the window's events.
    FormStorage(FormWindow& window, int pixelsPerInch, ErrorHandler onError);

    FormStorage(const FormStorage&) = delete;
    FormStorage& operator=(const FormStorage&) = delete;

    // The settings file. Set once when the window is created; the file is not
    // touched then.
    void SetIniFileName(std::string fileName) { iniFileName_ = std::move(fileName); }
    const std::string& IniFileName() const { return iniFileName_; }

    // The section; empty means the window's class name.
    void SetIniSection(std::string section) { iniSection_ = std::move(section); }
    std::string IniSection() const;

    void SetActive(bool active) { active_ = active; }
    bool Active() const { return active_; }

    // "Component.Property" entries; resolved by Loaded().
    void SetStoredProps(std::vector<std::string> entries) { storedProps_ = std::move(entries); }
    const std::vector<std::string>& StoredProps() const { return storedProps_; }
    const std::vector<StoredProp>& ResolvedProps() const { return resolved_; }

    // The window has been loaded: resolve StoredProps against its components.
    // Entries without a dot, with an empty part, naming a missing component or
    // a property other than Text are dropped.
    void Loaded();

    // Reads the file and applies it to the window. Raises on failure.
    void RestoreFormPlacement();
    // Writes the file. Raises telvora::Error "Unable to write to %s" when a
    // write is refused; the keys after it are not written.
    void SaveFormPlacement();

    // The window's events. Failures go to the error handler; the show, the
    // close and the destruction go on.
    void FormShow();
    bool FormCloseQuery();  // always allows the close
    void FormDestroy() noexcept;

    bool Restored() const { return restored_; }      // FRestored
    bool Saved() const { return saved_; }            // FSaved
    bool Destroying() const { return destroying_; }  // FDestroying

  private:
    void ReadAndApplyPosition(const IniProfile& ini);
    void RestoreStoredProps(const IniProfile& ini);
    void TidyPlacement();
    std::string ScreenSuffix() const;
    void HandleError(std::exception_ptr error) const;
    template <class F>
    void Guarded(F&& action) const;

    FormWindow& window_;
    const int pixelsPerInch_;
    ErrorHandler onError_;

    std::string iniFileName_;
    std::string iniSection_;
    bool active_ = true;
    std::vector<std::string> storedProps_{"Edit1.Text"};
    std::vector<StoredProp> resolved_;

    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
};

}  // namespace telvora::settings
