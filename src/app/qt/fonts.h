// The window's fonts. Where the designed face is not installed (Tahoma, MS Sans Serif,
// Verdana, Courier are Windows fonts), a face of the same kind and similar widths stands in
// at the same pixel height (app/window_design.h; scripts/install-deps.sh installs both
// families).
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "app/window_design.h"

namespace telvora::app {

// The first of the candidates that the font database knows, else the last one.
QString PickFontFamily(const QStringList& candidates);

// A font of the designed face (or its stand-in) with the character height in pixels.
QFont DesignFont(const QString& face, int pixelHeight, bool bold = false);
QFont DesignFont(const design::Font& font);

}  // namespace telvora::app
