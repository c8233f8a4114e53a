#include "app/error_handling.h"

#include <windows.h>

#include "app/message_box.h"
#include "app/throw_site.h"
#include "platform/executable.h"
#include "platform/paths.h"

namespace telvora::app {

void ShowApplicationError(std::exception_ptr failure) {
    const FailureInfo info = DescribeFailure(failure);
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
    ShowMessage(request);
}

void HandleException(std::exception_ptr failure) {
    // A held button or a drag is cancelled; an open drop-down list closes with its capture.
    ReleaseCapture();
    MessageRequest request;
    request.caption = ApplicationTitle();
    request.icon = MessageIcon::Error;
    request.text = ErrorBoxText(failure);
    request.owner = GetActiveWindow();  // null (a task-modal box) while no window is active
    ShowMessage(request);
}

}  // namespace telvora::app
