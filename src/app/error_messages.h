// The texts of the default error handling, toolkit-free: which message a failure shows, the
// "." rule, the application title and the "Application Error" text. The shells show them in
// their own boxes (app/error_handling.h).
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

// What the default error box says for a failure: its shown message with the "." rule.
std::string ErrorBoxText(std::exception_ptr failure);

// The title of the program for an executable file: its file name without folder, cut at the
// first ".", every character after the first in lower case ("C:\x\TELVORA.EXE" -> "Telvora";
// both "/" and "\" separate folders).
std::string ApplicationTitleFor(const std::string& executablePath);

// The text of the "Application Error" box for a failure that ended the start-up:
// "Exception <type> in module <module> at <offset as 8 hex digits>." then, on the next line,
// the message with a "." appended when a non-empty message does not end with one.
std::string ApplicationErrorText(const std::string& typeName, const std::string& module,
                                 unsigned long long offset, const std::string& message);

}  // namespace telvora::app
