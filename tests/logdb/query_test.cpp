#include "logdb/query.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "error_message.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "scoped_env.h"
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

DateTime At(int y, unsigned m, unsigned d, int h = 0, int mi = 0, int s = 0) {
    return AtMidnight(year{y} / m / d) + hours{h} + minutes{mi} + seconds{s};
}

TEST(MarkerScanning, FollowsQuotesDoubleColonsAndNameTerminators) {
    struct Case {
        std::string text;
        std::string sent;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"WHERE QSODate=:adate AND x", "WHERE QSODate=? AND x", {"adate"}},
        {"WHERE QSODate =:data and", "WHERE QSODate =? and", {"data"}},
        {"f(:a,:b);:c)", "f(?,?);?)", {"a", "b", "c"}},
        {":a\r\n:b\n:c", "?\r\n?\n?", {"a", "b", "c"}},
        {":same = :same", "? = ?", {"same", "same"}},
        {"x = ':quoted' AND y = :p", "x = ':quoted' AND y = ?", {"p"}},
        {"\":dq\" `:bq` :p", "\":dq\" `:bq` ?", {"p"}},
        {"'it''s :no' :yes", "'it''s :no' ?", {"yes"}},
        {"'a\" :no' \"b' :no\" :yes", "'a\" :no' \"b' :no\" ?", {"yes"}},
        {"' unpartnered :no", "' unpartnered :no", {}},
        {":p ` unpartnered :no", "? ` unpartnered :no", {"p"}},
        {"CAST(a::text) :p", "CAST(a::text) ?", {"p"}},
        {":::x", "::?", {"x"}},
        {"a :a:b c", "a ? c", {"a:b"}},
        {"a :x'y' b", "a ? b", {"x'y'"}},
        {": x", "? x", {""}},
        {"end:", "end?", {""}},
        {"tab :a\tb c", "tab ? c", {"a\tb"}},
        {"no markers at all", "no markers at all", {}},
        {"", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ScannedSql scanned = ScanParameterMarkers(c.text);
        EXPECT_EQ(scanned.text, c.sent);
        EXPECT_EQ(scanned.names, c.names);
    }
}

// Query objects over an engine: SQLite, or ODBC through the SQLite driver or the Access driver's
// stand-in.
class QueryTestBase : public ::testing::Test {
  protected:
    explicit QueryTestBase(const test::TestEngine& tested)
        : testEngine(tested), engine(test::UseEngine(tested)) {
        connection.SetEngine(engine);
    }

    void ExpectEngineMessage(const std::string& message, const std::string& core) const {
        test::ExpectEngineMessage(engine, message, core);
    }

    void SetUp() override {
        file = dir / "awards.mdb";
        MakeDatabase(file, R"(
            CREATE TABLE t(Id INTEGER, Name TEXT, Score REAL, Note TEXT, Stamp DATETIME);
            INSERT INTO t VALUES (1, 'one', 2.5, NULL, '2024-05-06 07:08:09');
            INSERT INTO t VALUES (2, 'two', 2.0, '', '2024-05-07');
            INSERT INTO t VALUES (3, 'three', -0.125, 'x', NULL);
        )");
        connection.SetConnectionString(BuildConnectionString(platform::PathToUtf8(file)));
        connection.Open();
    }

    test::TestEngine testEngine;
    EngineKind engine;
    test::ScopedEnv locale{"LC_ALL", "C"};  // numbers with a decimal point, unless a test says
    TempDir dir;
    std::filesystem::path file;
    Connection connection{"ADOConnection2"};
    Query query{"avtoQuery", connection};
};

class QueryTest : public QueryTestBase, public ::testing::WithParamInterface<test::TestEngine> {
  protected:
    QueryTest() : QueryTestBase(GetParam()) {}
};

#ifndef _WIN32  // the SQLite engine: not in the Windows build
// What the SQLite engine alone shows: the conversions by SQLite's declared type names, columns
// written through aliases, a schema changed by another program under the same text.
class SqliteQueryTest : public QueryTestBase {
  protected:
    SqliteQueryTest() : QueryTestBase(test::kSqliteEngine) {}
};
#endif

