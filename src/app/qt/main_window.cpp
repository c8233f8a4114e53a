#include "app/qt/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QValidator>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/qt/check_list_box.h"
#include "app/qt/fonts.h"
#include "app/qt/form_storage_binding.h"
#include "app/qt/gradient_panel.h"
#include "app/qt/lookup_combo.h"
#include "app/qt/progress_bar.h"
#include "app/qt/resources.h"
#include "app/qt/status_bar.h"
#include "app/version_text.h"
#include "app/window_design.h"
#include "districts/net_http_client.h"
#include "logdb/locate_databases.h"
#include "logdb/logger_databases.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/user_files.h"
#include "platform/version_record.h"

namespace telvora::app {
namespace {

// Edit1 turns every letter typed (or pasted) into upper case.
class UpperCaseValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const QString upper = input.toUpper();
        pos = std::min<int>(pos + static_cast<int>(upper.size() - input.size()),
                            static_cast<int>(upper.size()));
        input = upper;
        return Acceptable;
    }
};

void Place(QWidget* widget, const design::Place& place) {
    widget->setGeometry(place.left, place.top, place.width, place.height);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, const design::Place& place) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(name);
    // Label1's Cyrillic character set needs nothing here: text is Unicode throughout.
    label->setFont(DesignFont(design::kLabelFont));
    label->setAutoFillBackground(false);
    label->move(place.left, place.top);
    label->adjustSize();  // labels size themselves to their text, keeping left and top
    return label;
}

}  // namespace

// The window's services for "Upload log".
class TfrmMain::UploadWindow : public UploadShell {
  public:
    explicit UploadWindow(TfrmMain& window) : window_(window) {}
    void SetProgress(int position) override { window_.ProgressBar->SetPosition(position); }
    void ProcessMessages() override { window_.ProcessMessages(); }
    // The platform's events not yet delivered included.
    void HandleQueuedInput() override { QGuiApplication::sync(); }
    void ShowWarning(const std::string& text) override { window_.ShowWarning(text); }
    std::string SelectedAwardId() const override { return window_.selectedAwardId_; }
    void OpenErrorList(const std::filesystem::path& file) override {
        window_.options_.openErrorList(file);
    }
    void ShowFailure(std::exception_ptr failure) override { HandleException(failure); }
    void CloseWindow() override { window_.close(); }

  private:
    TfrmMain& window_;
};

TfrmMain::TfrmMain(MainWindowOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      options_(std::move(options)) {
    if (options_.registryFile.empty()) {
        options_.registryFile = platform::CurrentUserRegistry::DefaultFile();
    }
    if (options_.executablePath.empty()) {
        options_.executablePath = QCoreApplication::applicationFilePath().toStdString();
    }
    if (options_.serviceBase.empty()) {
        options_.serviceBase = std::string("https://") + TELVORA_SERVICE_HOST;
    }
    if (!options_.makeHttpClient) {
        options_.makeHttpClient = [] { return std::make_unique<districts::NetHTTPClient>(); };
    }
    if (!options_.openErrorList) {
        options_.openErrorList = [](const std::filesystem::path& file) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        };
    }

    uploadWindow_ = std::make_unique<UploadWindow>(*this);
    upload_ = std::make_unique<UploadController>(*uploadWindow_);
    BuildControls();
    // The settings component takes over the show, close and destroy events; the window's own
    // filter is installed after it so that it sees a close first (filters run newest first).
    formStorage_ = std::make_unique<FormStorageBinding>(*this, HandleException);
    installEventFilter(this);

    // The non-visual components. The awards drop-down is linked to the still closed list.
    databases_ = std::make_unique<logdb::LoggerDatabases>();
    DataSource1 = std::make_unique<QueryLookupList>(databases_->ADOQuery1, "Description");
    RxDBLookupCombo2->SetLookupList(DataSource1.get());
    connect(RxDBLookupCombo2, &DbLookupCombo::Change, this, &TfrmMain::RxDBLookupCombo2Change);
    // The HTTP client opens its session now; its failure ends the program at start-up.
    httpClient_ = options_.makeHttpClient();

    RunHandler([this] { FormCreate(); });
}

TfrmMain::~TfrmMain() {
    formStorage_->WindowDestroying();
    // The controls go while the awards list they show still exists.
    delete RzPanel1;
}

