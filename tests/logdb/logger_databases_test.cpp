#include "logdb/logger_databases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "error_message.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "sqlite_fixture.h"
#include "temp_dir.h"
#include "test_engines.h"

namespace telvora::logdb {
namespace {

using telvora::test::MessageOf;
using namespace std::chrono;
using telvora::test::MakeDatabase;
using telvora::test::RawDb;
using telvora::test::Row;
using telvora::test::TempDir;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr Date kDay = year{2024} / 5 / 6;

const char* const kLogTable =
    "(Id INTEGER PRIMARY KEY, QSODate DATETIME, CallSign TEXT(20), State TEXT(10), "
    "QSOTime TEXT(5), DigiBand TEXT(10), QSOMode TEXT(10))";

// A logger installation: "<folder>/db/logs.mdb" and "<folder>/db/awards.mdb", reached through
// the engine of the test (SQLite, or ODBC through the SQLite driver or the Access driver's
// stand-in).
class LoggerDatabasesBase : public ::testing::Test {
  protected:
    explicit LoggerDatabasesBase(const test::TestEngine& tested)
        : testEngine(tested), engine(test::UseEngine(tested)) {
        db.SetEngine(engine);
    }

    // Databases of the test's engine, for files of their own.
    std::unique_ptr<LoggerDatabases> Fresh() const {
        auto fresh = std::make_unique<LoggerDatabases>();
        fresh->SetEngine(engine);
        return fresh;
    }

    void ExpectEngineMessage(const std::string& message, const std::string& core) const {
        test::ExpectEngineMessage(engine, message, core);
    }

    void SetUp() override {
        std::filesystem::create_directories(dir / "db");
        logs = dir / "db" / "logs.mdb";
        awards = dir / "db" / "awards.mdb";
        MakeDatabase(logs, std::string(R"(
            CREATE TABLE Aconfig(LogName TEXT, LogFileName TEXT);
            INSERT INTO Aconfig VALUES ('Main', 'Log1'), ('Field''s', 'Log2'),
                                       ('Contest', 'Log3');
            CREATE TABLE Log1)") +
                               kLogTable + "; CREATE TABLE Log2" + kLogTable +
                               "; CREATE TABLE Log3" + kLogTable + ";");
        MakeDatabase(awards, R"(
            CREATE TABLE Statistic(Id INTEGER, Description TEXT);
            INSERT INTO Statistic VALUES (1, 'RDA'), (2, 'RDA-2020'), (3, 'My RDA'),
                                         (4, 'WAZ'), (5, NULL);
            CREATE TABLE Avtozachet(Id INTEGER PRIMARY KEY AUTOINCREMENT, Awards TEXT(10),
                CallSign TEXT(20), QSODate DATETIME, QSOTime TEXT(10), DigiBand TEXT(10),
                QSOMode TEXT(10), Confirmed INTEGER DEFAULT 0, Note TEXT DEFAULT 'auto');
        )");
    }

    // The folder followed directly by "db\...", as the registry look-up makes the paths.
    DatabasePaths Paths() const {
        const std::string folder = platform::PathToUtf8(dir.path()) + "/";
        return {folder + "db\\logs.mdb", folder + "db\\awards.mdb"};
    }

    void Contacts(const std::string& table, const std::string& values) {
        RawDb(logs).Exec("INSERT INTO " + table +
                         "(QSODate, CallSign, State, QSOTime, DigiBand, QSOMode) VALUES " + values);
    }

    std::vector<std::string> FoundCallsigns() {
        std::vector<std::string> calls;
        for (db.FindQuery.First(); !db.FindQuery.Eof(); db.FindQuery.Next()) {
            calls.push_back(db.FindQuery.FieldAsText("CallSign"));
        }
        return calls;
    }

    // A log table's name as the engine places it in a statement.
    std::string Table(const std::string& name) const {
        return test::TableInStatement(testEngine, name);
    }

