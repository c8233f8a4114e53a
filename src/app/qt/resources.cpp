#include "app/qt/resources.h"

#include <QDir>

static void InitTelvoraResources() {
    Q_INIT_RESOURCE(telvora);
}

namespace telvora::app {

void EnsureResources() {
    static const bool once = (InitTelvoraResources(), true);
    (void)once;
}

QIcon MainIcon() {
    EnsureResources();
    QIcon icon;
    for (const QString& file : QDir(":/icons/MAINICON").entryList({"*.png"}, QDir::Files)) {
        icon.addFile(":/icons/MAINICON/" + file);
    }
    return icon;
}

}  // namespace telvora::app
