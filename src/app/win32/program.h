// The program entry of Telvora.exe: COM for the user-interface thread, the visual style, the
// main window, the message loop. The program's own tests run the real executable as a child
// process with the test hooks of app/message_log.h.
#pragma once

#include "app/win32/main_window.h"

namespace telvora::app {

// Runs the program and returns its exit code: 0 after the window was closed, 1 after a
// failure while the window's components were built (shown in the "Application Error" box).
// `showCommand` is the one the program was started with.
int RunProgram(int showCommand, MainWindowOptions options);

}  // namespace telvora::app