    test::TestEngine testEngine;
    EngineKind engine;
    TempDir dir;
    std::filesystem::path logs;
    std::filesystem::path awards;
    LoggerDatabases db;
};

class LoggerDatabasesTest : public LoggerDatabasesBase,
                            public ::testing::WithParamInterface<test::TestEngine> {
  protected:
    LoggerDatabasesTest() : LoggerDatabasesBase(GetParam()) {}
};

#ifndef _WIN32  // the SQLite engine: not in the Windows build
// What SQLite files alone can hold: dates as text or day counts in one column.
class SqliteStorageTest : public LoggerDatabasesBase {
  protected:
    SqliteStorageTest() : LoggerDatabasesBase(test::kSqliteEngine) {}
};
#endif

TEST_P(LoggerDatabasesTest, AwardsStatementIsStoredFromTheStart) {
    EXPECT_THAT(db.ADOQuery1.SqlLines(),
                ElementsAre("SELECT *", "FROM Statistic", "WHERE Description  LIKE \"RDA%\";"));
    EXPECT_EQ(db.ADOQuery1.SentText(),
              "SELECT *\r\nFROM Statistic\r\nWHERE Description  LIKE \"RDA%\";\r\n");
    EXPECT_EQ(db.ADOQuery1.ParamCount(), 0u);
    EXPECT_EQ(&db.ADOQuery1.GetConnection(), &db.ADOConnection2);
    EXPECT_EQ(&db.AconfigQuery.GetConnection(), &db.ADOConnection1);
    EXPECT_EQ(&db.FindQuery.GetConnection(), &db.ADOConnection1);
    EXPECT_EQ(&db.avtoQuery.GetConnection(), &db.ADOConnection2);
    EXPECT_FALSE(db.ADOConnection1.Connected());
    EXPECT_FALSE(db.ADOConnection2.Connected());
}

TEST_P(LoggerDatabasesTest, OpensBothDatabasesWithTheFixedConnectionStrings) {
    db.OpenDatabases(Paths());
    EXPECT_TRUE(db.ADOConnection1.Connected());
    EXPECT_TRUE(db.ADOConnection2.Connected());
    EXPECT_FALSE(db.ADOConnection1.LoginPrompt());
    EXPECT_EQ(db.ADOConnection1.ConnectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + platform::PathToUtf8(dir.path()) +
                  "/db\\logs.mdb;Persist Security Info=False");
    EXPECT_EQ(db.ADOConnection2.ConnectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + platform::PathToUtf8(dir.path()) +
                  "/db\\awards.mdb;Persist Security Info=False");
}

// Without InstallPath the paths "db\logs.mdb" and "db\awards.mdb" are handed over as they
// are: the files of the current folder.
TEST_P(LoggerDatabasesTest, RelativePathsAreTheCurrentFoldersFiles) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    db.OpenDatabases({"db\\logs.mdb", "db\\awards.mdb"});
    std::filesystem::current_path(previous);
    EXPECT_THAT(db.ReadLogNames(), ElementsAre("Main", "Field's", "Contest"));
    db.ReadAwards();
    EXPECT_EQ(db.ADOQuery1.RecordCount(), 2u);
}

TEST_P(LoggerDatabasesTest, AFailedOpenLeavesTheLaterDatabaseAlone) {
    std::filesystem::rename(logs, dir / "db" / "logs.bak");
    EXPECT_EQ(MessageOf([&] { db.OpenDatabases(Paths()); }),
              "Could not find file '" + platform::PathToUtf8(logs) + "'");
    EXPECT_FALSE(db.ADOConnection1.Connected());
    EXPECT_FALSE(db.ADOConnection2.Connected());
    EXPECT_EQ(db.ADOConnection2.ConnectionString(), "");

    std::filesystem::rename(dir / "db" / "logs.bak", logs);
    std::filesystem::remove(awards);
    EXPECT_EQ(MessageOf([&] { db.OpenDatabases(Paths()); }),
              "Could not find file '" + platform::PathToUtf8(awards) + "'");
    EXPECT_TRUE(db.ADOConnection1.Connected());
    EXPECT_FALSE(db.ADOConnection2.Connected());
    EXPECT_FALSE(std::filesystem::exists(awards));
}

#ifndef _WIN32  // the SQLite engine: not in the Windows build
// The SQLite driver that stands in for Jet's in the tests takes no braced value, so a path
// holding ";" is tried with the SQLite engine only.
TEST_F(SqliteStorageTest, InstallFolderHoldingASemicolonStillOpens) {
    const auto odd = dir / "Ham;Radio";
    std::filesystem::create_directories(odd / "db");
    std::filesystem::copy_file(logs, odd / "db" / "logs.mdb");
    std::filesystem::copy_file(awards, odd / "db" / "awards.mdb");
    const std::string folder = platform::PathToUtf8(odd) + "/";
    db.OpenDatabases({folder + "db\\logs.mdb", folder + "db\\awards.mdb"});
    EXPECT_EQ(db.ADOConnection1.ConnectionString(),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + folder +
                  "db\\logs.mdb\";Persist Security Info=False");
    EXPECT_THAT(db.ReadLogNames(), ElementsAre("Main", "Field's", "Contest"));
}
#endif

// Users name their folders in their own letters: the path reaches the engine and the messages
// whole, never narrowed through a code page (Cyrillic and "Ü" share none of Windows's).
TEST_P(LoggerDatabasesTest, InstallFolderWithANonAsciiNameOpensAndIsNamedWhole) {
    const auto folder = dir.path() / platform::PathFromUtf8("Журнал Übung");
    std::filesystem::create_directories(folder / "db");
    std::filesystem::copy_file(logs, folder / "db" / "logs.mdb");
    std::filesystem::copy_file(awards, folder / "db" / "awards.mdb");
    const std::string base = platform::PathToUtf8(folder) + "/";
    db.OpenDatabases({base + "db\\logs.mdb", base + "db\\awards.mdb"});
    EXPECT_THAT(db.ReadLogNames(), ElementsAre("Main", "Field's", "Contest"));
    db.ReadAwards();
    EXPECT_EQ(db.ADOQuery1.RecordCount(), 2u);

    std::filesystem::remove(folder / "db" / "awards.mdb");
    const auto fresh = Fresh();
    EXPECT_EQ(MessageOf([&] {
                  fresh->OpenDatabases({base + "db\\logs.mdb", base + "db\\awards.mdb"});
              }),
              "Could not find file '" + platform::PathToUtf8(folder / "db" / "awards.mdb") + "'");
}

TEST_P(LoggerDatabasesTest, AwardsListHoldsTheRdaAwardsAndStaysOpen) {
    db.OpenDatabases(Paths());
    db.ReadAwards();
    ASSERT_TRUE(db.ADOQuery1.Active());
    std::vector<std::pair<std::string, std::string>> listed;
    for (; !db.ADOQuery1.Eof(); db.ADOQuery1.Next()) {
        listed.emplace_back(db.ADOQuery1.FieldAsText("Id"),
                            db.ADOQuery1.FieldAsText("Description"));
    }
    EXPECT_THAT(listed, ElementsAre(std::pair{"1", "RDA"}, std::pair{"2", "RDA-2020"}));
    // The credit run's statements do not disturb the list.
    db.FindCredit(kDay, "Q1ABC", "12:00");
    EXPECT_TRUE(db.ADOQuery1.Active());
    EXPECT_EQ(db.ADOQuery1.RecordCount(), 2u);
}

TEST_P(LoggerDatabasesTest, AwardsStatementFailuresAreTheEnginesMessages) {
    struct Case {
        const char* schema;
        const char* message;
    };
    const Case cases[] = {
        {"DROP TABLE Statistic;", "no such table: Statistic"},
        {"DROP TABLE Statistic; CREATE TABLE Statistic(Id INTEGER, Name TEXT);",
         "no such column: Description"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir other;
        std::filesystem::copy_file(awards, other / "awards.mdb");
        RawDb(other / "awards.mdb").Exec(c.schema);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(logs), platform::PathToUtf8(other / "awards.mdb")});
        ExpectEngineMessage(MessageOf([&] { fresh.ReadAwards(); }), c.message);
        EXPECT_FALSE(fresh.ADOQuery1.Active());
    }
}

