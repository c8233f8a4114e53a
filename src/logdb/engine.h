// The database engine behind a connection, as the query objects use it: run one statement and
// take its whole result, store one row. Everything else a query does (markers, navigation,
// reading values as text, the conversions of an appended row) is the query's own and the same
// over every engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/datetime.h"

namespace telvora::logdb {

// A value as an engine returns or takes it; std::monostate is Null.
using Value = std::variant<std::monostate, std::int64_t, double, std::string, telvora::DateTime>;

// What a column holds by its declared type, as values written into it are converted.
enum class ColumnKind {
    Any,      // no type the conversions know: a text is stored as it is
    Text,     // cut to maxLength characters
    Integer,  // a whole number
    Float,    // a number in the user's number format
    Date,     // a date-time value
};

struct ColumnType {
    ColumnKind kind = ColumnKind::Any;
    std::size_t maxLength = 0;  // characters of a text column; 0: no limit
    friend bool operator==(const ColumnType&, const ColumnType&) = default;
};

struct ResultColumn {
    std::string name;    // as the result names it
    std::string origin;  // the column of Result::table that it shows; empty when none
    ColumnType type;     // the declared type of that column
};

struct Result {
    std::vector<ResultColumn> columns;
    std::vector<Value> cells;  // row after row
    std::size_t rows = 0;
    // The one table that every column comes straight from, so that the result can take new
    // rows; empty for a join, a union, a computed column or a statement that reads no table.
    std::string table;
};

class Engine {
  public:
    virtual ~Engine() = default;

    // Runs the first statement of `text`, its "?" markers bound by position, and reads its
    // whole result. A date-time parameter compared with "=" matches the same moment in any
    // of the forms the engine may hold it in. nullopt when the text holds no statement.
    // Failures raise telvora::Error with the engine's message.
    virtual std::optional<Result> Execute(const std::string& text,
                                          const std::vector<Value>& parameters) = 0;

    // Stores one row in `table` (as Result::table named it) with these columns set; the
    // table's other columns take their defaults. Stored at once: there is no transaction.
    virtual void Insert(const std::string& table, const std::vector<std::string>& columns,
                        const std::vector<Value>& values) = 0;

    // A LIKE pattern in quotes that matches the texts beginning with `text`: "'Q1ABC%'". A "%",
    // "_" or escape character in the text matches only itself, by the engine's own means of
    // escaping (an ESCAPE clause follows the literal where the engine needs one).
    virtual std::string PrefixPattern(std::string_view text) const = 0;

    // A table name as a statement of this engine takes it: bare, as stored in Aconfig, when the
    // engine can take it so; quoted as an identifier when it cannot (blanks, quotes, a keyword).
    virtual std::string TableName(std::string_view stored) const = 0;
};

// A database file as messages name it: absolute, without "." and ".." steps.
std::string DisplayFileName(const std::string& path);

// How a LIKE pattern keeps a wildcard from matching more than itself: a backslash before it and
// an ESCAPE '\' clause after the literal (SQL's way), or brackets around it (Jet's way).
enum class LikeEscape { Backslash, Brackets };
// The quoted prefix pattern for `text` (single quotes doubled), with its ESCAPE clause when the
// text holds anything to escape; an ordinary text gives exactly "'" + text + "%'".
std::string LikePrefixLiteral(std::string_view text, LikeEscape escape);

// Where the "?" markers of a statement stand: outside string literals, quoted names and
// comments, as SQLite's tokenizer reads them. (The SQLite engine's; Linux only.)
std::vector<std::size_t> MarkerOffsets(std::string_view sql);

// The one table a statement reads, when it reads one only: one FROM naming one table, and no
// join, union or subquery; a quoted name unquoted. Empty when there is no such table. (The ODBC
// engine's: a driver names a base table for the columns of a union or a view as well.)
std::string SingleTableRead(std::string_view sql);

// The ".mdb" files as SQLite databases: `path` as the connection string names it ("\" is a
// separator), opened read-write and never created. A lock held by another program is waited on
// for `busyTimeoutMs` before a statement fails. Failures name the file.
std::unique_ptr<Engine> OpenSqliteEngine(const std::string& path, int busyTimeoutMs);

// The ".mdb" files through ODBC: "Driver={Microsoft Access Driver (*.mdb)};DBQ=<path>", the Jet
// 4.0 engine's driver, which waits on locks as the platform has it set. Tests name another
// driver in TELVORA_ODBC_DRIVER, which is also told the file's host path and `busyTimeoutMs`.
std::unique_ptr<Engine> OpenOdbcEngine(const std::string& path, int busyTimeoutMs);

// The connection string that honours the logger's, as OpenOdbcEngine opens `path` with it: the
// Access driver on the file, "DBQ=" braced when the path holds what would end the value, a
// path the ANSI code page cannot hold given by its short name (Windows). A driver named in
// TELVORA_ODBC_DRIVER (tests: the SQLite ODBC driver on SQLite files) is also handed
// "Database=" with the file's host path, which is how the SQLite driver takes the file (it
// ignores DBQ), "NoCreat=1" and the lock wait as "Timeout=".
std::string OdbcConnectionString(const std::string& path, int busyTimeoutMs);

}  // namespace telvora::logdb
