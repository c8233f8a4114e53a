// The system's own description of a Windows error code.
#pragma once

#ifdef _WIN32
#include <string>

namespace telvora::platform {

// FormatMessageW's text for `code` (UTF-8, without the line break it ends with), or
// "Unknown error (code)" when the system has none. With `module` (a loaded DLL's name, such
// as L"winhttp.dll"), that DLL's message table is looked in first: the codes of WinHTTP and
// the like are described there, not in the system's table.
std::string SystemMessage(unsigned long code, const wchar_t* module = nullptr);

}  // namespace telvora::platform
#endif
