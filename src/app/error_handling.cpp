#include "app/error_handling.h"

#include "platform/executable.h"
#include "platform/paths.h"

namespace telvora::app {
namespace {

std::string& TitleStorage() {
    static std::string title;
    return title;
}

}  // namespace

const std::string& ApplicationTitle() {
    std::string& title = TitleStorage();
    if (title.empty()) {
        title = ApplicationTitleFor(platform::PathToUtf8(platform::ExecutablePath()));
    }
    return title;
}

void SetApplicationTitle(std::string title) {
    TitleStorage() = std::move(title);
}

}  // namespace telvora::app
