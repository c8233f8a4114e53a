#include "app/error_handling.h"

#include <QApplication>
#include <QWidget>

#include "app/message_box.h"
#include "app/throw_site.h"
#include "platform/executable.h"
#include "platform/paths.h"

namespace telvora::app {

void ShowApplicationError(std::exception_ptr failure) {
    FailureInfo info = DescribeFailure(failure);
    std::string module;
    unsigned long long offset = 0;
    if (auto site = FindThrowSite(info.object)) {
        module = site->module;
        offset = site->offset;
    } else {
        module = platform::PathToUtf8(platform::ExecutablePath().filename());
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
