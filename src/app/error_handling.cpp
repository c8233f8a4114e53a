#include "app/error_handling.h"

#include <cxxabi.h>

#include <QApplication>
#include <QFileInfo>
#include <QWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <typeinfo>
#include <vector>

#include "app/message_box.h"
#include "app/throw_site.h"

namespace telvora::app {
namespace {

std::string Demangle(const char* mangled) {
    if (mangled == nullptr) {
        return "unknown";
    }
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    std::string out = status == 0 && name ? name.get() : mangled;
    // std::throw_with_nested wraps the thrown type; name the type the program threw.
    const std::string wrapper = "std::_Nested_exception<";
    if (out.rfind(wrapper, 0) == 0 && out.back() == '>') {
        out = out.substr(wrapper.size(), out.size() - wrapper.size() - 1);
    }
    return out;
}

void Describe(std::exception_ptr failure, std::vector<FailureInfo>& levels) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        levels.push_back({Demangle(typeid(e).name()), e.what(), dynamic_cast<const void*>(&e)});
        try {
            std::rethrow_if_nested(e);
        } catch (...) {
            Describe(std::current_exception(), levels);
        }
    } catch (const std::nested_exception& nested) {
        // A nested wrapper around something that is not a std::exception.
        std::type_info* type = abi::__cxa_current_exception_type();
        levels.push_back({Demangle(type ? type->name() : nullptr), "", nullptr});
        if (nested.nested_ptr()) {
            Describe(nested.nested_ptr(), levels);
        }
    } catch (...) {
        std::type_info* type = abi::__cxa_current_exception_type();
        levels.push_back({Demangle(type ? type->name() : nullptr), "", nullptr});
    }
}

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

FailureInfo DescribeFailure(std::exception_ptr failure) {
    std::vector<FailureInfo> levels;
    if (failure) {
        Describe(failure, levels);
    }
    if (levels.empty()) {
        return {};
    }
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (!it->message.empty()) {
            return *it;
        }
    }
    return levels.front();
}

std::string WithTerminatingPeriod(std::string message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') {
        message += '.';
    }
    return message;
}

std::string ApplicationTitleFor(const std::string& executablePath) {
    QString name = QString::fromStdString(executablePath);
    qsizetype slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    name = name.mid(slash + 1);
    if (qsizetype dot = name.indexOf('.'); dot >= 0) {
        name.truncate(dot);
    }
    if (name.isEmpty()) {
        return {};
    }
    // The first character (one or two UTF-16 units) stays as it is.
    qsizetype first = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
    return (name.left(first) + name.mid(first).toLower()).toStdString();
}

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

std::string ApplicationErrorText(const std::string& typeName, const std::string& module,
                                 unsigned long long offset, const std::string& message) {
    char address[32];
    std::snprintf(address, sizeof address, "%08llX", offset);
    std::string text = "Exception " + typeName + " in module " + module + " at " + address + ".";
    std::string shown = message;
    if (!shown.empty() && shown.back() != '.') {
        shown += '.';
    }
    return text + "\n" + shown;
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
    FailureInfo info = DescribeFailure(failure);
    MessageRequest request;
    request.caption = ApplicationTitle();
    request.icon = MessageIcon::Error;
    request.text = WithTerminatingPeriod(info.message);
    request.buttons = {MessageButton::Ok};
    request.owner = QApplication::instance() != nullptr ? QApplication::activeWindow() : nullptr;
    ShowMessage(request);
}

}  // namespace telvora::app
