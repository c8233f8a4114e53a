// The window's fonts. Where the designed face is not installed (Tahoma, MS Sans Serif,
// Verdana, Courier are Windows fonts), a face of the same kind stands in at the same pixel
// height: DejaVu Sans or Liberation Sans for the sans-serif faces, DejaVu Sans Mono or
// Liberation Mono for Courier (scripts/install-deps.sh installs both families).
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace telvora::app {

// The first of the candidates that the font database knows, else the last one.
QString PickFontFamily(const QStringList& candidates);

// A font of the designed face (or its stand-in) with the character height in pixels.
QFont DesignFont(const QString& face, int pixelHeight, bool bold = false);

}  // namespace telvora::app
