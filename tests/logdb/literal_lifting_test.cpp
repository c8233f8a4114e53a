// Statements whose literals the connection lifts into parameters must give exactly what the
// text as written gives: the same columns, rows, order, storage classes and errors.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "logdb/connection.h"
#include "logdb/query.h"
#include "platform/error.h"
#include "sqlite_fixture.h"
#include "temp_dir.h"

namespace telvora::logdb {
namespace {

using telvora::test::MakeDatabase;
using telvora::test::RawDb;
using telvora::test::TempDir;

TEST(LiftStringLiterals, LiftsComparedLiteralsAndNumbersTheTextsOwnMarkersFirst) {
    struct Case {
        std::string text;
        std::string lifted;
        int own;
        std::vector<std::string> literals;
    };
    const Case cases[] = {
        // The credit check and the contact search as the program writes them.
        {"SELECT * \r\nFROM Avtozachet\r\nWHERE QSODate =? and CallSign = 'Q1ABC/P' and "
         "QSOTime = '10:30'\r\n",
         "SELECT * \r\nFROM Avtozachet\r\nWHERE QSODate =?1 and CallSign = ?2 and QSOTime = "
         "?3\r\n",
         1,
         {"Q1ABC/P", "10:30"}},
        {"SELECT * FROM Log1 WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND State = 'AB-01' "
         "UNION ALL SELECT * FROM Log2 WHERE QSODate=? AND CallSign LIKE 'Q1ABC%' AND State = "
         "'AB-01'\r\n",
         "SELECT * FROM Log1 WHERE QSODate=?1 AND CallSign LIKE ?3 AND State = ?4 "
         "UNION ALL SELECT * FROM Log2 WHERE QSODate=?2 AND CallSign LIKE ?5 AND State = ?6\r\n",
         2,
         {"Q1ABC%", "AB-01", "Q1ABC%", "AB-01"}},
        // The escape character must stay a literal for the engine to use the LIKE prefix.
        {"SELECT * FROM Log1 WHERE QSODate=? AND CallSign LIKE 'Q\\_1%' ESCAPE '\\' AND "
         "State = 'A'",
         "SELECT * FROM Log1 WHERE QSODate=?1 AND CallSign LIKE ?2 ESCAPE '\\' AND State = ?3",
         1,
         {"Q\\_1%", "A"}},
        {"SELECT * FROM t WHERE a = 'O''Brien' OR a = '''' OR a = ''",
         "SELECT * FROM t WHERE a = ?1 OR a = ?2 OR a = ?3",
         0,
         {"O'Brien", "'", ""}},
        {"select * from t where a<>'1' and b!='2' and c=='3' and d<'4' and e<='5' and f>'6' "
         "and g>='7' and h like '8' and i glob '9' and j not like '10'",
         "select * from t where a<>?1 and b!=?2 and c==?3 and d<?4 and e<=?5 and f>?6 and "
         "g>=?7 and h like ?8 and i glob ?9 and j not like ?10",
         0,
         {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
        // Quotes inside identifiers, double-quoted strings and comments are no literals.
        {"SELECT \"it's\", [a'b], `c'd` FROM t WHERE \"x = 'y'\" = 'z'",
         "SELECT \"it's\", [a'b], `c'd` FROM t WHERE \"x = 'y'\" = ?1",
         0,
         {"z"}},
        {"SELECT * FROM t -- a = 'no'\r\nWHERE a = 'yes' /* b = 'no' */",
         "SELECT * FROM t -- a = 'no'\r\nWHERE a = ?1 /* b = 'no' */",
         0,
         {"yes"}},
        {"SELECT \"a\"\"'\" FROM t WHERE a = 'b'",
         "SELECT \"a\"\"'\" FROM t WHERE a = ?1",
         0,
         {"b"}},
        // Literals anywhere else stay as written.
        {"SELECT 'x', a || 'y' FROM t WHERE a IN ('p', 'q') AND b BETWEEN 'r' AND 's' AND "
         "c = 'u' COLLATE NOCASE AND d = X'41' AND e = 't'.f AND g ->> '$.h' = 'i'",
         "SELECT 'x', a || 'y' FROM t WHERE a IN ('p', 'q') AND b BETWEEN 'r' AND 's' AND "
         "c = ?1 COLLATE NOCASE AND d = X'41' AND e = 't'.f AND g ->> '$.h' = ?2",
         0,
         {"u", "i"}},
        {"  /* first */ SELECT a FROM t WHERE b = 'c';  -- end",
         "  /* first */ SELECT a FROM t WHERE b = ?1;  -- end",
         0,
         {"c"}},
        {"SELECT a FROM t WHERE b = 'Жук' AND c = ?",
         "SELECT a FROM t WHERE b = ?2 AND c = ?1",
         1,
         {"Жук"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        LiftedSql lifted;
        ASSERT_TRUE(LiftStringLiterals(c.text, lifted));
        EXPECT_EQ(lifted.text, c.lifted);
        EXPECT_EQ(lifted.ownParameters, c.own);
        EXPECT_EQ(lifted.literals, c.literals);
    }
}

TEST(LiftStringLiterals, LeavesAloneWhatIsNoQueryNothingToLiftOrUnusual) {
    const std::string cases[] = {
        "INSERT INTO t VALUES ('a')",
        "UPDATE t SET a = 'b' WHERE c = 'd'",
        "DELETE FROM t WHERE a = 'b'",
        "PRAGMA journal_mode = 'wal'",
        "WITH x AS (SELECT 1) SELECT * FROM x WHERE 'a' = 'b'",
        "SELECTa FROM t WHERE a = 'b'",
        "SELECT * FROM t",
        "SELECT * FROM t WHERE a = ?1 AND b = 'c'",
        "SELECT * FROM t WHERE a = :a AND b = 'c'",
        "SELECT * FROM t WHERE a = @a AND b = 'c'",
        "SELECT * FROM t WHERE a = $a AND b = 'c'",
        "SELECT * FROM t WHERE a = 'unterminated",
        "SELECT * FROM t WHERE \"a = 'b'",
        "SELECT * FROM t WHERE [a = 'b'",
        "SELECT * FROM t WHERE a = 'b' /* unterminated",
        std::string("SELECT * FROM t WHERE a = 'b'") + '\0' + " OR a = 'c'",
        "SELECT * FROM t WHERE a = 'b'\x01",
        "SELECT * FROM t WHERE a = 'b'; SELECT 1",
        "SELECT * FROM t WHERE a IN ('b') AND c BETWEEN 'd' AND 'e' AND 'f' = g",
        "",
        "-- only a comment",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        LiftedSql lifted;
        EXPECT_FALSE(LiftStringLiterals(text, lifted)) << lifted.text;
    }
}

// A result as comparable text: column names, then each row's cells as "class:value".
struct Outcome {
    std::vector<std::string> names;
    std::vector<std::vector<std::string>> rows;
    std::string error;
    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
    *os << "error=" << o.error << " names=";
    for (const auto& n : o.names) {
        *os << "[" << n << "]";
    }
    for (const auto& row : o.rows) {
        *os << "\n  ";
        for (const auto& cell : row) {
            *os << cell << " | ";
        }
    }
}

Outcome Collect(sqlite3_stmt* stmt) {
    Outcome out;
    int rc = sqlite3_step(stmt);
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        out.names.emplace_back(sqlite3_column_name(stmt, c));
    }
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            static const char* const kClasses[] = {"?", "integer", "real", "text", "blob", "null"};
            std::string cell = kClasses[sqlite3_column_type(stmt, c)];
            const auto* text = sqlite3_column_text(stmt, c);
            if (text != nullptr) {
                cell += ":" + std::string(reinterpret_cast<const char*>(text));
            }
            row.push_back(std::move(cell));
        }
        out.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        out.error = sqlite3_errmsg(sqlite3_db_handle(stmt));
    }
    return out;
}

// The text as written, through a connection of its own.
Outcome AsWritten(const std::filesystem::path& file, const std::string& sql) {
    RawDb raw(file);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(raw.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        return {{}, {}, sqlite3_errmsg(raw.get())};
    }
    Outcome out = Collect(stmt);
    sqlite3_finalize(stmt);
    return out;
}

class LiftedStatements : public ::testing::Test {
  protected:
    void SetUp() override {
        file = dir / "logs.mdb";
        // Rows go in out of name order, so that a plan reading the name index shows in the
        // order of the result.
        MakeDatabase(file, R"(
            CREATE TABLE t(Id INTEGER PRIMARY KEY, Name TEXT, Score REAL, Note TEXT, Num INTEGER);
            INSERT INTO t VALUES (1, 'two', 2.0, 'keep', 2);
            INSERT INTO t VALUES (2, 'Q_9', 1.5, 'keep', 10);
            INSERT INTO t VALUES (3, 'O''Brien', 3.25, NULL, NULL);
            INSERT INTO t VALUES (4, 'q1abc', 0.5, 'drop', 1);
            INSERT INTO t VALUES (5, 'Q1ABC/P', 4.0, 'keep', 7);
            INSERT INTO t VALUES (6, '', -1.0, '', 0);
            INSERT INTO t VALUES (7, 'Жук', 2.5, 'keep', 3);
            INSERT INTO t VALUES (8, 'one', 1.0, 'keep', '2');
            INSERT INTO t VALUES (9, 'ONE', 1.25, 'x', 2);
            CREATE INDEX t_name ON t(Name COLLATE NOCASE);
            CREATE INDEX t_kept ON t(Score) WHERE Note = 'keep';
            CREATE TABLE u(Id INTEGER, Label TEXT);
            INSERT INTO u VALUES (1, 'a'), (2, 'b'), (4, 'a');
            CREATE VIRTUAL TABLE f USING fts5(body);
            INSERT INTO f VALUES ('hello world'), ('other');
        )");
        connection.SetConnectionString(BuildConnectionString(file.string()));
        connection.Open();
    }

    Outcome ThroughConnection(const std::string& sql) {
        try {
            PreparedStatement prepared = connection.Prepare(sql);
            return Collect(prepared.get());
        } catch (const Error& error) {
            return {{}, {}, error.what()};
        }
    }

    // Whether the connection ran `sql` through a statement shared with other literals.
    bool Shared(const std::string& sql) {
        PreparedStatement prepared = connection.Prepare(sql);
        return sqlite3_sql(prepared.get()) != sql;
    }

    TempDir dir;
    std::filesystem::path file;
    Connection connection{"ADOConnection1"};
};

TEST_F(LiftedStatements, GiveWhatTheTextAsWrittenGives) {
    struct Case {
        std::string sql;
        bool shared;  // whether the literals may be lifted at all
    };
    const Case cases[] = {
        {"SELECT * FROM t WHERE Name = 'two'", true},
        {"SELECT * FROM t WHERE Name = 'O''Brien'", true},
        {"SELECT * FROM t WHERE Name = ''", true},
        {"SELECT * FROM t WHERE Name = 'Жук'", true},
        // LIKE and GLOB prefixes the engine may answer from the name index.
        {"SELECT * FROM t WHERE Name LIKE 'q%'", true},
        {"SELECT * FROM t WHERE Name LIKE 'Q\\_%' ESCAPE '\\'", true},
        {"SELECT * FROM t WHERE Name LIKE 'q%' ESCAPE '\\'", true},
        {"SELECT * FROM t WHERE Name GLOB 'Q*'", true},
        {"SELECT * FROM t WHERE Name NOT LIKE '%o%'", true},
        // A partial index whose condition names a literal.
        {"SELECT Id FROM t WHERE Note = 'keep' AND Score > 1", true},
        // Affinity: the column's type decides how a text compares, lifted or not.
        {"SELECT Id, typeof(Num) FROM t WHERE Num = '2'", true},
        {"SELECT Id FROM t WHERE Num > '3' ORDER BY Id", true},
        {"SELECT Id FROM t WHERE Score = '2.0'", true},
        {"SELECT Id FROM t WHERE Num + 0 = '2'", true},
        {"SELECT Id FROM t WHERE 2 = '2'", true},
        {"SELECT Id FROM t WHERE Name = 'one' COLLATE NOCASE ORDER BY Id", true},
        {"SELECT Id FROM t WHERE Name >= 'o' AND Name < 'u' ORDER BY Name", true},
        {"SELECT Id FROM t WHERE Name == 'one' OR Name <> 'two' AND Name != 'ONE'", true},
        {"SELECT * FROM t -- Name = 'no'\r\nWHERE Name = 'two' /* Name = 'one' */", true},
        {"SELECT [Name], `Note` FROM t WHERE [Note] <> 'x' AND `Name` != 'two'", true},
        {"SELECT * FROM t WHERE Name = \"two\" AND Note = 'keep'", true},
        {"SELECT \"it's\" AS q, Name FROM t WHERE Name = 'two'", true},
        {"SELECT Id, Name = 'two' AS isTwo FROM t ORDER BY Id", true},
        {"SELECT CASE WHEN Name = 'one' THEN 'yes' ELSE 'no' END AS answer FROM t", true},
        {"SELECT t.Id, u.Label FROM t LEFT JOIN u ON u.Id = t.Id AND u.Label = 'a'", true},
        {"SELECT t.Id FROM t LEFT JOIN u ON u.Id = t.Id WHERE u.Label = 'a'", true},
        {"SELECT * FROM t WHERE Id IN (SELECT Id FROM u WHERE Label = 'a')", true},
        {"SELECT * FROM t WHERE Name = 'two';", true},
        {"SELECT Name FROM t WHERE Name = 't'.Name", false},
        {"SELECT Name FROM t WHERE Name IN ('one', 'two')", false},
        // A lifted literal inside a result column would rename it.
        {"SELECT Id, Name = 'two' FROM t ORDER BY Id", false},
        {"SELECT * FROM (SELECT Name = 'two' FROM t)", false},
        // Compound ORDER BY terms match result columns by their literals.
        {"SELECT Name = 'two' AS k FROM t UNION ALL SELECT 5 ORDER BY Name = 'two'", false},
        // Virtual tables plan with the values of their constraints. (Connected first: a
        // module may read tables of its own on connecting.)
        {"SELECT count(*) FROM f", false},
        {"SELECT count(*) FROM pragma_table_info('t')", false},
        {"SELECT * FROM f WHERE body = 'hello world'", false},
        {"SELECT name FROM pragma_table_info('t') WHERE type = 'TEXT'", false},
        // Errors read as they would for the text as written.
        {"SELECT * FROM t WHERE Nope = 'x'", false},
        {"SELECT * FROM t WHERE Name = 'x' 'y'", false},
        {"SELECT * FROM t WHERE Name = 'x' AND", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        const Outcome expected = AsWritten(file, c.sql);
        EXPECT_EQ(ThroughConnection(c.sql), expected);
        EXPECT_EQ(ThroughConnection(c.sql), expected);  // again, from the cache
        if (expected.error.empty()) {
            EXPECT_EQ(Shared(c.sql), c.shared);
        }
    }
}

TEST_F(LiftedStatements, OneStatementServesEveryLiteral) {
    const std::string names[] = {"two", "O'Brien", "Жук", "", "nobody", "two"};
    sqlite3_stmt* shared = nullptr;
    for (const auto& name : names) {
        std::string literal;
        for (char c : name) {
            literal += c;
            if (c == '\'') {
                literal += '\'';
            }
        }
        const std::string sql =
            "SELECT Id, Name FROM t WHERE Name = '" + literal + "' AND Note <> 'x'";
        SCOPED_TRACE(sql);
        PreparedStatement prepared = connection.Prepare(sql);
        if (shared == nullptr) {
            shared = prepared.get();
        }
        EXPECT_EQ(prepared.get(), shared);
        EXPECT_EQ(prepared.ParameterCount(), 0);
        EXPECT_EQ(Collect(prepared.get()), AsWritten(file, sql));
    }
}

TEST_F(LiftedStatements, StatementsLentOutAtOnceKeepTheirOwnLiterals) {
    const std::string first = "SELECT Id FROM t WHERE Name = 'two'";
    const std::string second = "SELECT Id FROM t WHERE Name = 'one'";
    PreparedStatement a = connection.Prepare(first);
    PreparedStatement b = connection.Prepare(second);
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(Collect(b.get()), AsWritten(file, second));
    EXPECT_EQ(Collect(a.get()), AsWritten(file, first));
}

TEST_F(LiftedStatements, SharedStatementSeesSchemaChangesOfOtherPrograms) {
    const Outcome before = ThroughConnection("SELECT * FROM t WHERE Name = 'two'");
    RawDb(file).Exec("ALTER TABLE t ADD COLUMN Extra TEXT DEFAULT 'e';");
    const std::string sql = "SELECT * FROM t WHERE Name = 'one'";
    const Outcome after = ThroughConnection(sql);
    EXPECT_EQ(after, AsWritten(file, sql));
    EXPECT_EQ(after.names.size(), before.names.size() + 1);
}

TEST_F(LiftedStatements, ALockHeldWhileAShapeIsFirstSeenDoesNotStopSharingIt) {
    connection.SetBusyTimeout(std::chrono::milliseconds(20));
    const std::string first = "SELECT Id FROM t WHERE Name = 'two'";
    {
        RawDb holder(file);
        holder.Exec("ALTER TABLE t ADD COLUMN Extra TEXT; BEGIN EXCLUSIVE;");
        EXPECT_FALSE(ThroughConnection(first).error.empty());
        holder.Exec("COMMIT");
    }
    EXPECT_EQ(ThroughConnection(first), AsWritten(file, first));
    const std::string second = "SELECT Id FROM t WHERE Name = 'one'";
    EXPECT_EQ(ThroughConnection(second), AsWritten(file, second));
    EXPECT_TRUE(Shared(second));
}

TEST_F(LiftedStatements, QueryBindsItsOwnMarkersBeforeTheLiterals) {
    Query query("FindQuery", connection);
    struct Case {
        std::string name;
        std::int64_t num;
        std::string note;
    };
    const Case cases[] = {{"two", 2, "keep"}, {"one", 2, "keep"}, {"ONE", 2, "x"}, {"one", 3, "x"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        query.SetSql({"SELECT Id, Name ", "FROM t",
                      "WHERE Num = :n and Name = '" + c.name + "' and Note = '" + c.note +
                          "' and Id > :low"});
        query.ParamByName("n").SetValue(c.num);
        query.ParamByName("low").SetValue(std::int64_t{0});
        query.Open();
        std::vector<std::string> ids;
        for (; !query.Eof(); query.Next()) {
            ids.push_back(query.FieldAsText("Id"));
        }
        std::vector<std::string> expected;
        for (const auto& row : RawDb(file).Rows(
                 "SELECT Id FROM t WHERE Num = " + std::to_string(c.num) + " and Name = '" +
                 c.name + "' and Note = '" + c.note + "' and Id > 0")) {
            expected.push_back(*row[0]);
        }
        EXPECT_EQ(ids, expected);
    }
}

}  // namespace
}  // namespace telvora::logdb
