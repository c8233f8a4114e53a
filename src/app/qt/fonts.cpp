#include "app/qt/fonts.h"

#include <QFontDatabase>

namespace telvora::app {

QString PickFontFamily(const QStringList& candidates) {
    const QStringList installed = QFontDatabase::families();
    for (const QString& candidate : candidates) {
        for (const QString& family : installed) {
            if (family.compare(candidate, Qt::CaseInsensitive) == 0) {
                return family;
            }
        }
    }
    return candidates.isEmpty() ? QString() : candidates.back();
}

QFont DesignFont(const QString& face, int pixelHeight, bool bold) {
    const bool fixed = face.compare("Courier", Qt::CaseInsensitive) == 0;
    const bool wide = face.compare("Verdana", Qt::CaseInsensitive) == 0;
    // Liberation Mono keeps Courier New's widths and Liberation Sans Arial's, which come
    // nearest to Tahoma and MS Sans Serif; DejaVu Sans shares Verdana's wide letters.
    QStringList candidates{face, "Liberation Sans", "DejaVu Sans"};
    if (fixed) {
        candidates = {face, "Liberation Mono", "DejaVu Sans Mono"};
    } else if (wide) {
        candidates = {face, "DejaVu Sans", "Liberation Sans"};
    }
    QFont font(PickFontFamily(candidates));
    font.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixed);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

}  // namespace telvora::app
