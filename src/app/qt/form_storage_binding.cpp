#include "app/qt/form_storage_binding.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QVariant>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "platform/error.h"

namespace telvora::app {
namespace {

int PrimaryScreenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
}

QSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->size() : QSize();
}

QMargins FrameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

// The window's outer rectangle would lie off every screen: bring it back onto
// the primary screen's work area, as the platform's placement call does.
QPoint KeepInView(QRect frame) {
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->geometry().intersects(frame)) {
            return frame.topLeft();
        }
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (primary == nullptr) {
        return frame.topLeft();
    }
    const QRect area = primary->availableGeometry();
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return {x, y};
}

}  // namespace

FormStorageBinding::FormStorageBinding(QWidget& window, settings::ErrorHandler onError,
                                       std::string className)
    : window_(&window),
      className_(std::move(className)),
      storage_(*this, PrimaryScreenPixelsPerInch(), std::move(onError)) {
    if (className_.empty()) {
        className_ = window.metaObject()->className();
        if (const std::size_t colons = className_.rfind("::"); colons != std::string::npos) {
            className_.erase(0, colons + 2);
        }
    }
    window.installEventFilter(this);
    storage_.Loaded();
}

FormStorageBinding::~FormStorageBinding() {
    if (window_) {
        window_->removeEventFilter(this);
    }
}

void FormStorageBinding::WindowDestroying() {
    if (window_) {
        storage_.FormDestroy();
    }
}

bool FormStorageBinding::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_.data()) {
        switch (event->type()) {
            case QEvent::Show:
                // Spontaneous show events come with restoring a minimised
                // window; only the window's own showing restores.
                if (!event->spontaneous()) {
                    storage_.FormShow();
                }
                break;
            case QEvent::Close:
                storage_.FormCloseQuery();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

QWidget& FormStorageBinding::Window() const {
    if (!window_) {
        throw Error("The window is gone");
    }
    return *window_;
}

std::string FormStorageBinding::ClassName() const {
    return className_;
}

platform::WindowPlacement FormStorageBinding::GetWindowPlacement() const {
    const QWidget& window = Window();
    platform::WindowPlacement placement;
    placement.flags = 0;
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized) {
        placement.showCmd = platform::kSwShowMinimized;
    } else if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) {
        placement.showCmd = platform::kSwShowMaximized;
    } else {
        placement.showCmd = platform::kSwShowNormal;
    }
    placement.ptMinPosition = minPosition_;
    placement.ptMaxPosition = maxPosition_;
    QRect outer;
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        outer = window.normalGeometry().marginsAdded(FrameMargins(window));
    } else {
        outer = window.frameGeometry();
    }
    placement.rcNormalPosition = {outer.left(), outer.top(), outer.left() + outer.width(),
                                  outer.top() + outer.height()};
    return placement;
}

void FormStorageBinding::SetWindowPlacement(const platform::WindowPlacement& placement) {
    QWidget& window = Window();
    minPosition_ = placement.ptMinPosition;
    maxPosition_ = placement.ptMaxPosition;
    // The window keeps its size and its state; only its outer top-left moves.
    const platform::Rect& rc = placement.rcNormalPosition;
    const QRect frame(QPoint(rc.left, rc.top), window.frameGeometry().size());
    const QPoint target = KeepInView(frame);
    if (target != window.frameGeometry().topLeft()) {
        window.move(target);
        // Until the window manager has framed the window, its frame is unknown to Qt and
        // the move alone asks for the client area at `target`: ask for the frame there.
        if (QWindow* handle = window.windowHandle()) {
            handle->setFramePosition(target);
        }
    }
}

bool FormStorageBinding::IsWindowVisible() const {
    const QWindow* handle = Window().windowHandle();
    return handle != nullptr && handle->isVisible();
}

bool FormStorageBinding::HandleAllocated() const {
    return Window().windowHandle() != nullptr;
}

bool FormStorageBinding::IsApplicationIconic() const {
    return Window().isMinimized();
}

int FormStorageBinding::ScreenWidth() const {
    return PrimaryScreenSize().width();
}

int FormStorageBinding::ScreenHeight() const {
    return PrimaryScreenSize().height();
}

std::optional<std::string> FormStorageBinding::FindComponent(const std::string& name) const {
    const QString wanted = QString::fromStdString(name);
    for (const QObject* child : Window().findChildren<QObject*>()) {
        if (child->objectName().compare(wanted, Qt::CaseInsensitive) == 0) {
            return child->objectName().toStdString();
        }
    }
    return std::nullopt;
}

QObject* FormStorageBinding::Component(const std::string& name) const {
    QObject* component = Window().findChild<QObject*>(QString::fromStdString(name));
    if (component == nullptr) {
        throw Error(Format("Component %s not found", name.c_str()));
    }
    return component;
}

std::string FormStorageBinding::ComponentText(const std::string& component) const {
    const QVariant text = Component(component)->property("text");
    if (!text.isValid()) {
        throw Error(Format("Component %s has no text", component.c_str()));
    }
    return text.toString().toStdString();
}

void FormStorageBinding::SetComponentText(const std::string& component, const std::string& text) {
    if (!Component(component)->setProperty("text", QString::fromStdString(text))) {
        throw Error(Format("Component %s has no text", component.c_str()));
    }
}

}  // namespace telvora::app
