#include "app/qt/fonts.h"

#include <QFontDatabase>

#include "app/window_design.h"

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
    const bool fixed = design::IsFixedPitchFace(face.toStdString());
    QStringList candidates;
    for (const std::string& candidate : design::FontCandidates(face.toStdString())) {
        candidates << QString::fromStdString(candidate);
    }
    QFont font(PickFontFamily(candidates));
    font.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    font.setFixedPitch(fixed);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

QFont DesignFont(const design::Font& font) {
    return DesignFont(font.face, font.pixelHeight, font.bold);
}

}  // namespace telvora::app
