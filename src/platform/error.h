// Failures that reach the user carry their message in a telvora::Error.
#pragma once

#include <stdexcept>
#include <string>

namespace telvora {

class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// printf-style formatting into a std::string (messages keep their Delphi-style
// "%s"/"%d" templates, so they read the same here as in the messages table).
std::string Format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));

}  // namespace telvora
