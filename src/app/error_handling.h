// The application's default error handling: every failure that leaves a handler of the
// window, or reaches the message loop, ends up in HandleException, which shows it in a modal
// box captioned with the application title. The program then goes on.
#pragma once

#include <exception>
#include <string>

namespace telvora::app {

// The failure as it is shown: of a chain of nested failures (std::throw_with_nested), the
// innermost one with a non-empty message; the outermost when every message is empty.
struct FailureInfo {
    std::string typeName;  // demangled C++ type, e.g. "telvora::Error"
    std::string message;
    const void* object = nullptr;  // the exception object that gave them
};
FailureInfo DescribeFailure(std::exception_ptr failure);

// Appends "." when the message is not empty and the code of its last character is above that
// of "." (U+002E): "Not found", "Path:" and "Really?" get one; "Done.", "Stop!", "(x)", a
// closing quotation mark and a trailing blank do not. Text is UTF-8; a multibyte character
// is above ".".
std::string WithTerminatingPeriod(std::string message);

// The title of the program for an executable file: its file name without folder, cut at the
// first ".", every character after the first in lower case ("C:\x\TELVORA.EXE" -> "Telvora";
// both "/" and "\" separate folders).
std::string ApplicationTitleFor(const std::string& executablePath);

// The title in use: set once at start-up from the running executable; until then it is
// computed from the running executable's path.
const std::string& ApplicationTitle();
void SetApplicationTitle(std::string title);

// The text of the "Application Error" box for a failure that ended the start-up:
// "Exception <type> in module <module> at <offset as 8 hex digits>." then, on the next line,
// the message with a "." appended when a non-empty message does not end with one.
std::string ApplicationErrorText(const std::string& typeName, const std::string& module,
                                 unsigned long long offset, const std::string& message);

// Shows a failure that ended the start-up in the task-modal "Application Error" box. The
// module and offset are those of the code that threw it (the executable's name and 0 when
// unknown).
void ShowApplicationError(std::exception_ptr failure);

// The default error handling: ends any mouse capture (and closes open drop-down lists), then
// shows the failure's message with the "." rule in a modal box owned by the active window,
// captioned with the application title, with the error icon and one "OK" button.
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
