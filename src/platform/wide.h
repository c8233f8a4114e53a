// UTF-8 text and the UTF-16 strings of the Windows API.
#pragma once

#ifdef _WIN32
#include <string>
#include <string_view>

namespace telvora::platform {

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace telvora::platform
#endif
