#include "app/qt/program.h"

#include <QTimer>
#include <cstdlib>
#include <memory>

#include "app/error_handling.h"
#include "app/message_box.h"
#include "app/qt/application.h"
#include "app/qt/visual_style.h"

namespace telvora::app {
namespace {

void InstallTestMessageLog() {
    const char* file = std::getenv(kTestMessageLogVariable);
    if (file == nullptr || *file == '\0') {
        return;
    }
    InstallMessageLog(file);
}

bool CloseAfterShow() {
    const char* value = std::getenv(kTestCloseAfterShowVariable);
    return value != nullptr && std::string(value) == "1";
}

}  // namespace

int RunProgram(int& argc, char** argv, MainWindowOptions options) {
    TelvoraApplication app(argc, argv);
    SetApplicationTitle(ApplicationTitleFor(QCoreApplication::applicationFilePath().toStdString()));
    InstallTestMessageLog();

    // The user-interface thread needs no apartment set-up here, and the main window, a
    // top-level window of its own, is what the task bar shows.
    ApplyVisualStyle(kVisualStyleName);

    std::unique_ptr<TfrmMain> window;
    try {
        window = std::make_unique<TfrmMain>(std::move(options));
    } catch (...) {
        ShowApplicationError(std::current_exception());
        return 1;
    }

    window->show();
    if (CloseAfterShow()) {
        QTimer::singleShot(0, window.get(), &QWidget::close);
    }
    const int code = app.exec();
    window.reset();
    return code;
}

}  // namespace telvora::app
