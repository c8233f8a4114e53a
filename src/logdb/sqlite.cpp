#include "logdb/sqlite.h"

#include <sqlite3.h>

#include <utility>

#include "platform/error.h"

namespace telvora::sqlite {

Database::Database(const std::filesystem::path& file, Mode mode) {
    const int flags = mode == Mode::ReadWriteCreate ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                    : SQLITE_OPEN_READWRITE;
    const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close_v2(db_);
        db_ = nullptr;
        throw Error(message);
    }
    sqlite3_extended_result_codes(db_, 1);
}

Database::~Database() {
    sqlite3_close_v2(db_);
}

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), lockedName_(std::move(other.lockedName_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(db_);
        db_ = std::exchange(other.db_, nullptr);
        lockedName_ = std::move(other.lockedName_);
    }
    return *this;
}

void Database::SetBusyTimeout(int milliseconds) {
    sqlite3_busy_timeout(db_, milliseconds);
}

void Database::Exec(std::string_view sql) {
    const std::string text(sql);
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        Raise(rc);
    }
}

std::string Database::Scalar(std::string_view sql) {
    Statement statement(*this, sql);
    return statement && statement.Step() ? statement.ColumnText(0) : std::string();
}

std::string Database::ErrorMessage() const {
    return db_ != nullptr ? sqlite3_errmsg(db_) : "the database is closed";
}

void Database::Raise(int code) const {
    const int primary = code & 0xff;
    if (!lockedName_.empty() && (primary == SQLITE_BUSY || primary == SQLITE_LOCKED)) {
        throw Error(Format("The database '%s' is locked by another program", lockedName_.c_str()));
    }
    throw Error(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
}

void Database::Close() {
    if (db_ != nullptr && sqlite3_close(db_) != SQLITE_OK) {
        Raise(sqlite3_errcode(db_));
    }
    db_ = nullptr;
}

// ---------------------------------------------------------------------------------------------

Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    const char* tail = nullptr;
    const int rc =
        sqlite3_prepare_v2(db.get(), sql.data(), static_cast<int>(sql.size()), &stmt_, &tail);
    if (rc != SQLITE_OK) {
        db.Raise(rc);
    }
    if (tail != nullptr) {
        tail_ = sql.substr(static_cast<std::size_t>(tail - sql.data()));
    }
}

Statement::~Statement() {
    sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), tail_(other.tail_) {}

Statement& Statement::Bind(int position, std::string_view text) {
    const int rc = sqlite3_bind_text(stmt_, position, text.data(), static_cast<int>(text.size()),
                                     SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) {
        db_.Raise(rc);
    }
    return *this;
}

Statement& Statement::Bind(int position, std::int64_t value) {
    const int rc = sqlite3_bind_int64(stmt_, position, value);
    if (rc != SQLITE_OK) {
        db_.Raise(rc);
    }
    return *this;
}

Statement& Statement::Bind(int position, double value) {
    const int rc = sqlite3_bind_double(stmt_, position, value);
    if (rc != SQLITE_OK) {
        db_.Raise(rc);
    }
    return *this;
}

Statement& Statement::BindNull(int position) {
    const int rc = sqlite3_bind_null(stmt_, position);
    if (rc != SQLITE_OK) {
        db_.Raise(rc);
    }
    return *this;
}

int Statement::ParameterCount() const {
    return sqlite3_bind_parameter_count(stmt_);
}

bool Statement::Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    db_.Raise(rc);
}

void Statement::Run() {
    while (Step()) {
    }
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}

namespace {

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

}  // namespace

std::string Statement::ColumnName(int column) const {
    return Text(sqlite3_column_name(stmt_, column));
}

Type Statement::ColumnType(int column) const {
    return static_cast<Type>(sqlite3_column_type(stmt_, column));
}

std::string Statement::ColumnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    return text != nullptr
               ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
               : std::string();
}

std::int64_t Statement::ColumnInt(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

double Statement::ColumnDouble(int column) const {
    return sqlite3_column_double(stmt_, column);
}

std::string Statement::ColumnDeclaredType(int column) const {
    return Text(sqlite3_column_decltype(stmt_, column));
}

std::string Statement::ColumnTable(int column) const {
    return Text(sqlite3_column_table_name(stmt_, column));
}

std::string Statement::ColumnOrigin(int column) const {
    return Text(sqlite3_column_origin_name(stmt_, column));
}

}  // namespace telvora::sqlite
