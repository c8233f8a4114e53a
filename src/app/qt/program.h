// The program entry: application object, style, main window, message loop.
//
// Two environment variables exist for the program's own tests, which run the real executable
// as a child process without a screen (QT_QPA_PLATFORM=offscreen); nothing else reads them:
//   TELVORA_TEST_MESSAGE_LOG=<file>  every modal box is appended to <file> as one line,
//                                    "caption<TAB>icon<TAB>text<TAB>buttons" (line breaks in the
//                                    text written as \n), and answered at once with its first
//                                    button instead of being shown;
//   TELVORA_TEST_CLOSE_AFTER_SHOW=1  the window is closed as soon as it has been shown, as the
//                                    user would with its close button.
#pragma once

#include "app/qt/main_window.h"

namespace telvora::app {

// Runs the program and returns its exit code: 0 after the window was closed, 1 after a
// failure while the window's components were built (shown in the "Application Error" box).
int RunProgram(int& argc, char** argv, MainWindowOptions options = {});

}  // namespace telvora::app
