#include "app/qt/visual_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <map>
#include <utility>

#include "app/message_box.h"
#include "app/qt/resources.h"

namespace telvora::app {
namespace {

const QString kStyleFolder = QStringLiteral(":/styles");

struct LoadedStyles {
    std::map<QString, QString> sheets;  // name as stored -> style sheet
    QString active;
};

LoadedStyles& Loaded() {
    static LoadedStyles styles;
    return styles;
}

void Activate(const QString& name, const QString& sheet) {
    Loaded().active = name;
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // The style sheet dresses some controls; everything else paints with the palette,
        // which would otherwise be the desktop's (white labels under a dark desktop theme).
        QApplication::setPalette(StylePalette());
        app->setStyleSheet(sheet);
    }
}

}  // namespace

QPalette StylePalette() {
    const QColor face(0xee, 0xf2, 0xf6);
    const QColor text(0x1c, 0x28, 0x33);
    const QColor white(0xff, 0xff, 0xff);
    const QColor greyed(0x8a, 0x97, 0xa4);
    QPalette palette;
    // Every role of every group is set, so that nothing of the desktop's palette shows
    // through, also when the desktop's theme changes while the program runs.
    const std::pair<QPalette::ColorRole, QColor> roles[] = {
        {QPalette::Window, face},
        {QPalette::WindowText, text},
        {QPalette::Base, white},
        {QPalette::AlternateBase, QColor(0xf4, 0xf7, 0xfa)},
        {QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe1)},
        {QPalette::ToolTipText, text},
        {QPalette::PlaceholderText, greyed},
        {QPalette::Text, text},
        {QPalette::Button, face},
        {QPalette::ButtonText, text},
        {QPalette::BrightText, white},
        {QPalette::Light, white},
        {QPalette::Midlight, QColor(0xdf, 0xe6, 0xed)},
        {QPalette::Mid, QColor(0x9a, 0xa8, 0xb6)},
        {QPalette::Dark, QColor(0x7b, 0x8c, 0x9e)},
        {QPalette::Shadow, QColor(0x4a, 0x58, 0x66)},
        {QPalette::Highlight, QColor(0x3f, 0x93, 0xb8)},
        {QPalette::HighlightedText, white},
        {QPalette::Link, QColor(0x2a, 0x86, 0xb0)},
        {QPalette::LinkVisited, QColor(0x6a, 0x5a, 0x9e)},
    };
    for (const auto& [role, colour] : roles) {
        palette.setColor(role, colour);
    }
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, greyed);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0xb3, 0xbe, 0xc9));
    return palette;
}

QStringList StoredStyleNames() {
    EnsureResources();
    QStringList names;
    const QStringList files = QDir(kStyleFolder).entryList({"*.qss"}, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        names << QFileInfo(file).completeBaseName();
    }
    return names;
}

QStringList LoadedStyleNames() {
    QStringList names;
    for (const auto& [name, sheet] : Loaded().sheets) {
        names << name;
    }
    return names;
}

QString ActiveStyleName() {
    return Loaded().active;
}

bool TrySetStyle(const QString& name) {
    for (const auto& [loaded, sheet] : Loaded().sheets) {
        if (loaded.compare(name, Qt::CaseInsensitive) == 0) {
            Activate(loaded, sheet);
            return true;
        }
    }
    for (const QString& stored : StoredStyleNames()) {
        if (stored.compare(name, Qt::CaseInsensitive) != 0) {
            continue;
        }
        QFile file(kStyleFolder + "/" + stored + ".qss");
        if (!file.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString sheet = QString::fromUtf8(file.readAll());
        Loaded().sheets[stored] = sheet;
        Activate(stored, sheet);
        return true;
    }
    return false;
}

void ApplyVisualStyle(const QString& name) {
    if (TrySetStyle(name)) {
        return;
    }
    MessageRequest request;
    request.caption = "Error";
    request.icon = MessageIcon::Error;
    request.text = "Style '" + name.toStdString() + "' not found";
    request.buttons = {MessageButton::Close};
    ShowMessage(request);
}

}  // namespace telvora::app
