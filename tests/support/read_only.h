// Marks a file read-only the platform's way: no write permission bits on Linux (which the
// program honours even for root), the read-only attribute on Windows.
#pragma once

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace telvora::test {

inline bool MakeReadOnly(const std::filesystem::path& file) {
#ifdef _WIN32
    return SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY) != 0;
#else
    return ::chmod(file.c_str(), 0444) == 0;
#endif
}

}  // namespace telvora::test