TEST_P(QueryTest, SentTextIsEveryLineWithCrLfAndAnyChangeClosesAndResetsParameters) {
    query.SetSql({"SELECT * ", "FROM t", "WHERE Id = :id"});
    EXPECT_EQ(query.SentText(), "SELECT * \r\nFROM t\r\nWHERE Id = ?\r\n");
    ASSERT_EQ(query.ParamCount(), 1u);
    query.ParamByName("ID").SetValue(std::int64_t{2});
    query.Open();
    EXPECT_TRUE(query.Active());

    query.AddSql("OR Id = :other");
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.SentText(), "SELECT * \r\nFROM t\r\nWHERE Id = ?\r\nOR Id = ?\r\n");
    ASSERT_EQ(query.ParamCount(), 2u);
    EXPECT_EQ(query.Param(0).BoundText(), "");  // the old value does not carry over
    EXPECT_EQ(query.Param(1).Name(), "other");

    query.Open();
    query.ClearSql();
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.SentText(), "");
    EXPECT_EQ(query.ParamCount(), 0u);
    EXPECT_TRUE(query.SqlLines().empty());

    query.SetSql({"", "SELECT 1"});
    EXPECT_EQ(query.SentText(), "\r\nSELECT 1\r\n");
}

TEST_P(QueryTest, ParametersBindAsTheDescribedText) {
    struct Case {
        const char* label;
        std::function<void(Parameter&)> set;
        std::string bound;  // as the engine sees it, "<null>" for Null
    };
    const Case cases[] = {
        {"date type keeps only the day",
         [](Parameter& p) {
             p.SetDataTypeDate();
             p.SetValue(At(2024, 5, 6, 13, 45, 10));
         },
         "2024-05-06 00:00:00"},
        {"untyped date-time keeps the time",
         [](Parameter& p) { p.SetValue(At(2024, 5, 6, 13, 45, 10)); }, "2024-05-06 13:45:10"},
        {"midnight", [](Parameter& p) { p.SetValue(At(1999, 12, 31)); }, "1999-12-31 00:00:00"},
        {"text", [](Parameter& p) { p.SetValue(std::string("O'Brien")); }, "O'Brien"},
        {"integer", [](Parameter& p) { p.SetValue(std::int64_t{-12}); }, "-12"},
        {"never set", [](Parameter&) {}, "<null>"},
        {"set to null",
         [](Parameter& p) {
             p.SetValue(std::string("x"));
             p.SetNull();
         },
         "<null>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        query.SetSql({"SELECT :v AS v, typeof(:w) AS kind"});
        c.set(query.Param(0));
        c.set(query.Param(1));
        query.Open();
        EXPECT_EQ(query.FieldIsNull("v") ? "<null>" : query.FieldAsText("v"), c.bound);
    }
}

TEST_P(QueryTest, DateTimesBindExactlyAsFormatDateTimeWritesThem) {
    const DateTime cases[] = {
        At(2024, 5, 6, 13, 45, 10),
        At(1899, 12, 30),
        At(1, 1, 1),
        At(0, 1, 1, 0, 0, 1),
        At(9999, 12, 31, 23, 59, 59),
        At(10000, 1, 1, 0, 0, 0),
        At(-1, 12, 31, 23, 59, 59),
        At(999, 9, 9, 9, 9, 9),
        At(2000, 2, 29, 12),
    };
    for (const DateTime value : cases) {
        for (const bool dateOnly : {false, true}) {
            const std::string expected =
                FormatDateTime(dateOnly ? DateTime{floor<days>(value)} : value);
            SCOPED_TRACE(expected);
            query.SetSql({"SELECT :v AS v, typeof(:w) AS kind"});
            for (size_t i = 0; i < 2; ++i) {
                if (dateOnly) {
                    query.Param(i).SetDataTypeDate();
                }
                query.Param(i).SetValue(value);
            }
            query.Open();
            EXPECT_EQ(query.FieldAsText("v"), expected);
            EXPECT_EQ(query.FieldAsText("kind"), "text");
            EXPECT_EQ(query.Param(0).BoundText(), expected);
        }
    }
}

TEST_P(QueryTest, ParameterLookupFailuresCarryTheQueryName) {
    query.SetSql({"SELECT * FROM t WHERE Id = :id"});
    EXPECT_EQ(MessageOf([&] { query.ParamByName("data"); }),
              "avtoQuery: Parameter 'data' not found");
    EXPECT_EQ(MessageOf([&] { query.Param(1); }), "avtoQuery: Parameter index 1 out of range");
}

TEST_P(QueryTest, ReadsValuesAsTextWithNullAsEmpty) {
    query.SetSql({"SELECT * FROM t"});
    query.Open();
    const std::vector<std::vector<std::string>> expected = {
        {"1", "one", "2.5", "", "2024-05-06 07:08:09"},
        {"2", "two", "2", "", "2024-05-07"},  // a number in its shortest form
        {"3", "three", "-0.125", "x", ""},
    };
    EXPECT_EQ(query.FieldNames(),
              (std::vector<std::string>{"Id", "Name", "Score", "Note", "Stamp"}));
    std::vector<std::vector<std::string>> read;
    for (query.First(); !query.Eof(); query.Next()) {
        read.push_back({query.FieldAsText("id"), query.FieldAsText("NAME"),
                        query.FieldAsText("score"), query.FieldAsText("Note"),
                        query.FieldAsText("stamp")});
    }
    EXPECT_EQ(read, expected);
    query.MoveTo(0);
    EXPECT_TRUE(query.FieldIsNull("Note"));
    query.MoveTo(1);
    EXPECT_FALSE(query.FieldIsNull("Note"));  // an empty text is no Null, though it reads the same
}

// The award's users name logs and notes in Cyrillic: texts outside ASCII reach the engine in
// statements and rows, and come back, whole.
TEST_P(QueryTest, TextsOutsideAsciiPassBothWaysWhole) {
    RawDb(file).Exec("INSERT INTO t(Id, Name) VALUES (4, 'Журнал Übung')");
    query.SetSql({"SELECT * FROM t WHERE Name = 'Журнал Übung'"});
    query.Open();
    ASSERT_EQ(query.RecordCount(), 1u);
    EXPECT_EQ(query.FieldAsText("Name"), "Журнал Übung");
    query.Append();
    query.SetFieldText("Id", "5");
    query.SetFieldText("Name", "Основной ёЁ");
    query.Post();
    EXPECT_EQ(RawDb(file).Scalar("SELECT Name FROM t WHERE Id = 5"), "Основной ёЁ");

    query.SetSql({"SELECT Name AS \"Имя\" FROM t WHERE Id = 4"});
    query.Open();
    EXPECT_EQ(query.FieldNames(), std::vector<std::string>{"Имя"});
    EXPECT_EQ(query.FieldAsText("Имя"), "Журнал Übung");
    query.SetSql({"SELECT * FROM Журнал"});
    ExpectEngineMessage(MessageOf([&] { query.Open(); }), "no such table: Журнал");
}

TEST_P(QueryTest, ReadsDateTimesFromTextDayCountsAndNull) {
    struct Case {
        std::string value;  // an SQL literal
        std::optional<DateTime> expected;
    };
    const Case cases[] = {
        {"'2024-05-06 07:08:09'", At(2024, 5, 6, 7, 8, 9)},
        {"'2024-05-06'", At(2024, 5, 6)},
        {"'2024-05-06 07:08'", At(2024, 5, 6, 7, 8)},
        {"NULL", kZeroDateTime},
        {"45000", At(2023, 3, 15)},
        {"45000.25", At(2023, 3, 15, 6)},
        {"0", kZeroDateTime},
        {"-1.25", At(1899, 12, 29, 6)},
        {"'yesterday'", std::nullopt},
        {"''", std::nullopt},
        {"'06.05.2024'", std::nullopt},
        {"1e300", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        query.SetSql({"SELECT " + c.value + " AS QSODate"});
        query.Open();
        if (c.expected) {
            EXPECT_EQ(query.FieldAsDateTime("qsodate"), *c.expected);
        } else {
            EXPECT_EQ(MessageOf([&] { query.FieldAsDateTime("qsodate"); }),
                      "'" + query.FieldAsText("QSODate") +
                          "' is not a valid date and time value for field 'QSODate'");
        }
    }
}

TEST_P(QueryTest, NavigatesClosedEmptyAndFilledResults) {
    EXPECT_TRUE(query.IsEmpty());
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(MessageOf([&] { query.First(); }),
              "avtoQuery: Cannot perform this operation on a closed dataset");
    EXPECT_EQ(MessageOf([&] { query.FieldAsText("Id"); }),
              "avtoQuery: Cannot perform this operation on a closed dataset");

    query.SetSql({"SELECT * FROM t WHERE Id > 99"});
    query.Open();
    EXPECT_TRUE(query.Active());
    EXPECT_TRUE(query.IsEmpty());
    EXPECT_TRUE(query.Eof());
    EXPECT_EQ(query.FieldAsText("Name"), "");
    EXPECT_EQ(query.FieldAsDateTime("Stamp"), kZeroDateTime);
    EXPECT_EQ(MessageOf([&] { query.FieldAsText("Nope"); }), "avtoQuery: Field 'Nope' not found");

    query.SetSql({"SELECT * FROM t"});
    query.Open();
    EXPECT_EQ(query.RecordCount(), 3u);
    EXPECT_EQ(query.RecNo(), 0u);
    EXPECT_FALSE(query.Eof());
    query.Next();
    query.Next();
    EXPECT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText("Name"), "three");
    query.Next();
    EXPECT_TRUE(query.Eof());
    query.First();
    EXPECT_FALSE(query.Eof());
    EXPECT_EQ(query.FieldAsText("Name"), "one");
    query.MoveTo(1);
    EXPECT_EQ(query.RecNo(), 1u);
    EXPECT_EQ(MessageOf([&] { query.MoveTo(3); }), "avtoQuery: Row 3 is out of range");
    query.Close();
    EXPECT_TRUE(query.Eof());
    EXPECT_FALSE(query.Active());
}

TEST_P(QueryTest, FirstOfEqualFieldNamesWins) {
    query.SetSql({"SELECT Name, Id AS name FROM t WHERE Id = 2"});
    query.Open();
    EXPECT_EQ(query.FieldAsText("NAME"), "two");
    EXPECT_TRUE(query.HasField("name"));
    EXPECT_FALSE(query.HasField("Id"));
}

TEST_P(QueryTest, ResultIsASnapshotOfTheMomentItRan) {
    query.SetSql({"SELECT * FROM t"});
    query.Open();
    RawDb(file).Exec("DELETE FROM t; INSERT INTO t(Id, Name) VALUES (9, 'nine');");
    EXPECT_EQ(query.RecordCount(), 3u);
    EXPECT_EQ(query.FieldAsText("Name"), "one");
    query.Open();  // runs afresh
    EXPECT_EQ(query.RecordCount(), 1u);
    EXPECT_EQ(query.FieldAsText("Name"), "nine");
}

#ifndef _WIN32  // the SQLite engine: not in the Windows build
TEST_F(SqliteQueryTest, SameTextSeesSchemaChangesOfOtherPrograms) {
    query.SetSql({"SELECT * FROM t WHERE Id = 1"});
    query.Open();
    EXPECT_FALSE(query.HasField("Extra"));
    RawDb(file).Exec("ALTER TABLE t ADD COLUMN Extra TEXT DEFAULT 'e';");
    query.Open();
    EXPECT_EQ(query.FieldAsText("Extra"), "e");
}
#endif

TEST_P(QueryTest, FailuresOfTheTextAndTheEngine) {
    struct Case {
        std::vector<std::string> lines;
        std::string message;
    };
    const Case cases[] = {
        {{}, "avtoQuery: Missing SQL property"},
        {{""}, "avtoQuery: Missing SQL property"},
        {{"  ", "-- only a comment"}, "avtoQuery: Missing SQL property"},
        {{"SELECT * FROM Log9"}, "no such table: Log9"},
        {{"SELECT * FROM t WHERE Nope = 1"}, "no such column: Nope"},
        {{"SELECT * FROM t;", "DELETE FROM t"},
         engine == EngineKind::Sqlite ? "Characters found after end of SQL statement"
                                      : "only one SQL statement allowed"},
        {{"SELECT * FROM t UNION ALL SELECT Id FROM t"},
         "SELECTs to the left and right of UNION ALL do not have the same number of result "
         "columns"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        query.SetSql({"SELECT * FROM t"});
        query.Open();
        query.SetSql(c.lines);
        ExpectEngineMessage(MessageOf([&] { query.Open(); }), c.message);
        EXPECT_FALSE(query.Active());
    }
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM t"), "3");

    connection.Close();
    query.SetSql({"SELECT * FROM t"});
    EXPECT_EQ(MessageOf([&] { query.Open(); }), "avtoQuery: Connection ADOConnection2 is not open");
}

TEST_P(QueryTest, DoubleQuotedPatternReadsAsText) {
    RawDb(file).Exec(R"(CREATE TABLE Statistic(Id INTEGER, Description TEXT);
        INSERT INTO Statistic VALUES (1, 'RDA'), (2, 'RDA-2020'), (3, 'My RDA'), (4, NULL);)");
    query.SetSql({"SELECT *", "FROM Statistic", "WHERE Description  LIKE \"RDA%\";"});
    query.Open();
    std::vector<std::string> listed;
    for (; !query.Eof(); query.Next()) {
        listed.push_back(query.FieldAsText("Description"));
    }
    EXPECT_THAT(listed, ElementsAre("RDA", "RDA-2020"));
}

TEST_P(QueryTest, ResultsNotReadFromOneTableCannotTakeRows) {
    RawDb(file).Exec(R"(CREATE TABLE u(Id INTEGER, Name TEXT);
        CREATE VIEW v AS SELECT t.Id, t.Name FROM t JOIN u USING (Id);)");
    std::vector<std::string> cases = {
        "SELECT * FROM t JOIN u USING (Id)",
        "SELECT Id, Name FROM t UNION ALL SELECT Id, Name FROM u",
        "SELECT 1 AS a",
        "SELECT * FROM t WHERE Id IN (SELECT Id FROM u)",
        "SELECT * FROM v",
    };
    if (engine == EngineKind::Sqlite) {
        // The SQLite driver names a base column even for a computed one: through it, these
        // cannot be told from a column of the table.
        cases.insert(cases.end(),
                     {"SELECT Id, Name || '!' AS Name FROM t", "SELECT count(*) AS n FROM t"});
    }
    for (const auto& sql : cases) {
        SCOPED_TRACE(sql);
        query.SetSql({sql});
        query.Open();
        EXPECT_EQ(MessageOf([&] { query.Append(); }),
                  "avtoQuery: Cannot modify a read-only dataset");
    }
    query.Close();
    EXPECT_EQ(MessageOf([&] { query.Append(); }),
              "avtoQuery: Cannot perform this operation on a closed dataset");
}

// A table's name may hold the quote character the engine quotes it with (doubled inside the
// quotes): its result still takes rows, into that table.
TEST_P(QueryTest, ATableWhoseNameHoldsQuotesTakesRows) {
    for (const std::string name : {"Log \"1\"", "Log `2`", "Log 'n' [3]"}) {
        SCOPED_TRACE(name);
        const std::string created = platform::QuoteDoubled(name, '"');
        RawDb(file).Exec("CREATE TABLE " + created + "(Id INTEGER, Name TEXT)");
        query.SetSql({"SELECT * FROM " + connection.GetEngine().TableName(name)});
        query.Open();
        query.Append();
        query.SetFieldText("Id", "7");
        query.SetFieldText("Name", name);
        query.Post();
        EXPECT_EQ(RawDb(file).Scalar("SELECT Id || ' ' || Name FROM " + created), "7 " + name);
    }
}

#ifndef _WIN32  // the SQLite engine: not in the Windows build
TEST_F(SqliteQueryTest, AppendedRowWritesOnlyTheColumnsGivenThroughAliases) {
    RawDb(file).Exec(R"(CREATE TABLE d(Id INTEGER, Label TEXT DEFAULT 'dflt', "Order" TEXT,
                                      Hidden TEXT DEFAULT 'h');)");
    query.SetSql({"SELECT Id AS Key, Label, \"Order\" FROM d"});
    query.Open();
    query.Append();
    query.SetFieldText("key", "5");
    query.SetFieldText("Order", "first");
    query.SetFieldText("Order", "second");  // the last value of a column counts
    query.Post();
    EXPECT_EQ(query.RecordCount(), 1u);
    EXPECT_FALSE(query.IsEmpty());
    EXPECT_EQ(query.FieldAsText("Key"), "5");
    EXPECT_EQ(query.FieldAsText("Order"), "second");
    EXPECT_EQ(RawDb(file).Rows("SELECT Id, typeof(Id), Label, \"Order\", Hidden FROM d"),
              (std::vector<Row>{{"5", "integer", "dflt", "second", "h"}}));
}

class AppendConversion : public SqliteQueryTest {
  protected:
    void SetUp() override {
        SqliteQueryTest::SetUp();
        RawDb(file).Exec(R"(CREATE TABLE c(
            t10 TEXT(10), v5 VARCHAR( 5 ), memo MEMO, plain TEXT, n INTEGER, lng LONG, f REAL,
            dbl DOUBLE, num NUMERIC(10,2), d DATETIME, untyped, bin BLOB, odd STRING);)");
        query.SetSql({"SELECT * FROM c"});
        query.Open();
        query.Append();
    }
    // The stored value and its storage class after posting one column.
    Row StoredAfterPost(const std::string& field) {
        query.Post();
        return RawDb(file).Rows("SELECT " + field + ", typeof(" + field + ") FROM c")[0];
    }
};

