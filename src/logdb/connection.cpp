#include "logdb/connection.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

#include "platform/error.h"

namespace telvora::logdb {

namespace {

constexpr std::string_view kPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr std::string_view kSuffix = ";Persist Security Info=False";
constexpr size_t kCacheCapacity = 16;

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Enclose(const std::string& value, char quote) {
    std::string out(1, quote);
    for (char c : value) {
        out += c;
        if (c == quote) {
            out += quote;
        }
    }
    out += quote;
    return out;
}

// The path as the engine's file layer takes it: Windows separators become "/", and a relative
// name that SQLite would read as a URI ("file:...") is anchored to the current folder.
std::string EnginePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.rfind("file:", 0) == 0) {
        path.insert(0, "./");
    }
    return path;
}

std::string DisplayPath(const std::string& enginePath) {
    if (enginePath.empty()) {
        return enginePath;
    }
    std::error_code ec;
    auto absolute = std::filesystem::absolute(enginePath, ec);
    return ec ? enginePath : absolute.lexically_normal().string();
}

}  // namespace

std::string BuildConnectionString(const std::string& path) {
    std::string value = path;
    // A value whose first non-blank character is a quote would be read back as quoted.
    const size_t first = path.find_first_not_of(" \t");
    const bool needsQuotes =
        path.find(';') != std::string::npos ||
        (first != std::string::npos && (path[first] == '"' || path[first] == '\''));
    if (needsQuotes) {
        if (path.find('"') == std::string::npos) {
            value = Enclose(path, '"');
        } else if (path.find('\'') == std::string::npos) {
            value = Enclose(path, '\'');
        } else {
            value = Enclose(path, '"');
        }
    }
    std::string out;
    out.reserve(kPrefix.size() + value.size() + kSuffix.size());
    out.append(kPrefix).append(value).append(kSuffix);
    return out;
}

std::optional<std::string> ParseDataSource(std::string_view text) {
    std::optional<std::string> found;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eq = text.find('=', pos);
        const size_t semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A part without "=": only blanks are tolerated (e.g. a trailing ";").
            const size_t end = semi == std::string_view::npos ? text.size() : semi;
            if (!Trim(text.substr(pos, end - pos)).empty()) {
                return std::nullopt;
            }
            pos = end + 1;
            continue;
        }
        const std::string_view key = Trim(text.substr(pos, eq - pos));
        size_t cursor = eq + 1;
        while (cursor < text.size() && (text[cursor] == ' ' || text[cursor] == '\t')) {
            ++cursor;
        }
        std::string value;
        if (cursor < text.size() && (text[cursor] == '"' || text[cursor] == '\'')) {
            const char quote = text[cursor++];
            bool closed = false;
            while (cursor < text.size()) {
                if (text[cursor] == quote) {
                    if (cursor + 1 < text.size() && text[cursor + 1] == quote) {
                        value += quote;
                        cursor += 2;
                        continue;
                    }
                    ++cursor;
                    closed = true;
                    break;
                }
                value += text[cursor++];
            }
            if (!closed) {
                return std::nullopt;
            }
            while (cursor < text.size() && std::isspace(static_cast<unsigned char>(text[cursor]))) {
                ++cursor;
            }
            if (cursor < text.size() && text[cursor] != ';') {
                return std::nullopt;
            }
        } else {
            // Unquoted values run to the next ";" exactly as written: a path may begin or end
            // with blanks.
            const size_t end = semi == std::string_view::npos ? text.size() : semi;
            value.assign(text.substr(eq + 1, end - eq - 1));
            cursor = end;
        }
        if (EqualsNoCase(key, "Data Source")) {
            found = std::move(value);
        }
        pos = cursor + 1;
    }
    return found;
}

// ---------------------------------------------------------------------------------------------

struct Connection::CachedStatement {
    std::string sql;
    sqlite3_stmt* stmt = nullptr;
    StatementSource source;
    bool inUse = false;
};

