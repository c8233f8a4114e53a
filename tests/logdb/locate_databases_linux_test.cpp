// Finding the logger's databases from its registry entry, on real registry files.
#include "logdb/locate_databases.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/registry.h"
#include "temp_dir.h"

namespace telvora::logdb {
namespace {

namespace fs = std::filesystem;

std::string ToUtf16File(const std::string& utf8) {
    iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
    std::string in = utf8;
    std::string out(in.size() * 4 + 16, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return "\xFF\xFE" + out;
}

constexpr const char* kKeyFile =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n";

struct Case {
    const char* what;
    std::string value_line;             // in the logger's key; "" for none
    std::optional<std::string> folder;  // what the paths start with; nullopt: the error below
    const char* error = nullptr;
};

TEST(LocateDatabasesTest, InstallPathCases) {
    const Case cases[] = {
        {"closing backslash", R"("InstallPath"="C:\\Logger\\")", "C:\\Logger\\"},
        {"no closing backslash: no separator inserted", R"("InstallPath"="C:\\Logger")",
         "C:\\Logger"},
        {"a folder of this machine", R"("InstallPath"="/home/op/Quorvex/")", "/home/op/Quorvex/"},
        {"non-ASCII folder", R"("InstallPath"="C:\\Журнал\\")", "C:\\Журнал\\"},
        {"name without regard to case", R"("installpath"="D:\\Q\\")", "D:\\Q\\"},
        {"expandable string used literally",
         // %APPDATA%\Q\ as UTF-16LE with its NUL
         "\"InstallPath\"=hex(2):25,00,41,00,50,00,50,00,44,00,41,00,54,00,41,00,25,00,5c,00,"
         "\\\r\n  51,00,5c,00,00,00",
         "%APPDATA%\\Q\\"},
        {"text ends at the first NUL", "\"InstallPath\"=hex(2):43,00,3a,00,00,00,58,00,00,00",
         "C:"},
        {"string without NUL", "\"InstallPath\"=hex(1):43,00,3a,00", "C:"},
        {"empty string", R"("InstallPath"="")", ""},
        {"size 0, expandable", "\"InstallPath\"=hex(2):", ""},
        {"size 0 counts before the type", "\"InstallPath\"=hex:", ""},
        {"no value", R"("Other"="C:\\X\\")", ""},
        {"no value at all", "", ""},
        {"a number", "\"InstallPath\"=dword:00000001", std::nullopt,
         "Invalid data type for 'InstallPath'"},
        {"binary data", "\"InstallPath\"=hex:43,00,00,00", std::nullopt,
         "Invalid data type for 'InstallPath'"},
        {"multi-string", "\"InstallPath\"=hex(7):43,00,00,00,00,00", std::nullopt,
         "Invalid data type for 'InstallPath'"},
        {"unquoted text", "\"InstallPath\"=C:\\Logger\\", std::nullopt,
         "Invalid data type for 'InstallPath'"},
        {"broken number: its type still shows", "\"InstallPath\"=dword:xyz", std::nullopt,
         "Invalid data type for 'InstallPath'"},
        {"broken hex", "\"InstallPath\"=hex(2):43,00,zz", std::nullopt,
         "Failed to get data for 'InstallPath'"},
        {"string without closing quote", R"("InstallPath"="C:\Logger\")", std::nullopt,
         "Failed to get data for 'InstallPath'"},
    };
    for (const Case& c : cases) {
        for (bool utf16 : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (utf16 ? " / UTF-16LE" : " / UTF-8"));
            test::TempDir dir;
            const fs::path file = dir / "HKEY_CURRENT_USER.reg";
            const std::string text = kKeyFile + c.value_line + "\r\n\r\n";
            const std::string bytes = utf16 ? ToUtf16File(text) : text;
            test::WriteFileBytes(file, bytes);
            platform::CurrentUserRegistry registry(file);
            if (c.folder) {
                const DatabasePaths paths = LocateDatabases(registry);
                EXPECT_EQ(paths.logs, *c.folder + "db\\logs.mdb");
                EXPECT_EQ(paths.awards, *c.folder + "db\\awards.mdb");
            } else {
                try {
                    LocateDatabases(registry);
                    ADD_FAILURE() << "no error raised";
                } catch (const Error& error) {
                    EXPECT_STREQ(error.what(), c.error);
                }
            }
            EXPECT_EQ(test::ReadFileBytes(file), bytes) << "the registry is only read";
        }
    }
}

TEST(LocateDatabasesTest, MissingKeyIsCreatedAndGivesRelativePaths) {
    struct Setup {
        const char* what;
        std::optional<std::string> original;  // nullopt: no file
    };
    const Setup setups[] = {
        {"no file, no folder", std::nullopt},
        {"file with other keys",
         std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\"
                     "Other]\r\n\"InstallPath\"=\"C:\\\\Other\\\\\"\r\n")},
    };
    for (const Setup& s : setups) {
        SCOPED_TRACE(s.what);
        test::TempDir dir;
        const fs::path file = dir.path() / "cfg" / "telvora" / "HKEY_CURRENT_USER.reg";
        if (s.original) {
            fs::create_directories(file.parent_path());
            test::WriteFileBytes(file, *s.original);
        }
        platform::CurrentUserRegistry registry(file);
        const DatabasePaths paths = LocateDatabases(registry);
        EXPECT_EQ(paths.logs, "db\\logs.mdb");
        EXPECT_EQ(paths.awards, "db\\awards.mdb");

        // The key now exists, empty, and the file's earlier content is kept.
        const std::string after = test::ReadFileBytes(file);
        EXPECT_TRUE(after.starts_with(s.original.value_or("")));
        EXPECT_TRUE(after.ends_with("[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n\r\n")) << after;
        const auto key = registry.CreateKey("Software\\Quorvex");
        ASSERT_TRUE(key);
        EXPECT_FALSE(key->QueryValue("InstallPath"));
        EXPECT_EQ(test::ReadFileBytes(file), after);
    }
}

TEST(LocateDatabasesTest, KeyThatCannotBeOpenedGivesEmptyPathsSilently) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "cfg", "a file where the folder should be");
    platform::CurrentUserRegistry registry(dir.path() / "cfg" / "telvora" / "r.reg");
    DatabasePaths paths{"stale", "stale"};
    ASSERT_NO_THROW(paths = LocateDatabases(registry));
    EXPECT_EQ(paths.logs, "");
    EXPECT_EQ(paths.awards, "");
}

}  // namespace
}  // namespace telvora::logdb
