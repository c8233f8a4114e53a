// File names as the program's text (UTF-8) and as the file system takes them: on Windows the
// file system's names are UTF-16, and nothing may narrow them through the ANSI code page.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace telvora::platform {

std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace telvora::platform
