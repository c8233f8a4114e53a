#include "app/visual_style.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <map>

#include "app/message_box.h"
#include "app/resources.h"

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
        app->setStyleSheet(sheet);
    }
}

}  // namespace

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