TEST_F(AppendConversion, TextsAreConvertedByTheDeclaredType) {
    struct Case {
        std::string field;
        std::string text;
        std::optional<std::string> stored;
        std::string storageClass;
    };
    const std::string cyrillic12 = "ЖЖЖЖЖЖЖЖЖЖЖЖ";
    const Case cases[] = {
        {"t10", "ABCDEFGHIJKL", "ABCDEFGHIJ", "text"},
        {"t10", "ABCDEFGHIJ", "ABCDEFGHIJ", "text"},
        {"t10", cyrillic12, cyrillic12.substr(0, 20), "text"},
        {"t10", "", "", "text"},
        {"v5", "Q1ABC/P", "Q1ABC", "text"},
        {"memo", "a long note", "a long note", "text"},
        {"plain", "  keep  ", "  keep  ", "text"},
        {"plain", "007", "007", "text"},
        {"n", "42", "42", "integer"},
        {"n", " -7 ", "-7", "integer"},
        {"n", "+5", "5", "integer"},
        {"n", "", std::nullopt, "null"},
        {"lng", "12", "12", "integer"},
        {"f", "2.5", "2.5", "real"},
        {"f", "-1e3", "-1000.0", "real"},
        {"f", ".5", "0.5", "real"},
        {"f", "", std::nullopt, "null"},
        {"dbl", "7", "7.0", "real"},
        {"num", "3.25", "3.25", "real"},
        {"d", "2024-05-06 07:08:09", "2024-05-06 07:08:09", "text"},
        {"d", "2024-05-06", "2024-05-06 00:00:00", "text"},
        {"d", "10:00", "1899-12-30 10:00:00", "text"},  // a time of day alone
        {"d", "", std::nullopt, "null"},
        {"untyped", "007", "007", "text"},
        {"bin", "abc", "abc", "text"},
        {"odd", "Q1ABC", "Q1ABC", "text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field + " <- '" + c.text + "'");
        RawDb(file).Exec("DELETE FROM c");
        query.Open();
        query.Append();
        query.SetFieldText(c.field, c.text);
        EXPECT_EQ(StoredAfterPost(c.field), (Row{c.stored, c.storageClass}));
    }
}

TEST_F(AppendConversion, TextsThatAreNoNumberOrDateAreRefusedWithNothingInFront) {
    struct Case {
        std::string field;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {"n", "4.5", "'4.5' is not a valid integer value for field 'n'"},
        {"n", "abc", "'abc' is not a valid integer value for field 'n'"},
        {"n", "1 2", "'1 2' is not a valid integer value for field 'n'"},
        {"n", "+-1", "'+-1' is not a valid integer value for field 'n'"},
        {"n", "99999999999999999999",
         "'99999999999999999999' is not a valid integer value "
         "for field 'n'"},
        {"lng", "x", "'x' is not a valid integer value for field 'lng'"},
        {"f", "abc", "'abc' is not a valid floating point value for field 'f'"},
        {"f", "1,5", "'1,5' is not a valid floating point value for field 'f'"},
        {"f", "inf", "'inf' is not a valid floating point value for field 'f'"},
        {"f", "nan", "'nan' is not a valid floating point value for field 'f'"},
        {"f", "0x10", "'0x10' is not a valid floating point value for field 'f'"},
        {"f", "1e", "'1e' is not a valid floating point value for field 'f'"},
        {"f", "1e999", "'1e999' is not a valid floating point value for field 'f'"},
        {"num", ".", "'.' is not a valid floating point value for field 'num'"},
        {"d", "06.05.2024", "'06.05.2024' is not a valid date and time value for field 'd'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field + " <- '" + c.text + "'");
        EXPECT_EQ(MessageOf([&] { query.SetFieldText(c.field, c.text); }), c.message);
    }
    // Nothing refused was kept: the row posts with every column at its default.
    query.Post();
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM c WHERE n IS NULL AND f IS NULL AND "
                                 "d IS NULL AND lng IS NULL AND num IS NULL"),
              "1");
}

