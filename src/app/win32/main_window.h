// The main window frmMain in Win32: the callsign, the logs, the award, "Upload log" and the
// progress of a run, with the platform's own controls where it has them (EDIT, an owner-drawn
// LISTBOX, BUTTON, the common controls' status bar) and the program's own drawing for the
// panel, the progress bar and the awards drop-down. It owns the logger's databases and the
// HTTP client for the program's lifetime.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/lookup_list.h"
#include "app/upload_controller.h"
#include "app/win32/check_list_box.h"
#include "app/win32/fonts.h"
#include "app/win32/gradient_panel.h"
#include "app/win32/lookup_combo.h"
#include "app/win32/progress_bar.h"
#include "app/win32/window_proc.h"

namespace telvora::logdb {
class LoggerDatabases;
}
namespace telvora::districts {
class NetHTTPClient;
}

namespace telvora::app {

class FormStorageBinding;

// Where the window finds the outside world. Every empty field takes the program's own.
struct MainWindowOptions {
    // The executable whose folder holds Telvora.ini and ErrorList.txt and whose version record
    // the status bar shows; default the running executable.
    std::filesystem::path executablePath;
    // "https://host[:port]" of the district-list service (the program entry passes the built-in
    // host).
    std::string serviceBase;
    // Makes the HTTP client while the window's components are built; a failure there ends the
    // program with the "Application Error" box. Default: a districts::NetHTTPClient.
    std::function<std::unique_ptr<districts::NetHTTPClient>()> makeHttpClient;
    // Opens "ErrorList.txt"; default the shell's "open" of notepad.exe, owned by the window.
    // Its outcome is not examined.
    std::function<void(const std::filesystem::path&)> openErrorList;
};

class TfrmMain : public MessageTarget {
  public:
    static constexpr const wchar_t* kClassName = L"TfrmMain";
    static constexpr int kEdit1Id = 101;
    static constexpr int kCheckListBox1Id = 102;
    static constexpr int kStatusBarId = 103;
    static constexpr int kBtnUploadId = 104;

    // Builds the window and its components, hidden (a failure there is raised to the caller),
    // and then runs FormCreate (whose failure is shown by the default error handling).
    explicit TfrmMain(MainWindowOptions options = {});
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    HWND Handle() const { return hwnd_; }
    // The logical dpi the window is laid out for: its monitor's.
    UINT Dpi() const { return dpi_; }

    // ---- components, named as the window names them ----
    GradientPanel RzPanel1;  // with the labels Label1, Label2, Label3
    HWND Edit1 = nullptr;
    CheckListBox CheckListBox1;
    DbLookupCombo RxDBLookupCombo2;
    RoundProgressBar ProgressBar;
    HWND StatusBar = nullptr;
    HWND btnUpload = nullptr;

    logdb::LoggerDatabases& Databases() { return *databases_; }
    // The Id of the award chosen in RxDBLookupCombo2; empty at start.
    const std::string& SelectedAwardId() const { return selectedAwardId_; }
    // Telvora.ini: the window's position and the callsign, restored at the show and saved at
    // the close. Its file is named by FormCreate's first step.
    FormStorageBinding& FormStorage() { return *formStorage_; }
    const std::string& IniFileName() const;
    // The text of the status bar's panel 0 (without the tab that centres it).
    std::string StatusText() const;

    // True while "Upload log" runs (between the click and the end of the run).
    bool RunInProgress() const { return upload_->RunInProgress(); }

    // Called when a close has been allowed and the settings file saved: the program entry ends
    // its message loop there. The window itself goes with this object.
    std::function<void()> onClosed;
    bool Closed() const { return closed_; }

    // Shows the window (the settings file restores its place and the callsign first).
    void Show(int showCommand = SW_SHOWNORMAL);

    // What the window takes before the control with the focus does: Tab, from any control, goes
    // to the only tab stop. True when the message was taken.
    bool PreTranslateMessage(const MSG& message);

    // ---- services of the window for the credit update run ----
    // Handles every message waiting in the queue and returns.
    void ProcessMessages();
    // The modal "Warning" dialog centred on the screen, with one "OK" button.
    void ShowWarning(const std::string& text);

    // ---- handlers ----
    // The creation handler: settings file, databases, awards list, log names, version.
    void FormCreate();
    // The awards drop-down's change handler: SelectedAwardId := the current award's Id.
    void RxDBLookupCombo2Change();
    // "Upload log": the credit update run.
    void btnUploadClick();

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    class UploadWindow;
    class ButtonKeys;

    // The window's fonts at one display scale.
    struct Fonts {
        FontHandle standard;  // of every control the design gives no font
        FontHandle label;
        FontHandle cyrillicLabel;
        FontHandle edit1;
        FontHandle progressBar;
        FontHandle statusBar;
    };

    void BuildWindow();
    void BuildControls();
    // Places every control and makes every font for the monitor's logical dpi: the design's
    // pixels at 96 dots per inch, scaled as Windows scales a 96-dpi dialog.
    void LayOut(UINT dpi);
    void ShowVersion();
    void DestroyNow();

    MainWindowOptions options_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    Fonts fonts_;
    // The status bar's font is made bold by FormCreate's last step; it stays so at every scale.
    bool statusBarBold_ = false;
    std::unique_ptr<ButtonKeys> buttonKeys_;
    std::unique_ptr<logdb::LoggerDatabases> databases_;
    std::unique_ptr<QueryLookupList> DataSource1;
    std::unique_ptr<districts::NetHTTPClient> httpClient_;
    std::string selectedAwardId_;
    std::unique_ptr<FormStorageBinding> formStorage_;
    // "Upload log": one run at a time; a close during a run waits for its current entry.
    std::unique_ptr<UploadWindow> uploadWindow_;
    std::unique_ptr<UploadController> upload_;
    // The control that had the focus when the window was last deactivated.
    HWND lastFocus_ = nullptr;
    bool closed_ = false;
};

}  // namespace telvora::app
