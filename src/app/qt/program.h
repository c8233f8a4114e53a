// The program entry: application object, style, main window, message loop. The program's own
// tests run the real executable as a child process without a screen
// (QT_QPA_PLATFORM=offscreen), with the test hooks of app/message_log.h.
#pragma once

#include "app/qt/main_window.h"

namespace telvora::app {

// Runs the program and returns its exit code: 0 after the window was closed, 1 after a
// failure while the window's components were built (shown in the "Application Error" box).
int RunProgram(int& argc, char** argv, MainWindowOptions options = {});

}  // namespace telvora::app