TEST_P(LoggerDatabasesTest, LogNamesComeOneARowInTheEnginesOrder) {
    struct Case {
        const char* label;
        const char* aconfig;  // statements run on the logs database first
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"three logs", "", {"Main", "Field's", "Contest"}},
        {"null name and duplicates",
         "INSERT INTO Aconfig VALUES (NULL, 'Log1'), ('Main', 'Log3');",
         {"Main", "Field's", "Contest", "", "Main"}},
        {"empty table", "DELETE FROM Aconfig;", {}},
        {"no LogName column and no rows",
         "DROP TABLE Aconfig; CREATE TABLE Aconfig(Name TEXT, LogFileName TEXT);",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir other;
        std::filesystem::copy_file(logs, other / "logs.mdb");
        RawDb(other / "logs.mdb").Exec(c.aconfig);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(other / "logs.mdb"), platform::PathToUtf8(awards)});
        EXPECT_EQ(fresh.ReadLogNames(), c.names);
        EXPECT_EQ(fresh.AconfigQuery.SentText(), "SELECT * FROM Aconfig\r\n");
        EXPECT_TRUE(fresh.AconfigQuery.Active());
    }
}

TEST_P(LoggerDatabasesTest, LogNameFailures) {
    struct Case {
        const char* schema;
        const char* message;
    };
    const Case cases[] = {
        {"DROP TABLE Aconfig;", "no such table: Aconfig"},
        {"DROP TABLE Aconfig; CREATE TABLE Aconfig(Name TEXT, LogFileName TEXT);"
         "INSERT INTO Aconfig VALUES ('Main', 'Log1');",
         "AconfigQuery: Field 'LogName' not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        TempDir other;
        std::filesystem::copy_file(logs, other / "logs.mdb");
        RawDb(other / "logs.mdb").Exec(c.schema);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(other / "logs.mdb"), platform::PathToUtf8(awards)});
        ExpectEngineMessage(MessageOf([&] { fresh.ReadLogNames(); }), c.message);
    }
}

