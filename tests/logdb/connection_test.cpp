#include "logdb/connection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "error_message.h"
#include "platform/error.h"
#include "sqlite_fixture.h"
#include "temp_dir.h"

namespace telvora::logdb {
namespace {

using telvora::test::MakeDatabase;
using telvora::test::MessageOf;
using telvora::test::RawDb;
using telvora::test::TempDir;
using ::testing::HasSubstr;

TEST(ConnectionString, KeepsTheFixedFormAndQuotesOnlyWhatWouldBreakIt) {
    struct Case {
        std::string path;
        std::string dataSource;  // as it appears between "Data Source=" and ";Persist"
    };
    const Case cases[] = {
        {R"(C:\Logger\db\logs.mdb)", R"(C:\Logger\db\logs.mdb)"},
        {R"(db\logs.mdb)", R"(db\logs.mdb)"},
        {"", ""},
        {"/home/op/My Logger/db\\awards.mdb", "/home/op/My Logger/db\\awards.mdb"},
        {"C:\\a=b\\db\\logs.mdb", "C:\\a=b\\db\\logs.mdb"},
        {" lead and trail ", " lead and trail "},
        {"it's\\db\\logs.mdb", "it's\\db\\logs.mdb"},
        // Paths the unquoted form would cut short or misread.
        {R"(C:\Ham;Radio\db\logs.mdb)", R"("C:\Ham;Radio\db\logs.mdb")"},
        {R"(/x;"y"/db\logs.mdb)", R"('/x;"y"/db\logs.mdb')"},
        {R"(/x;"y'/db\logs.mdb)", R"("/x;""y'/db\logs.mdb")"},
        {R"("quoted\db\logs.mdb)", R"('"quoted\db\logs.mdb')"},
        {R"('single\db\logs.mdb)", R"("'single\db\logs.mdb")"},
        {R"( "blank first)", R"(' "blank first')"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string text = BuildConnectionString(c.path);
        EXPECT_EQ(text, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + c.dataSource +
                            ";Persist Security Info=False");
        EXPECT_EQ(ParseDataSource(text), c.path);
    }
}

TEST(ConnectionString, ParsesDataSourceLikeOleDb) {
    struct Case {
        const char* text;
        std::optional<std::string> dataSource;
    };
    const Case cases[] = {
        {"data source=x.mdb", "x.mdb"},
        {"Provider=P; DATA SOURCE =x.mdb ;Mode=Read", "x.mdb "},
        {"Data Source= \"a;b\" ;Persist Security Info=False", "a;b"},
        {"Data Source=first;Data Source=second", "second"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False", std::nullopt},
        {"", std::nullopt},
        {"Data Source=\"unterminated;Persist Security Info=False", std::nullopt},
        {"Data Source=\"a\"b;Persist Security Info=False", std::nullopt},
        {"Data Source;x", std::nullopt},
        {"Data Source=x;;", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDataSource(c.text), c.dataSource);
    }
}

class ConnectionOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "db");
        file = dir / "db" / "logs.mdb";
        MakeDatabase(file, "CREATE TABLE t(a TEXT); INSERT INTO t VALUES ('x');");
    }
    // The folder, then "db\logs.mdb" with a Windows separator, as the program builds it.
    std::string WindowsStylePath() const { return dir.path().string() + "/db\\logs.mdb"; }

    TempDir dir;
    std::filesystem::path file;
    Connection connection{"ADOConnection1"};
};

TEST_F(ConnectionOpen, OpensTheFileNamedWithBackslashesReadWrite) {
    connection.SetConnectionString(BuildConnectionString(WindowsStylePath()));
    connection.SetLoginPrompt(false);
    EXPECT_FALSE(connection.Connected());
    connection.Open();
    ASSERT_TRUE(connection.Connected());
    connection.GetEngine().Insert("t", {"a"}, {std::string("y")});
    connection.Open();  // already open: nothing happens
    EXPECT_TRUE(connection.Connected());
    connection.Close();
    connection.Close();  // closing a closed connection does nothing
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM t"), "2");
}

TEST_F(ConnectionOpen, RelativePathsAreTakenFromTheCurrentFolderAndNeverReadAsUris) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    MakeDatabase(dir / "file:x.mdb", "CREATE TABLE marker(a);");
    connection.SetConnectionString(BuildConnectionString("db\\logs.mdb"));
    connection.Open();
    EXPECT_TRUE(connection.Connected());
    connection.Close();

    Connection uriLike("ADOConnection2");
    uriLike.SetConnectionString(BuildConnectionString("file:x.mdb"));
    uriLike.Open();
    EXPECT_NO_THROW(uriLike.GetEngine().Execute("SELECT * FROM marker", {}));
    uriLike.Close();
    std::filesystem::current_path(previous);
}

