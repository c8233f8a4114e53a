// The version record of a Windows executable: its VERSIONINFO resource.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "platform/version_record.h"
#include "platform/wide.h"

namespace telvora::platform {
namespace {

// The names a string table holds by convention; VerQueryValueW asks for one name at a time and
// cannot list them.
constexpr const wchar_t* kStringNames[] = {
    L"Comments",     L"CompanyName",    L"FileDescription", L"FileVersion",
    L"InternalName", L"LegalCopyright", L"LegalTrademarks", L"OriginalFilename",
    L"PrivateBuild", L"ProductName",    L"ProductVersion",  L"SpecialBuild",
};

}  // namespace

std::optional<VersionRecord> ReadVersionRecord(const std::filesystem::path& executable) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(executable.c_str(), &ignored);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(executable.c_str(), 0, size, block.data())) {
        return std::nullopt;
    }
    VersionRecord record;
    void* found = nullptr;
    UINT length = 0;
    if (VerQueryValueW(block.data(), L"\\", &found, &length) &&
        length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(found);
        record.fixed = {fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS,
                        fixed->dwProductVersionLS};
    }
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &found, &length)) {
        const auto* pairs = static_cast<const WORD*>(found);
        for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
            record.translations.push_back({pairs[i], pairs[i + 1]});
        }
    }
    for (const VersionTranslation& translation : record.translations) {
        wchar_t table[9];
        std::swprintf(table, 9, L"%04X%04X", translation.language, translation.codePage);
        for (const wchar_t* name : kStringNames) {
            const std::wstring query = std::wstring(L"\\StringFileInfo\\") + table + L"\\" + name;
            if (VerQueryValueW(block.data(), query.c_str(), &found, &length) && length > 0) {
                const auto* text = static_cast<const wchar_t*>(found);
                std::wstring_view value(text, length);
                while (!value.empty() && value.back() == L'\0') {
                    value.remove_suffix(1);
                }
                record.stringTables[Narrow(table)][Narrow(name)] = Narrow(value);
            }
        }
    }
    return record;
}

}  // namespace telvora::platform
