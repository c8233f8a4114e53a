// What the executable stores besides its code: the application icon "MAINICON" and the
// visual styles (resources/telvora.qrc).
#pragma once

#include <QIcon>

namespace telvora::app {

// Registers the stored resources (they live in a static library); safe to call often.
void EnsureResources();

QIcon MainIcon();

}  // namespace telvora::app
