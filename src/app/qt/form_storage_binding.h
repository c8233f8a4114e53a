// FormStorage on a real Qt window: the window's placement and components in
// the terms FormStorage uses, and the window's show, close and destruction
// routed to it.
//
// Use: create it in the window's constructor once the controls exist (the
// callsign box is found by its objectName "Edit1" then), set the file with
// Storage().SetIniFileName() as the first step of FormCreate, and call
// WindowDestroying() first thing in the window's destructor.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

#include "settings/form_storage.h"

namespace telvora::app {

class FormStorageBinding : public QObject, public settings::FormWindow {
  public:
    // `window`: a top-level widget. `onError`: the application's default
    // error handling. `className` names the settings section; empty means the
    // window's own class name without its namespace ("TfrmMain").
    // The screen's logical dots per inch are read here, once.
    FormStorageBinding(QWidget& window, settings::ErrorHandler onError, std::string className = {});
    ~FormStorageBinding() override;

    settings::FormStorage& Storage() { return storage_; }

    // The window is being destroyed: saves when the close did not.
    void WindowDestroying();

    // Show (before the window becomes visible) restores; Close saves.
    bool eventFilter(QObject* watched, QEvent* event) override;

    // settings::FormWindow
    std::string ClassName() const override;
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
    QWidget& Window() const;
    QObject* Component(const std::string& name) const;

    QPointer<QWidget> window_;
    std::string className_;
    platform::Point minPosition_{-1, -1};
    platform::Point maxPosition_{-1, -1};
    settings::FormStorage storage_;
};

}  // namespace telvora::app