PreparedStatement::PreparedStatement(PreparedStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)),
      source_(std::exchange(other.source_, nullptr)),
      inUse_(std::exchange(other.inUse_, nullptr)) {}

PreparedStatement& PreparedStatement::operator=(PreparedStatement&& other) noexcept {
    if (this != &other) {
        Release();
        stmt_ = std::exchange(other.stmt_, nullptr);
        source_ = std::exchange(other.source_, nullptr);
        inUse_ = std::exchange(other.inUse_, nullptr);
    }
    return *this;
}

PreparedStatement::~PreparedStatement() {
    Release();
}

void PreparedStatement::Release() {
    if (stmt_ != nullptr) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        if (inUse_ != nullptr) {
            *inUse_ = false;
        }
    }
    stmt_ = nullptr;
    source_ = nullptr;
    inUse_ = nullptr;
}

Connection::Connection(std::string name) : name_(std::move(name)) {}

Connection::~Connection() {
    Close();
}

void Connection::SetConnectionString(std::string text) {
    if (Connected()) {
        throw Error(
            Format("%s: Operation is not allowed when the connection is open", name_.c_str()));
    }
    connectionString_ = std::move(text);
}

void Connection::SetBusyTimeout(std::chrono::milliseconds timeout) {
    busyTimeout_ = timeout;
    if (db_ != nullptr) {
        sqlite3_busy_timeout(db_, static_cast<int>(busyTimeout_.count()));
    }
}

void Connection::Open() {
    if (Connected()) {
        return;
    }
    const std::optional<std::string> source = ParseDataSource(connectionString_);
    if (!source) {
        throw Error(Format("%s: The connection string names no database file", name_.c_str()));
    }
    const std::string path = EnginePath(*source);
    const std::string display = DisplayPath(path);

    // SQLite would report a missing file only as "unable to open database file"; say which.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (path.empty() || !std::filesystem::exists(status)) {
        throw Error(Format("Could not find file '%s'", display.c_str()));
    }
    if (std::filesystem::is_directory(status)) {
        throw Error(Format("'%s' is a folder, not a database file", display.c_str()));
    }

    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close_v2(db);
        throw Error(Format("Cannot open database '%s': %s", display.c_str(), message.c_str()));
    }
    db_ = db;
    filePath_ = path;
    displayPath_ = display;
    try {
        ConfigureOpened(display);
    } catch (...) {
        Close();
        throw;
    }
}

void Connection::ConfigureOpened(const std::string& display) {
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, static_cast<int>(busyTimeout_.count()));
    // The awards statement delimits its LIKE pattern with double quotes; keep SQLite reading a
    // double-quoted word that names no column as a string, whatever the build's default.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 1, nullptr);

    // SQLite reads the file only when it first needs to; read the schema now, so that a file
    // that is no database (or is locked) fails here with its name rather than at the first
    // statement.
    auto run = [&](const char* sql, std::string* firstValue) {
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                if (firstValue != nullptr) {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
                    *firstValue = text != nullptr ? text : "";
                }
                rc = SQLITE_OK;
            } else if (rc == SQLITE_DONE) {
                rc = SQLITE_OK;
            }
        }
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_finalize(stmt);
        if (rc == SQLITE_OK) {
            return;
        }
        switch (rc & 0xff) {
            case SQLITE_NOTADB:
                throw Error(Format("The file '%s' is not a database", display.c_str()));
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
                throw Error(
                    Format("The database '%s' is locked by another program", display.c_str()));
            case SQLITE_CORRUPT:
                throw Error(
                    Format("The database '%s' is damaged: %s", display.c_str(), message.c_str()));
            default:
                throw Error(
                    Format("Cannot open database '%s': %s", display.c_str(), message.c_str()));
        }
    };
    run("SELECT count(*) FROM sqlite_master", nullptr);

    // Never change the file's journal mode; only make WAL commits cheaper, which is safe there.
    std::string journalMode;
    run("PRAGMA journal_mode", &journalMode);
    if (EqualsNoCase(journalMode, "wal")) {
        run("PRAGMA synchronous=NORMAL", nullptr);
    }
    // The contact search visits rows all over a log of many thousand contacts; a page cache of
    // 16 MB (instead of 2 MB) keeps a run's repeated lookups off the disk. Per connection only.
    run("PRAGMA cache_size=-16384", nullptr);

    sqlite3_set_authorizer(db_, &Connection::Authorize, this);
}