TEST_P(LoggerDatabasesTest, SelectionTextQuotesEveryNameAndSelectsTheirRows) {
    RawDb(logs).Exec("INSERT INTO Aconfig VALUES ('Contest', 'Log1'), ('Полевой', 'Log3');");
    db.OpenDatabases(Paths());
    struct Case {
        std::vector<std::string> names;
        std::string sent;
        std::vector<std::string> tables;
    };
    const Case cases[] = {
        {{"Main"}, "SELECT * FROM Aconfig WHERE LogName = 'Main'\r\n", {"Log1"}},
        {{"Main", "Field's"},
         "SELECT * FROM Aconfig WHERE LogName = 'Main' OR LogName = 'Field''s'\r\n",
         {"Log1", "Log2"}},
        {{"Field's", "Main"},
         "SELECT * FROM Aconfig WHERE LogName = 'Field''s' OR LogName = 'Main'\r\n",
         {"Log1", "Log2"}},  // the engine's order, not the names'
        {{"Contest"}, "SELECT * FROM Aconfig WHERE LogName = 'Contest'\r\n", {"Log3", "Log1"}},
        {{"Полевой"}, "SELECT * FROM Aconfig WHERE LogName = 'Полевой'\r\n", {"Log3"}},
        {{"Nowhere"}, "SELECT * FROM Aconfig WHERE LogName = 'Nowhere'\r\n", {}},
        {{"x' OR '1'='1"}, "SELECT * FROM Aconfig WHERE LogName = 'x'' OR ''1''=''1'\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        db.SelectLogTables(c.names);
        EXPECT_EQ(db.AconfigQuery.SentText(), c.sent);
        std::vector<std::string> tables;
        for (; !db.AconfigQuery.Eof(); db.AconfigQuery.Next()) {
            tables.push_back(db.AconfigQuery.FieldAsText("LogFileName"));
        }
        EXPECT_EQ(tables, c.tables);
    }
    EXPECT_EQ(MessageOf([&] { db.SelectLogTables({}); }), "No log is checked");
}

TEST_P(LoggerDatabasesTest, ContactSearchSendsOneUnionWithOneDateParameterPerTable) {
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main", "Field's"});
    EXPECT_FALSE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_EQ(db.FindQuery.SentText(),
              "SELECT * FROM " + Table("Log1") +
                  " WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND State = 'AB-01' "
                  "UNION ALL SELECT * FROM " +
                  Table("Log2") +
                  " WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND State = 'AB-01'\r\n");

    db.SelectLogTables({"Main", "Field's", "Contest"});
    db.FindQso(kDay, "Q1ABC", "AB-01");
    ASSERT_EQ(db.FindQuery.ParamCount(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(db.FindQuery.Param(i).Name(), "adate");
        EXPECT_EQ(db.FindQuery.Param(i).Type(), Parameter::DataType::Date);
        EXPECT_EQ(db.FindQuery.Param(i).BoundText(), "2024-05-06 00:00:00");
    }
}

TEST_P(LoggerDatabasesTest, ContactMatchesDatePrefixAndDistrictInEveryTable) {
    Contacts("Log1", R"(('2024-05-06 00:00:00', 'Q1ABC/P', 'AB-01', '10:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1ABCD', 'AB-01', '10:05', '14', 'SSB'),
                        ('2024-05-06 12:30:00', 'Q1ABC', 'AB-01', '12:30', '7', 'CW'),
                        ('2024-05-07 00:00:00', 'Q1ABC', 'AB-01', '09:00', '7', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1ABC', 'AB-02', '09:00', '7', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1AB', 'AB-01', '09:00', '7', 'CW'))");
    Contacts("Log3", R"(('2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '11:00', '21', 'FT8'))");
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main", "Contest"});
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_THAT(FoundCallsigns(), ElementsAre("Q1ABC/P", "Q1ABCD", "Q1ABC"));
    db.FindQuery.First();
    EXPECT_EQ(db.FindQuery.FieldAsText("QSOTime"), "10:00");

    // A contact logged with a time of day in QSODate is not found.
    db.SelectLogTables({"Main"});
    EXPECT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_THAT(FoundCallsigns(), ElementsAre("Q1ABC/P", "Q1ABCD"));
    EXPECT_FALSE(db.FindQso(year{2024} / 5 / 8, "Q1ABC", "AB-01"));
    EXPECT_FALSE(db.FindQso(kDay, "Q1ABC", "AB-03"));
}

#ifndef _WIN32  // the SQLite engine: not in the Windows build
// Logger files written by other tools hold a date as text with or without its time of day, or
// as a day count (45418 is 2024-05-06). Each matches its day and nothing wider does.
TEST_F(SqliteStorageTest, ContactDatesInEveryStoredFormMatchTheirDayOnly) {
    RawDb(logs).Exec(
        "CREATE TABLE Log4(Id INTEGER PRIMARY KEY, QSODate DOUBLE, CallSign TEXT(20), "
        "State TEXT(10), QSOTime TEXT(5), DigiBand TEXT(10), QSOMode TEXT(10));"
        "CREATE TABLE Log5(Id INTEGER PRIMARY KEY, QSODate TEXT(20), CallSign TEXT(20), "
        "State TEXT(10), QSOTime TEXT(5), DigiBand TEXT(10), QSOMode TEXT(10));"
        "INSERT INTO Aconfig VALUES ('Real', 'Log4'), ('Text', 'Log5');");
    const char* const rows = R"(('2024-05-06 00:00:00', 'Q1A', 'AB-01', '10:00', '14', 'CW'),
                                ('2024-05-06', 'Q1B', 'AB-01', '10:00', '14', 'CW'),
                                (45418.0, 'Q1C', 'AB-01', '10:00', '14', 'CW'),
                                (45418, 'Q1D', 'AB-01', '10:00', '14', 'CW'),
                                ('2024-05-06 10:00:00', 'Q1X', 'AB-01', '10:00', '14', 'CW'),
                                (45418.5, 'Q1X', 'AB-01', '10:00', '14', 'CW'),
                                ('2024-05-07', 'Q1X', 'AB-01', '10:00', '14', 'CW'),
                                (45419, 'Q1X', 'AB-01', '10:00', '14', 'CW'),
                                ('2024-05-060', 'Q1X', 'AB-01', '10:00', '14', 'CW'),
                                ('45418', 'Q1X', 'AB-01', '10:00', '14', 'CW'))";
    struct Case {
        const char* log;
        const char* table;
        std::vector<std::string> found;
    };
    const Case cases[] = {
        {"Main", "Log1", {"Q1A", "Q1B", "Q1C", "Q1D", "Q1X"}},  // DATETIME: '45418' is a number
        {"Real", "Log4", {"Q1A", "Q1B", "Q1C", "Q1D", "Q1X"}},
        {"Text", "Log5", {"Q1A", "Q1B", "Q1C", "Q1D", "Q1X"}},  // day counts kept as text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        Contacts(c.table, rows);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(Paths());
        fresh.SelectLogTables({c.log});
        ASSERT_TRUE(fresh.FindQso(kDay, "Q1", "AB-01"));
        std::vector<std::string> calls;
        for (; !fresh.FindQuery.Eof(); fresh.FindQuery.Next()) {
            calls.push_back(fresh.FindQuery.FieldAsText("CallSign"));
            EXPECT_EQ(fresh.FindQuery.FieldAsDateTime("QSODate"), AtMidnight(kDay));
        }
        EXPECT_EQ(calls, c.found);
    }
}
#endif

TEST_P(LoggerDatabasesTest, TwoAconfigRowsForOneTableSearchItTwice) {
    RawDb(logs).Exec("INSERT INTO Aconfig VALUES ('Main', 'Log1');");
    Contacts("Log1", R"(('2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00', '14', 'CW'))");
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main"});
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_EQ(db.FindQuery.ParamCount(), 2u);
    EXPECT_THAT(FoundCallsigns(), ElementsAre("Q1ABC", "Q1ABC"));
}

TEST_P(LoggerDatabasesTest, ContactSearchFailures) {
    struct Case {
        const char* label;
        const char* schema;
        std::vector<std::string> names;
        std::string message;
    };
    const Case cases[] = {
        {"no checked name in Aconfig", "", {"Nowhere"}, "FindQuery: Missing SQL property"},
        {"no LogFileName column",
         "DROP TABLE Aconfig; CREATE TABLE Aconfig(LogName TEXT, FileName TEXT);"
         "INSERT INTO Aconfig VALUES ('Main', 'Log1');",
         {"Main"},
         "AconfigQuery: Field 'LogFileName' not found"},
        {"missing log table",
         "UPDATE Aconfig SET LogFileName = 'Log9' WHERE LogName = 'Main';",
         {"Main"},
         "no such table: Log9"},
        {"missing column",
         "DROP TABLE Log1; CREATE TABLE Log1(QSODate, CallSign, QSOTime);",
         {"Main"},
         "no such column: State"},
        {"tables of different widths",
         "ALTER TABLE Log2 ADD COLUMN Extra TEXT;",
         {"Main", "Field's"},
         "SELECTs to the left and right of UNION ALL do not have the same number of result "
         "columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir other;
        std::filesystem::copy_file(logs, other / "logs.mdb");
        RawDb(other / "logs.mdb").Exec(c.schema);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(other / "logs.mdb"), platform::PathToUtf8(awards)});
        fresh.SelectLogTables(c.names);
        ExpectEngineMessage(MessageOf([&] { fresh.FindQso(kDay, "Q1ABC", "AB-01"); }), c.message);
    }

    const auto owned = Fresh();
    LoggerDatabases& unselected = *owned;
    unselected.OpenDatabases(Paths());
    EXPECT_EQ(MessageOf([&] { unselected.FindQso(kDay, "Q1ABC", "AB-01"); }),
              "FindQuery: Missing SQL property");
}