TEST_F(ConnectionOpen, PathHoldingASemicolonOpensThroughTheQuotedString) {
    const auto odd = dir / "Ham;Radio";
    std::filesystem::create_directories(odd / "db");
    MakeDatabase(odd / "db" / "logs.mdb", "CREATE TABLE semi(a);");
    connection.SetConnectionString(BuildConnectionString(odd.string() + "/db\\logs.mdb"));
    connection.Open();
    EXPECT_NO_THROW(connection.GetEngine().Execute("SELECT * FROM semi", {}));
}

TEST_F(ConnectionOpen, FailuresNameTheFileAndCreateNothing) {
    std::filesystem::create_directories(dir / "folder.mdb");
    test::WriteFileBytes(dir / "text.mdb", std::string(4096, 'x'));
    struct Case {
        std::string path;
        std::string message;
    };
    const std::string base = dir.path().string();
    const Case cases[] = {
        {base + "/db\\missing.mdb", "Could not find file '" + base + "/db/missing.mdb'"},
        {base + "/nodir\\logs.mdb", "Could not find file '" + base + "/nodir/logs.mdb'"},
        {base + "/folder.mdb", "'" + base + "/folder.mdb' is a folder, not a database file"},
        {base + "/text.mdb", "The file '" + base + "/text.mdb' is not a database"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        Connection conn("ADOConnection1");
        conn.SetConnectionString(BuildConnectionString(c.path));
        EXPECT_EQ(MessageOf([&] { conn.Open(); }), c.message);
        EXPECT_FALSE(conn.Connected());
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "db" / "missing.mdb"));
    EXPECT_FALSE(std::filesystem::exists(dir / "nodir"));
    EXPECT_EQ(test::ReadFileBytes(dir / "text.mdb"), std::string(4096, 'x'));
}

TEST_F(ConnectionOpen, EmptyPathIsAMissingFile) {
    connection.SetConnectionString(BuildConnectionString(""));
    EXPECT_EQ(MessageOf([&] { connection.Open(); }), "Could not find file ''");
}

TEST_F(ConnectionOpen, ConnectionStringWithoutDataSourceIsRefused) {
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(MessageOf([&] { connection.Open(); }),
              "ADOConnection1: The connection string names no database file");
}

TEST_F(ConnectionOpen, ConnectionStringCannotChangeWhileOpen) {
    connection.SetConnectionString(BuildConnectionString(file.string()));
    connection.Open();
    EXPECT_THAT(MessageOf([&] { connection.SetConnectionString("x"); }),
                HasSubstr("not allowed when the connection is open"));
    EXPECT_EQ(connection.ConnectionString(), BuildConnectionString(file.string()));
}

TEST_F(ConnectionOpen, LockedDatabaseFailsAfterTheWaitWithAMessageNamingIt) {
    RawDb holder(file);
    holder.Exec("BEGIN EXCLUSIVE");
    connection.SetConnectionString(BuildConnectionString(file.string()));
    connection.SetBusyTimeout(std::chrono::milliseconds(20));
    EXPECT_EQ(MessageOf([&] { connection.Open(); }),
              "The database '" + file.string() + "' is locked by another program");
    EXPECT_FALSE(connection.Connected());
    holder.Exec("COMMIT");
    connection.Open();
    EXPECT_TRUE(connection.Connected());
}

TEST_F(ConnectionOpen, LockedDatabaseIsWaitedOnUntilItIsReleased) {
    RawDb holder(file);
    holder.Exec("BEGIN EXCLUSIVE");
    // The lock goes away while Open waits; the generous timeout only bounds a broken wait.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        holder.Exec("COMMIT");
    });
    connection.SetConnectionString(BuildConnectionString(file.string()));
    connection.SetBusyTimeout(std::chrono::seconds(60));
    EXPECT_NO_THROW(connection.Open());
    release.join();
    EXPECT_TRUE(connection.Connected());
}

TEST(ConnectionJournal, KeepsTheFilesJournalModeAndRelaxesSyncOnlyUnderWal) {
    struct Case {
        const char* mode;
        int synchronous;
    };
    // Only these two are kept in the file itself; the others are per connection.
    const Case cases[] = {{"delete", 2}, {"wal", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        TempDir dir;
        const auto file = dir / "awards.mdb";
        MakeDatabase(file, std::string("PRAGMA journal_mode=") + c.mode + "; CREATE TABLE t(a);");
        Connection connection("ADOConnection2");
        connection.SetConnectionString(BuildConnectionString(file.string()));
        connection.Open();
        connection.GetEngine().Insert("t", {"a"}, {std::int64_t{1}});
        const auto result = connection.GetEngine().Execute("PRAGMA synchronous", {});
        ASSERT_TRUE(result && result->rows == 1);
        EXPECT_EQ(result->cells[0], Value{std::int64_t{c.synchronous}});
        connection.Close();
        EXPECT_EQ(RawDb(file).Scalar("PRAGMA journal_mode"), c.mode);
    }
}

}  // namespace
}  // namespace telvora::logdb
