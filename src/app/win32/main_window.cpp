#include "app/win32/main_window.h"

#include <commctrl.h>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/version_text.h"
#include "app/win32/dpi.h"
#include "app/win32/form_storage_binding.h"
#include "app/window_design.h"
#include "districts/net_http_client.h"
#include "logdb/locate_databases.h"
#include "logdb/logger_databases.h"
#include "platform/executable.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/version_record.h"
#include "platform/wide.h"

namespace telvora::app {
namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// The system's status-bar font at `dpi`, bold when asked.
FontHandle StatusBarFont(UINT dpi, bool bold) {
    NONCLIENTMETRICSW metrics{};
    if (!NonClientMetricsForDpi(metrics, dpi)) {
        return nullptr;
    }
    if (bold) {
        metrics.lfStatusFont.lfWeight = FW_BOLD;
    }
    return FontHandle(CreateFontIndirectW(&metrics.lfStatusFont));
}

HICON LoadMainIcon(int metricX, int metricY) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY),
                                         LR_DEFAULTCOLOR));
}

}  // namespace

// The window's services for "Upload log".
class TfrmMain::UploadWindow : public UploadShell {
  public:
    explicit UploadWindow(TfrmMain& window) : window_(window) {}
    void SetProgress(int position) override { window_.ProgressBar.SetPosition(position); }
    void ProcessMessages() override { window_.ProcessMessages(); }
    // Input of the run's last moments still waits in the queue: handled while the run still
    // counts as going on.
    void HandleQueuedInput() override { window_.ProcessMessages(); }
    void ShowWarning(const std::string& text) override { window_.ShowWarning(text); }
    std::string SelectedAwardId() const override { return window_.selectedAwardId_; }
    void OpenErrorList(const std::filesystem::path& file) override {
        window_.options_.openErrorList(file);
    }
    void ShowFailure(std::exception_ptr failure) override { HandleException(failure); }
    void CloseWindow() override { SendMessageW(window_.hwnd_, WM_CLOSE, 0, 0); }

  private:
    TfrmMain& window_;
};

// Enter, like Space, clicks the button that has the focus.
class TfrmMain::ButtonKeys : public MessageTarget {
  public:
    explicit ButtonKeys(HWND button) { subclass_.Attach(button, *this); }

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_KEYDOWN && wParam == VK_RETURN) {
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
            return 0;
        }
        if (message == WM_CHAR && wParam == L'\r') {
            return 0;
        }
        return subclass_.CallOriginal(hwnd, message, wParam, lParam);
    }

  private:
    Subclass subclass_;
};

