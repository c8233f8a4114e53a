// The system's own description of a Windows error code.
#pragma once

#ifdef _WIN32
#include <string>

namespace telvora::platform {

// FormatMessageW's text for `code` (UTF-8, without the line break it ends with), or
// "Unknown error (code)" when the system has none.
std::string SystemMessage(unsigned long code);

}  // namespace telvora::platform
#endif
