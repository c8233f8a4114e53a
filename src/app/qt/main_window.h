// The main window frmMain: the callsign, the logs, the award, "Upload log" and the progress
// of a run. It owns the logger's databases and the HTTP client for the program's lifetime.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/lookup_list.h"
#include "app/upload_controller.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace telvora::logdb {
class LoggerDatabases;
}
namespace telvora::districts {
class NetHTTPClient;
}

namespace telvora::app {

class GradientPanel;
class CheckListBox;
class DbLookupCombo;
class RoundProgressBar;
class PanelStatusBar;

// Where the window finds the outside world. Every empty field takes the program's own.
struct MainWindowOptions {
    // The current user's registry file; default platform::CurrentUserRegistry::DefaultFile().
    std::filesystem::path registryFile;
    // The executable whose folder holds Telvora.ini and whose version record the status bar
    // shows; default the running executable.
    std::filesystem::path executablePath;
    // "https://host[:port]" of the district-list service; default the built-in host.
    std::string serviceBase;
    // Makes the HTTP client while the window's components are built; a failure there ends
    // the program with the "Application Error" box. Default: a districts::NetHTTPClient.
    std::function<std::unique_ptr<districts::NetHTTPClient>()> makeHttpClient;
    // Opens "ErrorList.txt" in the user's editor; default QDesktopServices (xdg-open). Its
    // outcome is not examined.
    std::function<void(const std::filesystem::path&)> openErrorList;
};

class FormStorageBinding;

class TfrmMain : public QWidget {
    Q_OBJECT
  public:
    // Builds the window and its components (a failure there is raised to the caller) and then
    // runs FormCreate (whose failure is shown by the default error handling).
    explicit TfrmMain(MainWindowOptions options = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // ---- components, named as the window names them ----
    GradientPanel* RzPanel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Edit1 = nullptr;
    DbLookupCombo* RxDBLookupCombo2 = nullptr;
    CheckListBox* CheckListBox1 = nullptr;
    RoundProgressBar* ProgressBar = nullptr;
    QPushButton* btnUpload = nullptr;
    PanelStatusBar* StatusBar = nullptr;

    logdb::LoggerDatabases& Databases() { return *databases_; }
    districts::NetHTTPClient& HttpClient() { return *httpClient_; }
    const std::string& ServiceBase() const { return options_.serviceBase; }
    const std::filesystem::path& ExecutablePath() const { return options_.executablePath; }

    // The Id of the award chosen in RxDBLookupCombo2; empty at start.
    const std::string& SelectedAwardId() const { return selectedAwardId_; }

    // Telvora.ini: the window's position and the callsign, restored at the show and saved at
    // the close. Its file is named by FormCreate's first step.
    FormStorageBinding& FormStorage() { return *formStorage_; }
    const std::string& IniFileName() const;

    // True while "Upload log" runs (between the click and the end of the run).
    bool RunInProgress() const { return upload_->RunInProgress(); }

    // ---- services of the window for the credit update run ----
    // Handles every message waiting in the queue and returns.
    void ProcessMessages();
    // The modal "Warning" dialog centred on the screen, with one "OK" button.
    void ShowWarning(const std::string& text);

  public slots:
    // The creation handler: settings file, databases, awards list, log names, version.
    void FormCreate();
    // The awards drop-down's change handler: SelectedAwardId := the current award's Id.
    void RxDBLookupCombo2Change();
    // "Upload log": the credit update run.
    void btnUploadClick();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    class UploadWindow;

    void BuildControls();
    void ShowVersion();

    MainWindowOptions options_;
    std::unique_ptr<logdb::LoggerDatabases> databases_;
    std::unique_ptr<QueryLookupList> DataSource1;
    std::unique_ptr<districts::NetHTTPClient> httpClient_;
    std::string selectedAwardId_;
    std::unique_ptr<FormStorageBinding> formStorage_;
    // "Upload log": one run at a time; a close during a run waits for its current entry.
    std::unique_ptr<UploadWindow> uploadWindow_;
    std::unique_ptr<UploadController> upload_;
};

}  // namespace telvora::app
