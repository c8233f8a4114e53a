// The profile functions of Windows, one call per value.
#include <windows.h>

#include "platform/profile.h"
#include "platform/text.h"
#include "platform/wide.h"

namespace telvora::platform {

std::string ReadProfileValue(const std::filesystem::path& file, std::string_view section,
                             std::string_view key, std::string_view defaultValue) {
    // The call's own buffer of 2048 characters: at most 2047 of a value come back.
    wchar_t buffer[kProfileValueMaxChars + 1] = {};
    const std::wstring wideSection = Wide(section);
    const std::wstring wideKey = Wide(key);
    const std::wstring wideDefault = Wide(defaultValue);
    const DWORD length =
        GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideDefault.c_str(), buffer,
                                 static_cast<DWORD>(kProfileValueMaxChars + 1), file.c_str());
    return Narrow(std::wstring_view(buffer, length));
}

bool WriteProfileEntry(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, std::string_view value) {
    // A file marked read-only is not written to. Windows refuses it itself; Wine run as root
    // (as the tests run) would write it all the same.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return false;
    }
    return WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                      file.c_str()) != 0;
}

ProfileFile::~ProfileFile() {
    // The platform keeps profile files in a cache; letting go of the file flushes it. What the
    // flush answers is not looked at.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file_.c_str());
}

}  // namespace telvora::platform