TfrmMain::TfrmMain(MainWindowOptions options) : options_(std::move(options)) {
    if (options_.executablePath.empty()) {
        options_.executablePath = platform::ExecutablePath();
    }
    if (!options_.makeHttpClient) {
        options_.makeHttpClient = [] { return std::make_unique<districts::NetHTTPClient>(); };
    }
    if (!options_.openErrorList) {
        options_.openErrorList = [this](const std::filesystem::path& file) {
            platform::OpenInNotepad(file, hwnd_);
        };
    }
    try {
        BuildWindow();
    } catch (...) {
        // No window of a half-built object may stay behind (the Application Error box's
        // message loop would hand it messages).
        DestroyNow();
        throw;
    }
    RunHandler([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() {
    if (formStorage_) {
        formStorage_->Storage().FormDestroy();
    }
    DestroyNow();
}

void TfrmMain::DestroyNow() {
    if (hwnd_ != nullptr && IsWindow(hwnd_)) {
        DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
}

void TfrmMain::BuildWindow() {
    uploadWindow_ = std::make_unique<UploadWindow>(*this);
    upload_ = std::make_unique<UploadController>(*uploadWindow_);

    WindowClass windowClass{kClassName};
    windowClass.background = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.icon = LoadMainIcon(SM_CXICON, SM_CYICON);
    windowClass.smallIcon = LoadMainIcon(SM_CXSMICON, SM_CYSMICON);
    // The first place is a point of the 96-dpi design too, on the primary monitor, whose scale
    // is the system's. Unowned and with WS_EX_APPWINDOW, the main window is the one the taskbar
    // shows.
    const auto systemDpi = static_cast<UINT>(ScreenPixelsPerInch());
    hwnd_ = CreateOwnWindow(*this, windowClass, kExStyle, platform::Wide(design::kCaption).c_str(),
                            kStyle, ScaleForDpi(design::kFirstLeft, systemDpi),
                            ScaleForDpi(design::kFirstTop, systemDpi), design::kClientWidth,
                            design::kClientHeight, nullptr, nullptr);
    BuildControls();
    // Sized for the monitor the window stands on; a move to another one brings WM_DPICHANGED.
    const UINT dpi = WindowDpi(hwnd_);
    LayOut(dpi);
    const RECT outer =
        OuterRectForClient(ScaleForDpi(design::kClientWidth, dpi),
                           ScaleForDpi(design::kClientHeight, dpi), kStyle, kExStyle, dpi);
    SetWindowPos(hwnd_, nullptr, 0, 0, outer.right, outer.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    // The settings component, over the window and its components.
    formStorage_ = std::make_unique<FormStorageBinding>(
        hwnd_, "TfrmMain",
        std::vector<FormStorageBinding::Component>{{"RzPanel1", RzPanel1.Handle()},
                                                   {"Label1", nullptr},
                                                   {"Label2", nullptr},
                                                   {"Label3", nullptr},
                                                   {"Edit1", Edit1},
                                                   {"RxDBLookupCombo2", nullptr},
                                                   {"CheckListBox1", nullptr},
                                                   {"ProgressBar", nullptr},
                                                   {"btnUpload", nullptr},
                                                   {"StatusBar", nullptr}},
        HandleException);

    // The non-visual components. The awards drop-down is linked to the still closed list.
    databases_ = std::make_unique<logdb::LoggerDatabases>();
    DataSource1 = std::make_unique<QueryLookupList>(databases_->ADOQuery1, "Description");
    RxDBLookupCombo2.SetLookupList(DataSource1.get());
    RxDBLookupCombo2.onChange = [this] { RxDBLookupCombo2Change(); };
    // The HTTP client opens its session now; its failure ends the program at start-up.
    httpClient_ = options_.makeHttpClient();
}

void TfrmMain::BuildControls() {
    // Made at the design's places and sizes; LayOut scales them and gives them their fonts.
    RzPanel1.Create(hwnd_, design::kRzPanel1);
    HWND panel = RzPanel1.Handle();

    // In tab order; only the button is a tab stop.
    const design::Place& edit = design::kEdit1;
    Edit1 = CreateControl(L"EDIT", L"", ES_UPPERCASE | ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                          edit.left, edit.top, edit.width, edit.height, panel, kEdit1Id);

    fonts_.standard = CreateDesignFont(design::kDefaultFont, kDesignDpi);
    fonts_.progressBar = CreateDesignFont(design::kProgressBarFont, kDesignDpi);
    CheckListBox1.Create(panel, design::kCheckListBox1, kCheckListBox1Id, fonts_.standard.get());
    RxDBLookupCombo2.Create(panel, design::kRxDBLookupCombo2, fonts_.standard.get());
    ProgressBar.Create(panel, design::kProgressBar, fonts_.progressBar.get());

    const design::Place& status = design::kStatusBar;
    StatusBar =
        CreateControl(STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN, 0, status.left,
                      status.top, status.width, status.height, panel, kStatusBarId);

    const design::Place& button = design::kBtnUpload;
    btnUpload = CreateControl(L"BUTTON", platform::Wide(design::kBtnUploadText).c_str(),
                              BS_PUSHBUTTON | WS_TABSTOP, 0, button.left, button.top, button.width,
                              button.height, panel, kBtnUploadId);
    buttonKeys_ = std::make_unique<ButtonKeys>(btnUpload);
}

void TfrmMain::LayOut(UINT dpi) {
    dpi_ = dpi;
    Fonts fonts;
    fonts.standard = CreateDesignFont(design::kDefaultFont, dpi);
    fonts.label = CreateDesignFont(design::kLabelFont, dpi);
    fonts.cyrillicLabel = CreateDesignFont(design::kLabelFont, dpi, RUSSIAN_CHARSET);
    fonts.edit1 = CreateDesignFont(design::kEdit1Font, dpi);
    fonts.progressBar = CreateDesignFont(design::kProgressBarFont, dpi);
    fonts.statusBar = StatusBarFont(dpi, statusBarBold_);

    const auto place = [dpi](HWND control, const design::Place& designed) {
        const design::Place scaled = ScaleForDpi(designed, dpi);
        SetWindowPos(control, nullptr, scaled.left, scaled.top, scaled.width, scaled.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    place(RzPanel1.Handle(), design::kRzPanel1);
    place(Edit1, design::kEdit1);
    place(CheckListBox1.Handle(), design::kCheckListBox1);
    place(RxDBLookupCombo2.Handle(), design::kRxDBLookupCombo2);
    place(ProgressBar.Handle(), design::kProgressBar);
    place(StatusBar, design::kStatusBar);
    place(btnUpload, design::kBtnUpload);

    const auto label = [dpi](const char* name, const char* text, const design::Place& designed,
                             HFONT font) {
        return GradientPanel::Label{name, platform::Wide(text), ScaleForDpi(designed.left, dpi),
                                    ScaleForDpi(designed.top, dpi), font};
    };
    RzPanel1.SetLabels(
        {label("Label2", design::kLabel2Text, design::kLabel2, fonts.label.get()),
         label("Label3", design::kLabel3Text, design::kLabel3, fonts.label.get()),
         label("Label1", design::kLabel1Text, design::kLabel1, fonts.cyrillicLabel.get())});

    const auto setFont = [](HWND control, HFONT font) {
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    };
    setFont(Edit1, fonts.edit1.get());
    setFont(btnUpload, fonts.standard.get());
    if (fonts.statusBar) {
        setFont(StatusBar, fonts.statusBar.get());
    }
    int parts[] = {ScaleForDpi(design::kStatusPanelWidth, dpi)};
    SendMessageW(StatusBar, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
    CheckListBox1.SetFont(fonts.standard.get(), dpi);
    RxDBLookupCombo2.SetFont(fonts.standard.get(), dpi);
    ProgressBar.SetFont(fonts.progressBar.get());
    // The former fonts go only now that no control uses them.
    fonts_ = std::move(fonts);
}

const std::string& TfrmMain::IniFileName() const {
    return formStorage_->Storage().IniFileName();
}

std::string TfrmMain::StatusText() const {
    const LRESULT length = SendMessageW(StatusBar, SB_GETTEXTLENGTHW, 0, 0);
    std::wstring text(LOWORD(length) + 1, L'\0');
    SendMessageW(StatusBar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    if (!text.empty() && text.front() == L'\t') {
        text.erase(0, 1);
    }
    return platform::Narrow(text);
}

void TfrmMain::Show(int showCommand) {
    // The place and the callsign come back just before the window first becomes visible,
    // whatever the show command. WM_SHOWWINDOW would not do: Windows sends none for a show
    // that maximizes or minimizes the window (a shortcut set to "Run: Maximized").
    if (formStorage_ && !IsWindowVisible(hwnd_)) {
        formStorage_->Storage().FormShow();
    }
    ShowWindow(hwnd_, showCommand);
    UpdateWindow(hwnd_);
}

void TfrmMain::FormCreate() {
    // 1. The settings file beside the executable.
    const std::filesystem::path folder = options_.executablePath.parent_path();
    formStorage_->Storage().SetIniFileName(platform::PathToUtf8(folder / "") + "Telvora.ini");

    // 2. The logger's installation folder and the two database paths.
    platform::CurrentUserRegistry registry;
    const logdb::DatabasePaths paths = logdb::LocateDatabases(registry);

    // 3. Logs database, then awards database.
    databases_->OpenDatabases(paths);

    // 4. The awards list; the drop-down can be opened from here on.
    databases_->ReadAwards();
    DataSource1->Refresh();
    RxDBLookupCombo2.ListActiveChanged();

    // 5. The log names, unchecked, in the order the table yields them.
    for (const std::string& name : databases_->ReadLogNames()) {
        CheckListBox1.AddItem(name);
    }

    // 6. The version in the status bar.
    ShowVersion();
}

void TfrmMain::ShowVersion() {
    const auto record = platform::ReadVersionRecord(options_.executablePath);
    statusBarBold_ = true;
    if (FontHandle bold = StatusBarFont(dpi_, true)) {
        SendMessageW(StatusBar, WM_SETFONT, reinterpret_cast<WPARAM>(bold.get()), TRUE);
        fonts_.statusBar = std::move(bold);
    }
    // A leading tab centres a status bar panel's text.
    const std::wstring text = L"\t" + platform::Wide(StatusVersionText(record));
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TfrmMain::RxDBLookupCombo2Change() {
    // A failure (no column Id) keeps the former value while the box shows the new choice.
    RunHandler([this] { selectedAwardId_ = databases_->CurrentAwardId(); });
}

void TfrmMain::btnUploadClick() {
    upload_->Click([this](credit::RunWindow& window) {
        const credit::RunInputs inputs{WindowText(Edit1), CheckListBox1.CheckedItems(),
                                       RxDBLookupCombo2.Value()};
        RunCreditUpdate(*databases_, *httpClient_, options_.serviceBase, options_.executablePath,
                        inputs, window);
    });
}

bool TfrmMain::PreTranslateMessage(const MSG& message) {
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
        GetKeyState(VK_MENU) >= 0 && (message.hwnd == hwnd_ || IsChild(hwnd_, message.hwnd))) {
        // The open drop-down keeps the focus in its list.
        if (message.hwnd == RxDBLookupCombo2.Handle() && RxDBLookupCombo2.ListOpen()) {
            return false;
        }
        SetFocus(btnUpload);
        return true;
    }
    return false;
}

void TfrmMain::ProcessMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the message loop that waits for it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (!PreTranslateMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

void TfrmMain::ShowWarning(const std::string& text) {
    MessageRequest request;
    request.caption = "Warning";
    request.icon = MessageIcon::Warning;
    request.text = text;
    request.owner = nullptr;  // centred on the screen
    ShowMessage(request);
}

LRESULT TfrmMain::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == kBtnUploadId && HIWORD(wParam) == BN_CLICKED) {
                btnUploadClick();
                return 0;
            }
            break;
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlID == kCheckListBox1Id) {
                CheckListBox1.MeasureItem(*measure);
                return TRUE;
            }
            break;
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlID == kCheckListBox1Id) {
                CheckListBox1.DrawItem(*draw);
                return TRUE;
            }
            break;
        }
        case WM_DPICHANGED: {
            // Moved to a monitor of another scale (or its scale changed): the suggested
            // rectangle keeps the window where the user put it, at the new scale.
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            LayOut(HIWORD(wParam));
            SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                lastFocus_ = IsChild(hwnd, focus) ? focus : nullptr;
            } else {
                // The focus returns where it was, at first to the first tab stop.
                SetFocus(lastFocus_ != nullptr && IsWindow(lastFocus_) ? lastFocus_ : btnUpload);
            }
            return 0;
        case WM_CLOSE:
            if (!upload_->CloseRequested()) {
                // A run goes on: it stops after the entry it is on, and the window closes then.
                return 0;
            }
            if (formStorage_) {
                formStorage_->Storage().FormCloseQuery();
            }
            closed_ = true;
            if (onClosed) {
                onClosed();
            }
            return 0;
        case WM_QUERYENDSESSION:
            // The logon ends: the close query runs, and the close is allowed. A run stops after
            // the entry it is on (the message arrives between entries, the entry's credit
            // stored), and the window closes then. The logoff is not held up for it.
            if (formStorage_) {
                formStorage_->Storage().FormCloseQuery();
            }
            upload_->CloseRequested();
            return TRUE;
        case WM_ENDSESSION:
            // The process may be ended any moment after this returns: the databases are closed
            // now, so that the engine writes out what it still holds in memory. A run still on
            // the stack is between two entries and stops before it reads them again.
            if (wParam) {
                databases_->CloseDatabases();
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace telvora::app
