// The connection string the ODBC engine opens a file with. What Jet's driver makes of it can
// only be read in Microsoft's documentation; its form is checked here.
#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <filesystem>

#include "logdb/engine.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace telvora::logdb {
namespace {

TEST(OdbcConnectionString, TheAccessDriverOnTheFileBracedOnlyWhereTheValueWouldEnd) {
    test::ScopedEnv noTestDriver("TELVORA_ODBC_DRIVER", std::nullopt);
    struct Case {
        std::string path;
        std::string dbq;
    };
    const Case cases[] = {
        {R"(C:\Logger\db\logs.mdb)", R"(C:\Logger\db\logs.mdb)"},
        {R"(db\awards.mdb)", R"(db\awards.mdb)"},
        {R"(C:\My Logger\it's=1\db\logs.mdb)", R"(C:\My Logger\it's=1\db\logs.mdb)"},
        {R"(C:\Ham;Radio\db\logs.mdb)", R"({C:\Ham;Radio\db\logs.mdb})"},
        {R"(C:\a{b}c\db\logs.mdb)", R"({C:\a{b}}c\db\logs.mdb})"},
        {R"( C:\lead\db\logs.mdb)", R"({ C:\lead\db\logs.mdb})"},
        {R"(C:\trail \db\logs.mdb )", R"({C:\trail \db\logs.mdb })"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(OdbcConnectionString(c.path, 5000),
                  "Driver={Microsoft Access Driver (*.mdb)};DBQ=" + c.dbq);
    }
}

TEST(OdbcConnectionString, ANamedTestDriverIsAlsoToldTheHostPathNoCreatAndTheWait) {
    test::ScopedEnv driver("TELVORA_ODBC_DRIVER", "Telvora Test SQLite");
#ifdef _WIN32
    if (!platform::OnUnixHost()) {
        GTEST_SKIP() << "Windows proper has no host whose driver a test could name";
    }
#endif
    test::TempDir dir;
    const auto file = dir.path() / "My Logger" / "db" / "logs.mdb";
    std::filesystem::create_directories(file.parent_path());
    test::WriteFileBytes(file, "x");
    // As the registry look-up makes it: the folder, then "db\logs.mdb".
    const std::string path = platform::PathToUtf8(dir.path() / "My Logger") + "/db\\logs.mdb";

    const std::string text = OdbcConnectionString(path, 20);
    const std::string start = "Driver={Telvora Test SQLite};DBQ=";
    const std::string tail = ";NoCreat=1;Timeout=20";
    ASSERT_EQ(text.substr(0, start.size()), start);
    const std::size_t database = text.find(";Database=");
    ASSERT_NE(database, std::string::npos) << text;
    // DBQ as Jet takes it: the path, or its short name where the ANSI code page cannot hold it
    // (the Windows tests' folders are named in Cyrillic).
    const std::string dbq = text.substr(start.size(), database - start.size());
#ifdef _WIN32
    EXPECT_TRUE(std::filesystem::equivalent(platform::PathFromUtf8(dbq), file)) << dbq;
#else
    EXPECT_EQ(dbq, path);
#endif
    const std::string head = text.substr(0, database) + ";Database=";
    ASSERT_GT(text.size(), head.size() + tail.size());
    ASSERT_EQ(text.substr(text.size() - tail.size()), tail);
    const std::string host = text.substr(head.size(), text.size() - head.size() - tail.size());
#ifdef _WIN32
    // The host's path of the same file, as Wine maps it back.
    using ToDosName = wchar_t*(__cdecl*)(const char*);
    const auto toDos = reinterpret_cast<ToDosName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    ASSERT_NE(toDos, nullptr);
    wchar_t* dos = toDos(host.c_str());
    ASSERT_NE(dos, nullptr) << host;
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(dos), file)) << host;
    HeapFree(GetProcessHeap(), 0, dos);
#else
    EXPECT_EQ(host, platform::PathToUtf8(file));
#endif
}

}  // namespace
}  // namespace telvora::logdb