TEST_P(LoggerDatabasesTest, CreditCheckSendsThreeLinesAndIgnoresTheAward) {
    RawDb(awards).Exec(R"(INSERT INTO Avtozachet(Awards, CallSign, QSODate, QSOTime) VALUES
        ('99', 'Q1ABC', '2024-05-06 00:00:00', '10:00'),
        ('1', 'Q1XYZ/P', '2024-05-06 00:00:00', '11:00'))");
    db.OpenDatabases(Paths());
    EXPECT_TRUE(db.FindCredit(kDay, "Q1ABC", "10:00"));
    EXPECT_EQ(db.avtoQuery.SentText(),
              "SELECT * \r\nFROM Avtozachet\r\nWHERE QSODate =? and CallSign = 'Q1ABC' and "
              "QSOTime = '10:00'\r\n");
    EXPECT_THAT(db.avtoQuery.SqlLines(),
                ElementsAre("SELECT * ", "FROM Avtozachet",
                            "WHERE QSODate =:data and CallSign = 'Q1ABC' and QSOTime = '10:00'"));
    ASSERT_EQ(db.avtoQuery.ParamCount(), 1u);
    EXPECT_EQ(db.avtoQuery.Param(0).Type(), Parameter::DataType::DateTime);
    EXPECT_EQ(db.avtoQuery.Param(0).BoundText(), "2024-05-06 00:00:00");

    struct Case {
        Date date;
        const char* callsign;
        const char* time;
        bool exists;
    };
    const Case cases[] = {
        {kDay, "Q1ABC", "10:00", true},  // a credit of another award counts
        {kDay, "Q1XYZ/P", "11:00", true},
        {kDay, "Q1XYZ", "11:00", false},  // equality, not a prefix
        {kDay, "Q1ABC", "10:01", false},
        {year{2024} / 5 / 7, "Q1ABC", "10:00", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.callsign);
        EXPECT_EQ(db.FindCredit(c.date, c.callsign, c.time), c.exists);
    }
}

