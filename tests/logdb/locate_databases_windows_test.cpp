// Finding the logger's databases from its registry entry, in the real registry of the current
// user (the test's throwaway Wine prefix): what RegSetValueExW stores is what LocateDatabases
// reads back.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "error_message.h"
#include "logdb/locate_databases.h"
#include "platform/registry.h"
#include "platform/wide.h"

namespace telvora::logdb {
namespace {

constexpr const wchar_t* kLoggerKey = L"Software\\Quorvex";

// The logger's key as the test leaves it: deleted, or holding InstallPath of `type` with
// exactly these bytes.
void SetInstallPath(std::optional<DWORD> type, const std::string& bytes = {}) {
    RegDeleteKeyW(HKEY_CURRENT_USER, kLoggerKey);
    if (!type) {
        return;
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kLoggerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExW(key, L"InstallPath", 0, *type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

// A wide text as the registry stores a string: UTF-16LE bytes, with its NUL.
std::string Stored(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()),
                       (text.size() + 1) * sizeof(wchar_t));
}

bool LoggerKeyExists() {
    HKEY key = nullptr;
    const bool exists =
        RegOpenKeyExW(HKEY_CURRENT_USER, kLoggerKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (exists) {
        RegCloseKey(key);
    }
    return exists;
}

// All cases in one test: they share the one key of the logger.
TEST(LocateDatabasesWindowsTest, InstallPathByEveryRule) {
    struct Case {
        const char* what;
        std::optional<DWORD> type;  // nullopt: no key at all
        std::string bytes;
        std::optional<std::string> folder;  // what both paths start with; nullopt: `error`
        const char* error = nullptr;
    };
    const DWORD number = 7;
    const Case cases[] = {
        {"no key: it is made, the paths are relative", std::nullopt, "", ""},
        {"closing backslash", REG_SZ, Stored(L"C:\\Logger\\"), "C:\\Logger\\"},
        {"no closing backslash: no separator inserted", REG_SZ, Stored(L"C:\\Logger"),
         "C:\\Logger"},
        {"non-ASCII folder", REG_SZ, Stored(L"C:\\\u0416\u0443\u0440\u043d\u0430\u043b\\"),
         "C:\\\xD0\x96\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB\\"},
        {"expandable string used literally", REG_EXPAND_SZ, Stored(L"%APPDATA%\\Q\\"),
         "%APPDATA%\\Q\\"},
        {"text ends at the first NUL", REG_SZ, std::string("C\0:\0\0\0X\0\0\0", 10), "C:"},
        {"string without its NUL", REG_SZ, std::string("C\0:\0", 4), "C:"},
        {"size 0", REG_SZ, "", ""},
        {"size 0 counts before the type", REG_DWORD, "", ""},
        {"a number", REG_DWORD, std::string(reinterpret_cast<const char*>(&number), 4),
         std::nullopt, "Invalid data type for 'InstallPath'"},
        {"binary data", REG_BINARY, "\x01\x02", std::nullopt,
         "Invalid data type for 'InstallPath'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetInstallPath(c.type, c.bytes);
        platform::CurrentUserRegistry registry;
        if (c.folder) {
            const DatabasePaths paths = LocateDatabases(registry);
            EXPECT_EQ(paths.logs, *c.folder + "db\\logs.mdb");
            EXPECT_EQ(paths.awards, *c.folder + "db\\awards.mdb");
        } else {
            EXPECT_EQ(test::MessageOf([&] { LocateDatabases(registry); }), c.error);
        }
        EXPECT_TRUE(LoggerKeyExists());
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, kLoggerKey);
}

}  // namespace
}  // namespace telvora::logdb