void Connection::FinalizeCache() {
    for (auto& entry : cache_) {
        sqlite3_finalize(entry->stmt);
    }
    cache_.clear();
}

void Connection::Close() {
    if (db_ == nullptr) {
        return;
    }
    FinalizeCache();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    filePath_.clear();
    displayPath_.clear();
}

int Connection::Authorize(void* self, int action, const char* table, const char*,
                          const char* database, const char*) {
    auto* connection = static_cast<Connection*>(self);
    StatementSource* source = connection->preparing_;
    if (source != nullptr && action == SQLITE_READ && table != nullptr) {
        const std::string db = database != nullptr ? database : "";
        if (source->tablesRead == 0) {
            source->tablesRead = 1;
            source->database = db;
            source->table = table;
        } else if (source->tablesRead == 1 &&
                   !(EqualsNoCase(source->table, table) && source->database == db)) {
            source->tablesRead = 2;
            source->table.clear();
            source->database.clear();
        }
    }
    return SQLITE_OK;
}

void Connection::RaiseEngineError(int code) const {
    if (db_ != nullptr && ((code & 0xff) == SQLITE_BUSY || (code & 0xff) == SQLITE_LOCKED)) {
        throw Error(Format("The database '%s' is locked by another program", displayPath_.c_str()));
    }
    throw Error(db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code));
}

PreparedStatement Connection::Prepare(const std::string& sql) {
    if (db_ == nullptr) {
        throw Error(Format("%s: The connection is not open", name_.c_str()));
    }
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        CachedStatement& entry = **it;
        if (!entry.inUse && entry.sql == sql) {
            cache_.splice(cache_.begin(), cache_, it);
            entry.inUse = true;
            PreparedStatement lease(entry.stmt, &entry.source);
            lease.inUse_ = &entry.inUse;
            return lease;
        }
    }

    auto entry = std::make_unique<CachedStatement>();
    entry->sql = sql;
    const char* tail = nullptr;
    preparing_ = &entry->source;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &entry->stmt, &tail);
    preparing_ = nullptr;
    if (rc != SQLITE_OK) {
        RaiseEngineError(rc);
    }
    if (entry->stmt == nullptr) {
        return {};
    }
    // One statement per text: whatever follows the first one is refused rather than dropped.
    const char* end = sql.c_str() + sql.size();
    while (tail != nullptr && tail < end) {
        sqlite3_stmt* extra = nullptr;
        const char* next = nullptr;
        rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &extra, &next);
        sqlite3_finalize(extra);
        if (rc != SQLITE_OK || extra != nullptr) {
            sqlite3_finalize(entry->stmt);
            throw Error("Characters found after end of SQL statement");
        }
        if (next == tail) {
            break;
        }
        tail = next;
    }

    // Evict the least recently used statements that are not lent out.
    for (auto it = cache_.end(); cache_.size() >= kCacheCapacity && it != cache_.begin();) {
        --it;
        if (!(*it)->inUse) {
            sqlite3_finalize((*it)->stmt);
            it = cache_.erase(it);
        }
    }
    entry->inUse = true;
    PreparedStatement lease(entry->stmt, &entry->source);
    lease.inUse_ = &entry->inUse;
    cache_.push_front(std::move(entry));
    return lease;
}

}  // namespace telvora::logdb