class CreditAppendTest : public LoggerDatabasesTest {
  protected:
    void SetUp() override {
        LoggerDatabasesTest::SetUp();
        Contacts("Log1", R"(('2024-05-06 00:00:00', 'Q1ABC/P', 'AB-01', '10:00', '14', 'CW'))");
    }
    std::vector<Row> Credits() {
        return RawDb(awards).Rows(
            "SELECT Awards, CallSign, QSODate, QSOTime, DigiBand, QSOMode, Confirmed, Note "
            "FROM Avtozachet ORDER BY Id");
    }
};

// What reaches the Access driver's stand-in for one entry, as it received it: the statements
// as written, through the wide functions on Windows (the driver manager converts for a driver
// without them there) and the ANSI ones in UTF-8 on Linux.
TEST_P(CreditAppendTest, TheAccessDriverReceivesEachStatementAsWritten) {
    if (!testEngine.jet) {
        GTEST_SKIP() << "only the Access driver's stand-in keeps a record";
    }
    db.OpenDatabases(Paths());
    std::filesystem::remove(std::filesystem::path(logs) += ".statements");
    std::filesystem::remove(std::filesystem::path(awards) += ".statements");
    db.SelectLogTables({"Main"});
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    ASSERT_FALSE(db.FindCredit(kDay, "Q1ABC", db.FindQuery.FieldAsText("QSOTime")));
    db.AppendCredit("2");

#ifdef _WIN32
    const std::string prepare = "SQLPrepareW";
#else
    const std::string prepare = "SQLPrepare";
#endif
    const auto texts = [&](const std::filesystem::path& file) {
        std::vector<std::string> out;
        for (const auto& received : test::StatementsReceived(file)) {
            EXPECT_EQ(received.function, prepare) << received.text;
            out.push_back(received.text);
        }
        return out;
    };
    EXPECT_THAT(texts(logs),
                ElementsAre("SELECT * FROM Aconfig WHERE LogName = 'Main'\r\n",
                            "SELECT * FROM `Log1` WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND "
                            "State = 'AB-01'\r\n"));
    EXPECT_THAT(texts(awards),
                ElementsAre("SELECT * \r\nFROM Avtozachet\r\nWHERE QSODate =? and CallSign = "
                            "'Q1ABC' and QSOTime = '10:00'\r\n",
                            "INSERT INTO `Avtozachet` (`Awards`, `CallSign`, `QSODate`, `QSOTime`, "
                            "`DigiBand`, `QSOMode`) VALUES (?, ?, ?, ?, ?, ?)"));
    EXPECT_EQ(Credits().size(), 1u);
}

TEST_P(CreditAppendTest, AppendsTheFoundContactWithSixColumns) {
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main"});
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    ASSERT_FALSE(db.FindCredit(kDay, "Q1ABC", db.FindQuery.FieldAsText("QSOTime")));
    db.AppendCredit("2");
    EXPECT_EQ(Credits(), (std::vector<Row>{{"2", "Q1ABC/P", "2024-05-06 00:00:00", "10:00", "14",
                                            "CW", "0", "auto"}}));
    EXPECT_EQ(db.avtoQuery.RecordCount(), 1u);

    // The logged callsign is stored, so a check for the entry's shorter callsign misses it.
    EXPECT_FALSE(db.FindCredit(kDay, "Q1ABC", "10:00"));
    EXPECT_TRUE(db.FindCredit(kDay, "Q1ABC/P", "10:00"));
}

TEST_P(CreditAppendTest, FailuresStoreNothing) {
    struct Case {
        const char* label;
        const char* logsSchema;
        const char* awardsSchema;
        std::string message;
    };
    const Case cases[] = {
        {"credit table lacks a written column", "",
         "DROP TABLE Avtozachet; CREATE TABLE Avtozachet(Awards, CallSign, QSODate, QSOTime, "
         "QSOMode);",
         "avtoQuery: Field 'DigiBand' not found"},
        {"found contact lacks a read column",
         "DROP TABLE Log1; CREATE TABLE Log1(QSODate, CallSign, State, QSOTime, DigiBand);"
         "INSERT INTO Log1 VALUES ('2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00', '14');",
         "", "FindQuery: Field 'QSOMode' not found"},
        {"award id into an integer column", "",
         "DROP TABLE Avtozachet; CREATE TABLE Avtozachet(Awards INTEGER, CallSign, QSODate, "
         "QSOTime, DigiBand, QSOMode);",
         "'R1' is not a valid integer value for field 'Awards'"},
        {"engine refuses the row", "",
         "DROP TABLE Avtozachet; CREATE TABLE Avtozachet(Awards, CallSign, QSODate, QSOTime, "
         "DigiBand, QSOMode, Required TEXT NOT NULL);",
         "NOT NULL constraint failed: Avtozachet.Required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir other;
        std::filesystem::copy_file(logs, other / "logs.mdb");
        std::filesystem::copy_file(awards, other / "awards.mdb");
        RawDb(other / "logs.mdb").Exec(c.logsSchema);
        RawDb(other / "awards.mdb").Exec(c.awardsSchema);
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(other / "logs.mdb"), platform::PathToUtf8(other / "awards.mdb")});
        fresh.SelectLogTables({"Main"});
        ASSERT_TRUE(fresh.FindQso(kDay, "Q1ABC", "AB-01"));
        ASSERT_FALSE(fresh.FindCredit(kDay, "Q1ABC", "10:00"));
        ExpectEngineMessage(MessageOf([&] { fresh.AppendCredit("R1"); }), c.message);
        EXPECT_EQ(RawDb(other / "awards.mdb").Scalar("SELECT count(*) FROM Avtozachet"), "0");
        // The next check discards the row that was not stored.
        EXPECT_FALSE(fresh.FindCredit(kDay, "Q1ABC", "10:00"));
        EXPECT_FALSE(fresh.avtoQuery.Appending());
    }
}

