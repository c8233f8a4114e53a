// Visual styles stored in the executable: Qt style sheets compiled in as resources under
// ":/styles/<name>.qss" (this program stores "Aqua Light Slate"). A style is looked up by
// name without regard to case, first among the styles already loaded in this run, then among
// the stored ones, and made the application's look.
#pragma once

#include <QPalette>
#include <QString>
#include <QStringList>

namespace telvora::app {

inline constexpr const char* kVisualStyleName = "Aqua Light Slate";

// The names of the styles stored in the executable.
QStringList StoredStyleNames();
// The names of the styles loaded in this run.
QStringList LoadedStyleNames();
// The name of the active style, empty while the platform's own look is in use.
QString ActiveStyleName();

// The palette of the stored styles, all light themes: made the application's palette with
// the style, whatever the desktop's theme.
QPalette StylePalette();

// Makes the named style active; false when no loaded or stored style has that name.
bool TrySetStyle(const QString& name);

// Start-up's style step: applies the style, or shows the "Error" dialog "Style '%s' not found"
// with a "Close" button and goes on with the platform's own look.
void ApplyVisualStyle(const QString& name);

}  // namespace telvora::app
