#include "app/message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <utility>

namespace telvora::app {
namespace {

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
                    QString::fromStdString(request.text), QMessageBox::NoButton,
                    static_cast<QWidget*>(request.owner));
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
    return FirstButton(request.buttons);
}

}  // namespace

MessageButton ShowMessage(const MessageRequest& request) {
    if (const MessageHook& hook = CurrentMessageHook()) {
        return hook(request);
    }
    return ShowRealBox(request);
}

}  // namespace telvora::app
