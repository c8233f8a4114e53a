#include "app/qt/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <utility>

namespace telvora::app {
namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Error:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ToQt(MessageButton button) {
    switch (button) {
        case MessageButton::Ok:
            return QMessageBox::Ok;
        case MessageButton::Close:
            return QMessageBox::Close;
        case MessageButton::Cancel:
            return QMessageBox::Cancel;
        case MessageButton::Yes:
            return QMessageBox::Yes;
        case MessageButton::No:
            return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

MessageButton ShowRealBox(const MessageRequest& request) {
    QMessageBox box(ToQt(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton, request.owner);
    box.setTextFormat(Qt::PlainText);
    for (MessageButton button : request.buttons) {
        box.addButton(ToQt(button));
    }
    // The other windows take no input until the box is closed.
    box.setWindowModality(Qt::ApplicationModal);
    if (request.owner == nullptr) {
        box.adjustSize();
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect area = screen->geometry();
            box.move(area.center() - QPoint(box.width() / 2, box.height() / 2));
        }
    }
    int answer = box.exec();
    for (MessageButton button : request.buttons) {
        if (answer == ToQt(button)) {
            return button;
        }
    }
    return request.buttons.empty() ? MessageButton::Ok : request.buttons.front();
}

}  // namespace

const char* MessageIconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return "none";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Question:
            return "question";
    }
    return "?";
}

const char* MessageButtonName(MessageButton button) {
    switch (button) {
        case MessageButton::Ok:
            return "OK";
        case MessageButton::Close:
            return "Close";
        case MessageButton::Cancel:
            return "Cancel";
        case MessageButton::Yes:
            return "Yes";
        case MessageButton::No:
            return "No";
    }
    return "?";
}

MessageHook SetMessageHook(MessageHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

MessageButton ShowMessage(const MessageRequest& request) {
    if (Hook()) {
        return Hook()(request);
    }
    return ShowRealBox(request);
}

RecordedMessages::RecordedMessages() {
    previous_ = SetMessageHook([this](const MessageRequest& request) {
        requests_.push_back(request);
        return request.buttons.empty() ? MessageButton::Ok : request.buttons.front();
    });
}

RecordedMessages::~RecordedMessages() {
    SetMessageHook(std::move(previous_));
}

}  // namespace telvora::app