const std::string& TfrmMain::IniFileName() const {
    return formStorage_->Storage().IniFileName();
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::Close && !upload_->CloseRequested()) {
        // A run goes on: it stops after the entry it is on, and the window closes then.
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::BuildControls() {
    setObjectName("frmMain");
    setWindowTitle(design::kCaption);
    setWindowIcon(MainIcon());
    setFont(DesignFont(design::kDefaultFont));
    setFixedSize(design::kClientWidth, design::kClientHeight);
    // The window's outer top-left corner.
    move(design::kFirstLeft, design::kFirstTop);

    RzPanel1 = new GradientPanel(this);
    RzPanel1->setObjectName("RzPanel1");
    Place(RzPanel1, design::kRzPanel1);

    Label2 = MakeLabel(RzPanel1, "Label2", design::kLabel2Text, design::kLabel2);

    Edit1 = new QLineEdit(RzPanel1);
    Edit1->setObjectName("Edit1");
    Place(Edit1, design::kEdit1);
    Edit1->setFont(DesignFont(design::kEdit1Font));
    Edit1->setAlignment(Qt::AlignCenter);
    Edit1->setValidator(new UpperCaseValidator(Edit1));
    Edit1->setFocusPolicy(Qt::ClickFocus);

    Label3 = MakeLabel(RzPanel1, "Label3", design::kLabel3Text, design::kLabel3);

    RxDBLookupCombo2 = new DbLookupCombo(RzPanel1);
    RxDBLookupCombo2->setObjectName("RxDBLookupCombo2");
    Place(RxDBLookupCombo2, design::kRxDBLookupCombo2);

    Label1 = MakeLabel(RzPanel1, "Label1", design::kLabel1Text, design::kLabel1);

    CheckListBox1 = new CheckListBox(RzPanel1);
    CheckListBox1->setObjectName("CheckListBox1");
    Place(CheckListBox1, design::kCheckListBox1);
    CheckListBox1->setFocusPolicy(Qt::ClickFocus);

    ProgressBar = new RoundProgressBar(RzPanel1);
    ProgressBar->setObjectName("ProgressBar");
    Place(ProgressBar, design::kProgressBar);

    btnUpload = new QPushButton(design::kBtnUploadText, RzPanel1);
    btnUpload->setObjectName("btnUpload");
    Place(btnUpload, design::kBtnUpload);
    btnUpload->setFont(DesignFont(design::kBtnUploadFont));
    btnUpload->setFocusPolicy(Qt::StrongFocus);
    // Enter as well as Space clicks the focused button.
    btnUpload->setAutoDefault(true);
    connect(btnUpload, &QPushButton::clicked, this, &TfrmMain::btnUploadClick);

    StatusBar = new PanelStatusBar(RzPanel1);
    StatusBar->setObjectName("StatusBar");
    Place(StatusBar, design::kStatusBar);
    StatusBar->AddPanel(design::kStatusPanelWidth);

    setTabOrder(Edit1, CheckListBox1);
    setTabOrder(CheckListBox1, RxDBLookupCombo2);
    setTabOrder(RxDBLookupCombo2, StatusBar);
    setTabOrder(StatusBar, btnUpload);
    // The first tab stop takes the focus when the window becomes active.
    btnUpload->setFocus(Qt::OtherFocusReason);
}

void TfrmMain::FormCreate() {
    // 1. The settings file beside the executable.
    // Beside the executable (an installed copy: in the user's own folder; see user_files.h).
    formStorage_->Storage().SetIniFileName(
        platform::PathToUtf8(platform::SettingsFile(options_.executablePath)));

    // 2. The logger's installation folder and the two database paths.
    platform::CurrentUserRegistry registry(options_.registryFile);
    const logdb::DatabasePaths paths = logdb::LocateDatabases(registry);

    // 3. Logs database, then awards database.
    databases_->OpenDatabases(paths);

    // 4. The awards list; the drop-down can be opened from here on.
    databases_->ReadAwards();
    DataSource1->Refresh();
    RxDBLookupCombo2->ListActiveChanged();

    // 5. The log names, unchecked, in the order the table yields them.
    for (const std::string& name : databases_->ReadLogNames()) {
        CheckListBox1->AddItem(name);
    }

    // 6. The version in the status bar.
    ShowVersion();
}

void TfrmMain::ShowVersion() {
    const auto record = platform::ReadVersionRecord(options_.executablePath);
    QFont font = StatusBar->font();
    font.setBold(true);
    StatusBar->setFont(font);
    StatusBar->SetPanelText(0, QString::fromStdString(StatusVersionText(record)));
}

void TfrmMain::RxDBLookupCombo2Change() {
    // A failure (no column Id) keeps the former value while the box shows the new choice.
    RunHandler([this] { selectedAwardId_ = databases_->CurrentAwardId(); });
}

void TfrmMain::btnUploadClick() {
    upload_->Click([this](credit::RunWindow& window) {
        const credit::RunInputs inputs{Edit1->text().toStdString(), CheckListBox1->CheckedItems(),
                                       RxDBLookupCombo2->Value().toStdString()};
        RunCreditUpdate(*databases_, *httpClient_, options_.serviceBase, options_.executablePath,
                        inputs, window);
    });
}

void TfrmMain::ProcessMessages() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TfrmMain::ShowWarning(const std::string& text) {
    MessageRequest request;
    request.caption = "Warning";
    request.icon = MessageIcon::Warning;
    request.text = text;
    request.buttons = {MessageButton::Ok};
    request.owner = nullptr;  // centred on the screen
    ShowMessage(request);
}

}  // namespace telvora::app
