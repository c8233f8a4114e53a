// SQLite owned the RAII way: a Database closes its connection and a Statement finalises itself,
// whatever path leaves the scope. The one pair that the SQLite engine, the sample-logger tool,
// the tests and the benchmark all use. <sqlite3.h> stays out of this header.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace telvora::sqlite {

// Storage classes, as sqlite3_column_type reports them.
enum class Type { Integer = 1, Float = 2, Text = 3, Blob = 4, Null = 5 };

class Database {
  public:
    enum class Mode { ReadWrite, ReadWriteCreate };

    // Opens the file (never as a URI). Throws telvora::Error with the engine's message.
    Database(const std::filesystem::path& file, Mode mode);
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* get() const { return db_; }

    // How long a statement waits for another program's lock.
    void SetBusyTimeout(int milliseconds);
    // When set, a failure caused by another program's lock says "The database '<name>' is
    // locked by another program" instead of the engine's terse message.
    void SetLockedName(std::string name) { lockedName_ = std::move(name); }

    // Runs one or more statements that return nothing of interest.
    void Exec(std::string_view sql);
    // The first column of the first row of `sql` as text; empty when it yields no row.
    std::string Scalar(std::string_view sql);

    // The engine's message for the last failure, and the exception for a failed call.
    std::string ErrorMessage() const;
    [[noreturn]] void Raise(int code) const;

    // Closes now (the destructor does it otherwise); a failure raises the engine's message.
    void Close();

  private:
    sqlite3* db_ = nullptr;
    std::string lockedName_;
};

class Statement {
  public:
    // Prepares the first statement of `sql`; the text after it is left in Tail(). A text that
    // holds no statement (blanks, comments) gives an empty Statement. Throws on engine errors.
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    std::string_view Tail() const { return tail_; }

    Statement& Bind(int position, std::string_view text);
    Statement& Bind(int position, std::int64_t value);
    Statement& Bind(int position, double value);
    Statement& BindNull(int position);
    int ParameterCount() const;

    // True with a row to read, false when done. Throws on failure.
    bool Step();
    // Steps to the end; for statements that return no rows.
    void Run();
    // Ready to run again with new bindings.
    void Reset();

    int ColumnCount() const;
    std::string ColumnName(int column) const;
    Type ColumnType(int column) const;
    std::string ColumnText(int column) const;
    std::int64_t ColumnInt(int column) const;
    double ColumnDouble(int column) const;
    // The declared type of a result column that is a column of a table ("" otherwise), and that
    // table's and column's names ("" when the result column is an expression).
    std::string ColumnDeclaredType(int column) const;
    std::string ColumnTable(int column) const;
    std::string ColumnOrigin(int column) const;

  private:
    Database& db_;
    sqlite3_stmt* stmt_ = nullptr;
    std::string_view tail_;
};

}  // namespace telvora::sqlite
