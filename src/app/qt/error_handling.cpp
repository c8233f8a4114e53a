#include "app/qt/error_handling.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <filesystem>

#include "app/qt/message_box.h"
#include "app/qt/throw_site.h"

namespace telvora::app {
namespace {

std::string& TitleStorage() {
    static std::string title;
    return title;
}

std::string RunningExecutablePath() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationFilePath().toStdString();
    }
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

}  // namespace

const std::string& ApplicationTitle() {
    std::string& title = TitleStorage();
    if (title.empty()) {
        title = ApplicationTitleFor(RunningExecutablePath());
    }
    return title;
}

void SetApplicationTitle(std::string title) {
    TitleStorage() = std::move(title);
}

void ShowApplicationError(std::exception_ptr failure) {
    FailureInfo info = DescribeFailure(failure);
    std::string module;
    unsigned long long offset = 0;
    if (auto site = FindThrowSite(info.object)) {
        module = site->module;
        offset = site->offset;
    } else {
        module =
            QFileInfo(QString::fromStdString(RunningExecutablePath())).fileName().toStdString();
    }
    MessageRequest request;
    request.caption = "Application Error";
    request.icon = MessageIcon::Error;
    request.text = ApplicationErrorText(info.typeName, module, offset, info.message);
    request.buttons = {MessageButton::Ok};
    request.owner = nullptr;
    ShowMessage(request);
}

void HandleException(std::exception_ptr failure) {
    // End any mouse capture: a held button or a drag is cancelled, an open list closes.
    if (QApplication::instance() != nullptr) {
        if (QWidget* grabber = QWidget::mouseGrabber()) {
            grabber->releaseMouse();
        }
        for (int i = 0; i < 16 && QApplication::activePopupWidget() != nullptr; ++i) {
            QApplication::activePopupWidget()->close();
        }
    }
    MessageRequest request;
    request.caption = ApplicationTitle();
    request.icon = MessageIcon::Error;
    request.text = ErrorBoxText(failure);
    request.buttons = {MessageButton::Ok};
    request.owner = QApplication::instance() != nullptr ? QApplication::activeWindow() : nullptr;
    ShowMessage(request);
}

}  // namespace telvora::app
