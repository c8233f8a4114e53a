// A connection to one of the logger's database files. The connection string keeps the form the
// logger's own tools use ("Provider=...;Data Source=<path>;..."); the file behind it is a SQLite
// database, opened read-write and never created.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace telvora::logdb {

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False".
// A path that the unquoted form would cut short or misread (one holding ";", or whose first
// non-blank character is a quote) is enclosed in quotes as OLE DB connection strings do: double
// quotes, or single quotes when the path holds a double quote, doubling the enclosing quote when it
// holds both. Every other path is inserted as it is.
std::string BuildConnectionString(const std::string& path);

// The value of "Data Source" in a connection string (keys compare without regard to case;
// quoted values are unquoted). nullopt when the key is missing or the string is malformed.
std::optional<std::string> ParseDataSource(std::string_view connectionString);

// What the engine learnt about a prepared statement: whether it reads exactly one table, and
// which one. A result that reads more than one table cannot take new rows.
struct StatementSource {
    int tablesRead = 0;    // distinct tables the statement reads
    std::string database;  // schema name ("main") of the single table read
    std::string table;     // the single table read, empty when tablesRead != 1
};

// A statement text with its single-quoted string literals lifted out as numbered parameters, so
// that texts differing only in those literals share one prepared statement. The text's own "?"
// markers become ?1..?n in order; the lifted literals follow as ?n+1, ?n+2, ...
struct LiftedSql {
    std::string text;
    int ownParameters = 0;
    std::vector<std::string> literals;  // their values, quotes undoubled
};

// Lifts only the literals that are the right-hand operand of a comparison, LIKE or GLOB in a
// SELECT statement: there a text bound in its place compares exactly as the literal does. False
// (and `out` of no use) when there is nothing to lift or the text holds anything unusual:
// numbered or named markers, an unterminated quote, bracket or comment, a NUL or control
// character, a second statement.
bool LiftStringLiterals(std::string_view sql, LiftedSql& out);

class Connection;

// A prepared statement borrowed from the connection's cache for the length of one execution.
// Giving it back resets it and clears its bindings, so the next user starts afresh.
class PreparedStatement {
  public:
    PreparedStatement() = default;
    PreparedStatement(PreparedStatement&& other) noexcept;
    PreparedStatement& operator=(PreparedStatement&& other) noexcept;
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;
    ~PreparedStatement();

    sqlite3_stmt* get() const { return stmt_; }
    const StatementSource& Source() const { return *source_; }
    explicit operator bool() const { return stmt_ != nullptr; }
    // The markers of the caller's text, bound at 1..ParameterCount(). Literals the connection
    // lifted out of the text are bound already, at the positions after these.
    int ParameterCount() const { return parameterCount_; }

  private:
    friend class Connection;
    void Release();

    sqlite3_stmt* stmt_ = nullptr;
    const StatementSource* source_ = nullptr;
    int parameterCount_ = 0;
    bool* inUse_ = nullptr;  // the cache entry's flag, cleared on release
};

class Connection {
  public:
    explicit Connection(std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& Name() const { return name_; }

    // Not allowed while the connection is open.
    void SetConnectionString(std::string text);
    const std::string& ConnectionString() const { return connectionString_; }

    // Kept for the component's sake; opening never asks the user anything either way.
    void SetLoginPrompt(bool on) { loginPrompt_ = on; }
    bool LoginPrompt() const { return loginPrompt_; }

    // How long a statement waits for another program's lock before it fails (5 s by default).
    void SetBusyTimeout(std::chrono::milliseconds timeout);
    std::chrono::milliseconds BusyTimeout() const { return busyTimeout_; }

    // Opens the file named by the connection string read-write; never creates it. Failures
    // raise telvora::Error with a message naming the file. Opening an open connection does
    // nothing.
    void Open();
    // Closing a closed connection does nothing.
    void Close();
    bool Connected() const { return db_ != nullptr; }
    sqlite3* Handle() const { return db_; }

    // The database file as the engine opened it (after "\" became "/"); empty while closed.
    const std::string& FilePath() const { return filePath_; }

    // Prepares `sql` (or reuses the statement last prepared from the same text, or from a text
    // differing only in lifted literals; see LiftStringLiterals). An empty result means the
    // text holds no statement. Engine errors raise telvora::Error with the engine's message.
    // Text after the first statement is refused.
    PreparedStatement Prepare(const std::string& sql);

    // Raises the engine's message for a failed call that returned `code`; a locked database is
    // named in the message.
    [[noreturn]] void RaiseEngineError(int code) const;

  private:
    struct CachedStatement;
    using TableNames = std::vector<std::pair<std::string, std::string>>;  // schema, table
    static int Authorize(void* self, int action, const char* a, const char* b, const char* db,
                         const char* trigger);
    void ConfigureOpened(const std::string& displayPath);
    CachedStatement* FindCached(const std::string& sql, bool lifted);
    std::unique_ptr<CachedStatement> PrepareText(const std::string& sql);
    std::unique_ptr<CachedStatement> PrepareLifted(const std::string& sql);
    std::optional<bool> AllOrdinaryTables(const TableNames& tables);  // nullopt: no answer
    void Reject(const std::string& liftedText);
    CachedStatement& Keep(std::unique_ptr<CachedStatement> entry);
    PreparedStatement Lend(CachedStatement& entry);

    std::string name_;
    std::string connectionString_;
    bool loginPrompt_ = true;
    std::chrono::milliseconds busyTimeout_{5000};
    sqlite3* db_ = nullptr;
    std::string filePath_;
    std::string displayPath_;
    // Most recently used first; small, since the program runs a handful of statement shapes.
    std::list<std::unique_ptr<CachedStatement>> cache_;
    // Lifted texts found not to behave exactly as their literal texts; prepared as written.
    std::vector<std::string> rejected_;
    LiftedSql lifted_;                      // scratch of Prepare, kept for its buffers
    StatementSource* preparing_ = nullptr;  // filled by the authorizer during a prepare
    TableNames* tablesRead_ = nullptr;      // likewise, every table read
};

}  // namespace telvora::logdb
