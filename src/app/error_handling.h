// The application's default error handling, in every shell: every failure that leaves a
// handler of the window, or reaches the message loop, ends up in HandleException, which shows
// it in a modal box captioned with the application title; the program then goes on. Each
// shell's error_handling.cpp defines HandleException and ShowApplicationError.
#pragma once

#include <exception>
#include <string>

#include "app/error_messages.h"

namespace telvora::app {

// The title in use: set once at start-up from the running executable; until then it is
// computed from the running executable's path.
const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

// Shows a failure that ended the start-up in the task-modal "Application Error" box. The
// module and offset are those of the code that threw it (the executable's name and 0 when
// unknown).
void ShowApplicationError(std::exception_ptr failure);

// The default error handling: ends any mouse capture (a held button, a drag, an open
// drop-down list), then shows the failure's message with the "." rule in a modal box owned by
// the active window, captioned with the application title, with the error icon and one "OK"
// button.
void HandleException(std::exception_ptr failure);

// Runs a handler; a failure that leaves it goes to the default error handling.
template <typename Handler>
void RunHandler(Handler&& handler) {
    try {
        handler();
    } catch (...) {
        HandleException(std::current_exception());
    }
}

}  // namespace telvora::app