TEST_F(AppendConversion, DateTimesAreWrittenByTheDeclaredType) {
    struct Case {
        std::string field;
        std::optional<std::string> stored;
        std::string storageClass;
    };
    const Case cases[] = {
        {"d", "2023-03-15 06:00:00", "text"},
        {"plain", "2023-03-15 06:00:00", "text"},
        {"untyped", "2023-03-15 06:00:00", "text"},
        {"t10", "2023-03-15", "text"},
        {"f", "45000.25", "real"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        RawDb(file).Exec("DELETE FROM c");
        query.Open();
        query.Append();
        query.SetFieldDateTime(c.field, At(2023, 3, 15, 6));
        EXPECT_EQ(StoredAfterPost(c.field), (Row{c.stored, c.storageClass}));
    }
    query.Open();
    query.Append();
    EXPECT_EQ(MessageOf([&] { query.SetFieldDateTime("n", At(2023, 3, 15)); }),
              "avtoQuery: Field 'n' cannot hold a date and time value");
}

// The user's number format is one form both ways: a number read as text goes back into a column
// of the same type unchanged, in every locale (ru_RU and de_DE write a decimal comma).
TEST_F(AppendConversion, NumbersReadAsTextWriteBackUnchangedInEveryLocale) {
    struct Locale {
        const char* name;
        std::vector<std::string> texts;  // of the values below, read as text
        std::string refused;             // a number in the other locales' form
    };
    const char* const values[] = {"144.0", "14.2", "-0.125", "1e20", "0.1", "3.0000000000000004"};
    const Locale locales[] = {
        {"C", {"144", "14.2", "-0.125", "1e+20", "0.1", "3.0000000000000004"}, "14,2"},
        {"de_DE.UTF-8", {"144", "14,2", "-0,125", "1e+20", "0,1", "3,0000000000000004"}, "14.2"},
        {"ru_RU.UTF-8", {"144", "14,2", "-0,125", "1e+20", "0,1", "3,0000000000000004"}, "14.2"},
    };
    for (const Locale& locale : locales) {
        SCOPED_TRACE(locale.name);
        test::ScopedEnv lcAll("LC_ALL", locale.name);
        std::vector<std::string> read;
        for (const char* value : values) {
            RawDb(file).Exec(std::string("DELETE FROM c; INSERT INTO c(f) VALUES (") + value + ")");
            query.Open();
            read.push_back(query.FieldAsText("f"));
            query.Append();
            query.SetFieldText("dbl", read.back());
            query.Post();
            EXPECT_EQ(
                RawDb(file).Scalar("SELECT count(*) FROM c WHERE dbl = " + std::string(value)), "1")
                << read.back();
        }
        EXPECT_EQ(read, locale.texts);
        query.Open();
        query.Append();
        EXPECT_EQ(MessageOf([&] { query.SetFieldText("f", locale.refused); }),
                  "'" + locale.refused + "' is not a valid floating point value for field 'f'");
    }
}

// What a text would be stored as, in the form a comparison with a literal finds it by.
TEST_F(AppendConversion, ComparableTextIsWhatWouldBeStored) {
    struct Case {
        const char* field;
        std::string text;
        std::optional<std::string> comparable;
    };
    const Case cases[] = {
        {"t10", "Q1LONGCALLSIGN/MM", "Q1LONGCALL"},
        {"v5", "12:20:30", "12:20"},
        {"plain", "12:20:30", "12:20:30"},
        {"untyped", " as is ", " as is "},
        {"n", " 0010 ", "10"},
        {"f", "2.5", "2.5"},
        {"d", "10:00", "1899-12-30 10:00:00"},
        {"d", "2024-05-06", "2024-05-06 00:00:00"},
        {"d", "", std::nullopt},  // Null equals nothing
        {"n", "10:00", std::nullopt},
        {"d", "later", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
        EXPECT_EQ(query.ComparableText(c.field, c.text), c.comparable);
    }
    EXPECT_EQ(MessageOf([&] { query.ComparableText("Nope", "x"); }),
              "avtoQuery: Field 'Nope' not found");
}

TEST_F(AppendConversion, WritesNeedAnAppendedRowAndAKnownField) {
    EXPECT_EQ(MessageOf([&] { query.SetFieldText("Nope", "x"); }),
              "avtoQuery: Field 'Nope' not found");
    query.Close();
    query.Open();
    EXPECT_EQ(MessageOf([&] { query.SetFieldText("plain", "x"); }),
              "avtoQuery: Dataset not in edit or insert mode");
    EXPECT_EQ(MessageOf([&] { query.Post(); }), "avtoQuery: Dataset not in edit or insert mode");
    query.Append();
    query.SetFieldText("plain", "discarded");
    query.Close();  // the pending row goes with the result
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM c"), "0");
}
#endif

TEST_P(QueryTest, RefusedRowIsNotStoredAndStaysPending) {
    RawDb(file).Exec(R"(CREATE TABLE r(Id INTEGER PRIMARY KEY, Req TEXT NOT NULL,
                                      Uniq TEXT UNIQUE);
                        INSERT INTO r VALUES (1, 'a', 'taken');)");
    struct Case {
        std::function<void()> fill;
        std::string message;
    };
    const Case cases[] = {
        {[&] { query.SetFieldText("Uniq", "free"); }, "NOT NULL constraint failed: r.Req"},
        {[&] {
             query.SetFieldText("Req", "b");
             query.SetFieldText("Uniq", "taken");
         },
         "UNIQUE constraint failed: r.Uniq"},
        {[&] {
             query.SetFieldText("Id", "1");
             query.SetFieldText("Req", "b");
         },
         "UNIQUE constraint failed: r.Id"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        query.SetSql({"SELECT * FROM r WHERE Id = 99"});
        query.Open();
        query.Append();
        c.fill();
        ExpectEngineMessage(MessageOf([&] { query.Post(); }), c.message);
        EXPECT_TRUE(query.Appending());
        EXPECT_TRUE(query.IsEmpty());
        EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM r"), "1");
    }
    // The pending row can still be mended and stored.
    query.SetFieldText("Id", "2");
    query.Post();
    EXPECT_EQ(RawDb(file).Rows("SELECT Id, Req FROM r ORDER BY Id"),
              (std::vector<Row>{{"1", "a"}, {"2", "b"}}));
}

TEST_P(QueryTest, PostIntoALockedDatabaseFailsAfterTheWaitAndStoresNothing) {
    query.SetSql({"SELECT * FROM t WHERE Id = 99"});
    query.Open();
    query.Append();
    query.SetFieldText("Name", "four");
    connection.Close();
    connection.SetBusyTimeout(milliseconds(20));
    connection.Open();
    {
        RawDb holder(file);
        holder.Exec("BEGIN IMMEDIATE");
        ExpectEngineMessage(
            MessageOf([&] { query.Post(); }),
            engine == EngineKind::Sqlite
                ? "The database '" + platform::PathToUtf8(file) + "' is locked by another program"
                : "database is locked");
        holder.Exec("ROLLBACK");
    }
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM t WHERE Name = 'four'"), "0");
    query.Post();
    EXPECT_EQ(RawDb(file).Scalar("SELECT count(*) FROM t WHERE Name = 'four'"), "1");
}

TEST_P(QueryTest, AppendPostsAPendingRowFirst) {
    query.SetSql({"SELECT * FROM t WHERE Id = 99"});
    query.Open();
    query.Append();
    query.SetFieldText("Id", "10");
    query.Append();
    query.SetFieldText("Id", "11");
    query.Post();
    EXPECT_EQ(query.RecordCount(), 2u);
    EXPECT_EQ(RawDb(file).Scalar("SELECT group_concat(Id) FROM t WHERE Id >= 10"), "10,11");
}

INSTANTIATE_TEST_SUITE_P(Engines, QueryTest, test::BuiltEngines(), test::EngineName);

}  // namespace
}  // namespace telvora::logdb
