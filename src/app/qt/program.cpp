#include "app/qt/program.h"

#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "app/qt/application.h"
#include "app/qt/error_handling.h"
#include "app/qt/message_box.h"
#include "app/qt/visual_style.h"

namespace telvora::app {
namespace {

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

void InstallTestMessageLog() {
    const char* file = std::getenv("TELVORA_TEST_MESSAGE_LOG");
    if (file == nullptr || *file == '\0') {
        return;
    }
    std::string path = file;
    SetMessageHook([path](const MessageRequest& request) {
        std::ofstream out(path, std::ios::app | std::ios::binary);
        std::string buttons;
        for (MessageButton button : request.buttons) {
            buttons += (buttons.empty() ? "" : ",") + std::string(MessageButtonName(button));
        }
        out << OneLine(request.caption) << '\t' << MessageIconName(request.icon) << '\t'
            << OneLine(request.text) << '\t' << buttons << '\n';
        return request.buttons.empty() ? MessageButton::Ok : request.buttons.front();
    });
}

bool CloseAfterShow() {
    const char* value = std::getenv("TELVORA_TEST_CLOSE_AFTER_SHOW");
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
