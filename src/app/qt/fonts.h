// The window's fonts. Where the designed face is not installed (Tahoma, MS Sans Serif,
// Verdana, Courier are Windows fonts), a face of the same kind and similar widths stands in
// at the same pixel height: Liberation Sans for Tahoma and MS Sans Serif, DejaVu Sans for
// Verdana, Liberation Mono for Courier, each with the other family as second choice
// (scripts/install-deps.sh installs both families).
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
