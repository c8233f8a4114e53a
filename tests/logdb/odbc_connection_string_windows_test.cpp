// Jet's driver takes ANSI strings: a path the ANSI code page cannot hold is handed to it by its
// short name.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include "logdb/engine.h"
#include "platform/paths.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace telvora::logdb {
namespace {

constexpr std::string_view kAccess = "Driver={Microsoft Access Driver (*.mdb)};DBQ=";

// What follows "DBQ=" in the string the file is opened with.
std::string DbqOf(const std::filesystem::path& file) {
    const std::string text = OdbcConnectionString(platform::PathToUtf8(file), 5000);
    EXPECT_EQ(text.substr(0, kAccess.size()), kAccess);
    return text.substr(kAccess.size());
}

TEST(JetPath, AFolderTheCodePageCannotHoldIsNamedByItsShortNameOfTheSameFile) {
    test::ScopedEnv noTestDriver("TELVORA_ODBC_DRIVER", std::nullopt);
    test::TempDir dir;
    // No code page holds both: "Ж" is missing from 1252, "Ü" from 1251.
    const auto odd = dir.path() / platform::PathFromUtf8("Журнал Übung") / "db";
    // Out of the tests' own folder, which is named in Cyrillic.
    const auto plain = std::filesystem::temp_directory_path() /
                       ("telvora-plain-" + std::to_string(GetCurrentProcessId())) / "db";
    for (const auto& folder : {odd, plain}) {
        std::filesystem::create_directories(folder);
        test::WriteFileBytes(folder / "logs.mdb", "x");
    }

    const std::string dbq = DbqOf(odd / "logs.mdb");
    for (const char c : dbq) {
        EXPECT_LT(static_cast<unsigned char>(c), 0x80) << dbq;
    }
    EXPECT_TRUE(std::filesystem::equivalent(platform::PathFromUtf8(dbq), odd / "logs.mdb"));
    EXPECT_EQ(DbqOf(plain / "logs.mdb"), platform::PathToUtf8(plain / "logs.mdb"));
    std::filesystem::remove_all(plain.parent_path());
}

}  // namespace
}  // namespace telvora::logdb
