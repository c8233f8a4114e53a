// The system's ANSI code page: CP_ACP on Windows. On Linux it stands for the character set of
// the user's locale, read from the environment (LC_ALL, LC_CTYPE, LANG) through newlocale(),
// never through setlocale(): the process's global locale is neither needed nor changed, so
// this works the same whether or not the program ever called setlocale. When the environment
// names no usable locale, the "C" locale's charset (ASCII) applies.
#pragma once

#include <string>
#include <string_view>

namespace telvora::platform {

// Bytes in the locale's character set to UTF-8. Never fails: every byte that can't be
// decoded becomes U+FFFD.
std::string DecodeAnsi(std::string_view bytes);

// UTF-8 to the locale's character set. Every character the set can't hold, and every
// byte of invalid UTF-8, becomes "?".
std::string EncodeAnsi(std::string_view utf8);

#ifndef _WIN32
// The iconv name of the locale's character set, e.g. "UTF-8", "ISO-8859-5", "ANSI_X3.4-1968".
std::string AnsiCharset();

// The same two conversions for a named character set (as iconv names it). An unknown
// charset name is treated as ASCII.
std::string DecodeCharset(std::string_view bytes, const std::string& charset);
std::string EncodeCharset(std::string_view utf8, const std::string& charset);
#endif

}  // namespace telvora::platform