#ifndef _WIN32  // the SQLite engine: not in the Windows build
// Credit tables typed otherwise than the generator's: what AppendCredit stores is cut or
// converted by the column's type, and the duplicate check looks for it in that form, so a rerun
// of the same list never appends a credit that is already there.
TEST_F(SqliteStorageTest, RerunFindsCreditsStoredInTheColumnsOwnTypes) {
    struct Case {
        const char* label;
        const char* columns;  // Avtozachet's, after Id
        const char* contact;  // the log's row: QSODate, CallSign, State, QSOTime
        Row stored;           // CallSign, QSODate, QSOTime as stored
    };
    const Case cases[] = {
        {"callsign cut to TEXT(10)",
         "Awards TEXT, CallSign TEXT(10), QSODate DATETIME, QSOTime TEXT(5), DigiBand TEXT, "
         "QSOMode TEXT",
         "'2024-05-06 00:00:00', 'Q1LONGCALLSIGN/MM', 'AB-01', '12:20'",
         {"Q1LONGCALL", "2024-05-06 00:00:00", "12:20"}},
        {"time cut to TEXT(5)",
         "Awards TEXT, CallSign TEXT(20), QSODate DATETIME, QSOTime TEXT(5), DigiBand TEXT, "
         "QSOMode TEXT",
         "'2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '12:20:30'",
         {"Q1ABC", "2024-05-06 00:00:00", "12:20"}},
        {"date as a day count",
         "Awards TEXT, CallSign TEXT(20), QSODate DOUBLE, QSOTime TEXT(5), DigiBand TEXT, "
         "QSOMode TEXT",
         "'2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00'",
         {"Q1ABC", "45418.0", "10:00"}},
        {"time in a TIME column",
         "Awards TEXT, CallSign TEXT(20), QSODate DATETIME, QSOTime TIME, DigiBand TEXT, "
         "QSOMode TEXT",
         "'2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00'",
         {"Q1ABC", "2024-05-06 00:00:00", "1899-12-30 10:00:00"}},
        {"time in a DATETIME column",
         "Awards TEXT, CallSign TEXT(20), QSODate DATETIME, QSOTime DATETIME, DigiBand TEXT, "
         "QSOMode TEXT",
         "'2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00:00'",
         {"Q1ABC", "2024-05-06 00:00:00", "1899-12-30 10:00:00"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir other;
        std::filesystem::copy_file(logs, other / "logs.mdb");
        RawDb(other / "logs.mdb")
            .Exec(std::string("INSERT INTO Log1(QSODate, CallSign, State, QSOTime, DigiBand, "
                              "QSOMode) VALUES (") +
                  c.contact + ", '14', 'CW')");
        MakeDatabase(
            other / "awards.mdb",
            std::string("CREATE TABLE Avtozachet(Id INTEGER PRIMARY KEY, ") + c.columns + ");");
        const auto owned = Fresh();
        LoggerDatabases& fresh = *owned;
        fresh.OpenDatabases(
            {platform::PathToUtf8(other / "logs.mdb"), platform::PathToUtf8(other / "awards.mdb")});
        fresh.SelectLogTables({"Main"});
        for (int pass = 0; pass < 2; ++pass) {
            ASSERT_TRUE(fresh.FindQso(kDay, "Q1", "AB-01"));
            const bool exists = fresh.FindCredit(kDay, fresh.FoundCallSign(), fresh.FoundQsoTime());
            EXPECT_EQ(exists, pass == 1);
            if (!exists) {
                fresh.AppendCredit("1");
            }
        }
        EXPECT_EQ(RawDb(other / "awards.mdb")
                      .Rows("SELECT CallSign, QSODate, QSOTime FROM "
                            "Avtozachet"),
                  std::vector<Row>{c.stored});
    }
}
#endif

TEST_P(CreditAppendTest, AppendNeedsTheCreditCheckFirst) {
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main"});
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_EQ(MessageOf([&] { db.AppendCredit("1"); }),
              "avtoQuery: Cannot perform this operation on a closed dataset");
    EXPECT_THAT(Credits(), IsEmpty());
}

// Callsign, district and time come from the network; whatever they hold, the statements keep
// their form and "%" / "_" in a callsign match only themselves.
TEST_P(LoggerDatabasesTest, NetworkValuesNeverChangeTheStatementsForm) {
    Contacts("Log1", R"(('2024-05-06 00:00:00', 'O''NEIL/P', 'A''B', '10:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '11:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1%X', 'AB-01', '12:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q_ABC', 'AB-01', '13:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1\ABC', 'AB-01', '14:00', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1[A]', 'AB-01', '14:30', '14', 'CW'),
                        ('2024-05-06 00:00:00', 'Q1:a', 'AB-01', '15:00', '14', 'CW'))");
    RawDb(awards).Exec(R"(INSERT INTO Avtozachet(Awards, CallSign, QSODate, QSOTime) VALUES
        ('1', 'O''NEIL', '2024-05-06 00:00:00', '10''00'))");
    db.OpenDatabases(Paths());
    db.SelectLogTables({"Main"});
    struct Case {
        std::string callsign;
        std::string district;
        std::string condition;  // what follows "SELECT * FROM Log1"
        std::vector<std::string> found;
        std::string jetPattern = {};  // Jet's LIKE pattern where it differs: no ESCAPE clause
    };
    const Case cases[] = {
        {"O'NEIL",
         "A'B",
         " WHERE QSODate=? AND CallSign LIKE 'O''NEIL%' AND State = 'A''B'",
         {"O'NEIL/P"}},
        {"X' OR '1'='1",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'X'' OR ''1''=''1%' AND State = 'AB-01'",
         {}},
        {"Q1ABC",
         "AB-01' OR 'a'='a",
         " WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND State = 'AB-01'' OR ''a''=''a'",
         {}},
        {"Q1%",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'Q1\\%%' ESCAPE '\\' AND State = 'AB-01'",
         {"Q1%X"},
         "'Q1[%]%'"},
        {"%",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE '\\%%' ESCAPE '\\' AND State = 'AB-01'",
         {},
         "'[%]%'"},
        {"Q_ABC",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'Q\\_ABC%' ESCAPE '\\' AND State = 'AB-01'",
         {"Q_ABC"},
         "'Q[_]ABC%'"},
        {"Q1\\",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'Q1\\\\%' ESCAPE '\\' AND State = 'AB-01'",
         {"Q1\\ABC"},
         "'Q1\\%'"},
        {"Q1[",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'Q1[%' AND State = 'AB-01'",
         {"Q1[A]"},
         "'Q1[[]%'"},
        {"Q1:a",
         "AB-01",
         " WHERE QSODate=? AND CallSign LIKE 'Q1:a%' AND State = 'AB-01'",
         {"Q1:a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.callsign + " / " + c.district);
        std::string condition = c.condition;
        if (testEngine.jet && !c.jetPattern.empty()) {
            condition = " WHERE QSODate=? AND CallSign LIKE " + c.jetPattern + " AND State = '" +
                        c.district + "'";
        }
        EXPECT_EQ(db.FindQso(kDay, c.callsign, c.district), !c.found.empty());
        EXPECT_EQ(db.FindQuery.SentText(), "SELECT * FROM " + Table("Log1") + condition + "\r\n");
        EXPECT_EQ(db.FindQuery.ParamCount(), 1u);
        EXPECT_EQ(FoundCallsigns(), c.found);
    }

    EXPECT_TRUE(db.FindCredit(kDay, "O'NEIL", "10'00"));
    EXPECT_EQ(db.avtoQuery.SqlLines()[2],
              "WHERE QSODate =:data and CallSign = 'O''NEIL' and QSOTime = '10''00'");
    EXPECT_FALSE(db.FindCredit(kDay, "x' OR '1'='1", "' OR '1'='1"));
    EXPECT_EQ(db.avtoQuery.ParamCount(), 1u);
}

// A log table may bear any name: blanks, a colon, a keyword of SQL's or a reserved word of Jet's
// (which Jet takes nowhere bare).
TEST_P(LoggerDatabasesTest, TableNamesOfEveryKindAreSearched) {
    const std::vector<std::string> tables = {"My Log", "Order", "Log:1", "Memo", "Top", "Журнал"};
    std::string sql = "DELETE FROM Aconfig;";
    for (std::size_t i = 0; i < tables.size(); ++i) {
        sql += "CREATE TABLE \"" + tables[i] + "\"" + kLogTable +
               "; INSERT INTO Aconfig VALUES ('" + std::to_string(i) + "', '" + tables[i] + "');";
    }
    RawDb(logs).Exec(sql);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < tables.size(); ++i) {
        Contacts("\"" + tables[i] + "\"",
                 R"(('2024-05-06 00:00:00', 'Q1ABC', 'AB-01', '10:00', '14', 'CW'))");
        names.push_back(std::to_string(i));
    }
    db.OpenDatabases(Paths());
    db.SelectLogTables(names);
    ASSERT_TRUE(db.FindQso(kDay, "Q1ABC", "AB-01"));
    EXPECT_EQ(db.FindQuery.ParamCount(), tables.size());
    EXPECT_EQ(db.FindQuery.RecordCount(), tables.size());
    for (const char* table : {"My Log", "Order", "Log:1"}) {
        const std::string quoted = test::TableInStatement(
            testEngine.tableQuote[0] == '\0' ? test::kSqliteOdbcEngine : testEngine, table);
        EXPECT_THAT(db.FindQuery.SentText(),
                    ::testing::HasSubstr("SELECT * FROM " + quoted + " WHERE"));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, LoggerDatabasesTest, test::BuiltEngines(), test::EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, CreditAppendTest, test::BuiltEngines(), test::EngineName);

}  // namespace
}  // namespace telvora::logdb
