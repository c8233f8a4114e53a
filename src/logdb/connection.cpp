#include "logdb/connection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <utility>

#include "platform/error.h"
#include "platform/text.h"

namespace telvora::logdb {

namespace {

using platform::EqualsNoCase;

constexpr std::string_view kPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr std::string_view kSuffix = ";Persist Security Info=False";
constexpr size_t kCacheCapacity = 16;

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
// Lifting literals. A small scanner that follows the engine's tokenizer only as far as needed
// to know, for each single-quoted literal, which token stands before it.

namespace {

enum CharClass : unsigned char {
    kOther,
    kBlank,    // blanks the engine skips
    kIdStart,  // letters, "_" and every byte of a multi-byte character
    kDigit,
    kQuote,     // "'"
    kIdQuote,   // '"', '`', '['
    kQuestion,  // "?"
    kRefused,   // named markers, NUL and other control characters
    kSemicolon,
    kDash,
    kSlash,
};

constexpr std::array<CharClass, 256> kCharClasses = [] {
    std::array<CharClass, 256> table{};
    for (int c = 0; c < 0x20; ++c) {
        table[c] = kRefused;
    }
    table[0x7f] = kRefused;
    for (char c : {' ', '\t', '\n', '\f', '\r'}) {
        table[static_cast<unsigned char>(c)] = kBlank;
    }
    for (int c = 'a'; c <= 'z'; ++c) {
        table[c] = kIdStart;
        table[c - 'a' + 'A'] = kIdStart;
    }
    table['_'] = kIdStart;
    for (int c = 0x80; c < 0x100; ++c) {
        table[c] = kIdStart;
    }
    for (int c = '0'; c <= '9'; ++c) {
        table[c] = kDigit;
    }
    table['\''] = kQuote;
    table['"'] = table['`'] = table['['] = kIdQuote;
    table['?'] = kQuestion;
    table[':'] = table['@'] = table['$'] = table['#'] = kRefused;
    table[';'] = kSemicolon;
    table['-'] = kDash;
    table['/'] = kSlash;
    return table;
}();

CharClass ClassOf(char c) {
    return kCharClasses[static_cast<unsigned char>(c)];
}

bool IsIdChar(char c) {
    const CharClass k = ClassOf(c);
    return k == kIdStart || k == kDigit || c == '$';
}

// Skips blanks and comments from `i`; false on an unterminated block comment.
bool SkipBlanks(std::string_view sql, size_t& i) {
    while (i < sql.size()) {
        const CharClass k = ClassOf(sql[i]);
        if (k == kBlank) {
            ++i;
        } else if (k == kDash && i + 1 < sql.size() && sql[i + 1] == '-') {
            const size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (k == kSlash && i + 1 < sql.size() && sql[i + 1] == '*') {
            const size_t end = sql.find("*/", i + 2);
            if (end == std::string_view::npos) {
                return false;
            }
            i = end + 2;
        } else {
            break;
        }
    }
    return true;
}

// The end of the quoted token opening at `i` (a doubled quote stays inside); npos when it is
// never closed.
size_t QuotedEnd(std::string_view sql, size_t i) {
    const char close = sql[i] == '[' ? ']' : sql[i];
    for (size_t j = sql.find(close, i + 1); j != std::string_view::npos;
         j = sql.find(close, j + 2)) {
        if (close == ']' || j + 1 == sql.size() || sql[j + 1] != close) {
            return j + 1;
        }
    }
    return std::string_view::npos;
}

constexpr std::string_view kComparisons[] = {"=", "==", "<>", "!=", "<", "<=", ">", ">="};

void AppendMarker(std::string& out, int number) {
    char digits[16];
    const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, number);
    out += '?';
    out.append(digits, end);
}

}  // namespace

bool LiftStringLiterals(std::string_view sql, LiftedSql& out) {
    out.text.clear();
    out.ownParameters = 0;
    size_t literals = 0;
    // The spans replaced by a marker, in text order: the text's own "?" (literal == false)
    // and the lifted literals.
    struct Span {
        size_t begin, end;
        bool literal;
    };
    std::vector<Span> spans;
    spans.reserve(16);

    size_t i = 0;
    if (!SkipBlanks(sql, i)) {
        return false;
    }
    // Only queries: elsewhere a literal may stand where no parameter can (a default value, a
    // pragma), and a query's literals are what changes from one call to the next.
    if (!(sql.size() - i > 6 && EqualsNoCase(sql.substr(i, 6), "SELECT") &&
          !IsIdChar(sql[i + 6]))) {
        return false;
    }

    enum class Kind { None, Word, Operator, Other };
    Kind previous = Kind::None;
    std::string_view previousText;
    while (i < sql.size()) {
        const char c = sql[i];
        switch (ClassOf(c)) {
            case kBlank:
                ++i;
                break;
            case kQuote: {
                const size_t end = QuotedEnd(sql, i);
                if (end == std::string_view::npos) {
                    return false;
                }
                bool lift = false;
                if (previous == Kind::Operator) {
                    lift = std::find(std::begin(kComparisons), std::end(kComparisons),
                                     previousText) != std::end(kComparisons);
                } else if (previous == Kind::Word) {
                    lift = EqualsNoCase(previousText, "LIKE") || EqualsNoCase(previousText, "GLOB");
                }
                if (lift) {
                    // 'name'.column names a column; it is no literal.
                    size_t next = end;
                    if (!SkipBlanks(sql, next)) {
                        return false;
                    }
                    lift = next == sql.size() || sql[next] != '.';
                }
                if (lift) {
                    spans.push_back({i, end, true});
                    if (out.literals.size() <= literals) {
                        out.literals.resize(literals + 1);
                    }
                    std::string& value = out.literals[literals++];
                    value.assign(sql.substr(i + 1, end - i - 2));
                    // Undouble the quotes inside.
                    for (size_t q = value.find('\''); q != std::string::npos;
                         q = value.find('\'', q + 1)) {
                        value.erase(q, 1);
                    }
                }
                previous = Kind::Other;
                i = end;
                break;
            }
            case kIdQuote: {
                const size_t end = QuotedEnd(sql, i);
                if (end == std::string_view::npos) {
                    return false;
                }
                previous = Kind::Other;
                i = end;
                break;
            }
            case kQuestion:
                if (i + 1 < sql.size() && ClassOf(sql[i + 1]) == kDigit) {
                    return false;
                }
                spans.push_back({i, i + 1, false});
                ++out.ownParameters;
                previous = Kind::Other;
                ++i;
                break;
            case kRefused:
                return false;
            case kSemicolon:
                ++i;
                if (!SkipBlanks(sql, i) || i != sql.size()) {
                    return false;
                }
                break;
            case kIdStart: {
                if ((c == 'x' || c == 'X') && i + 1 < sql.size() && sql[i + 1] == '\'') {
                    const size_t end = QuotedEnd(sql, i + 1);  // a blob literal stays as it is
                    if (end == std::string_view::npos) {
                        return false;
                    }
                    previous = Kind::Other;
                    i = end;
                    break;
                }
                size_t end = i + 1;
                while (end < sql.size() && IsIdChar(sql[end])) {
                    ++end;
                }
                previous = Kind::Word;
                previousText = sql.substr(i, end - i);
                i = end;
                break;
            }
            case kDigit: {
                size_t end = i + 1;
                while (end < sql.size() && (IsIdChar(sql[end]) || sql[end] == '.' ||
                                            ((sql[end] == '+' || sql[end] == '-') &&
                                             (sql[end - 1] == 'e' || sql[end - 1] == 'E')))) {
                    ++end;
                }
                previous = Kind::Other;
                i = end;
                break;
            }
            case kDash:
            case kSlash:
            case kOther: {
                const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
                if ((c == '-' && next == '-') || (c == '/' && next == '*')) {
                    if (!SkipBlanks(sql, i)) {
                        return false;
                    }
                    break;
                }
                // The operators the engine reads as one token of two or three characters.
                size_t length = 1;
                if ((c == '<' && (next == '=' || next == '>' || next == '<')) ||
                    (c == '>' && (next == '=' || next == '>')) ||
                    ((c == '=' || c == '!') && next == '=') || (c == '|' && next == '|')) {
                    length = 2;
                } else if (c == '-' && next == '>') {
                    length = i + 2 < sql.size() && sql[i + 2] == '>' ? 3 : 2;
                }
                previous = Kind::Operator;
                previousText = sql.substr(i, length);
                i += length;
                break;
            }
        }
    }
    if (literals == 0) {
        return false;
    }
    out.literals.resize(literals);

    // The text's own markers keep their order as ?1..?n; the literals follow.
    out.text.reserve(sql.size() + 4 * spans.size());
    size_t copied = 0;
    int own = 0;
    int lifted = out.ownParameters;
    for (const Span& span : spans) {
        out.text.append(sql.substr(copied, span.begin - copied));
        AppendMarker(out.text, span.literal ? ++lifted : ++own);
        copied = span.end;
    }
    out.text.append(sql.substr(copied));
    return true;
}

// ---------------------------------------------------------------------------------------------

struct Connection::CachedStatement {
    CachedStatement() = default;
    CachedStatement(const CachedStatement&) = delete;
    CachedStatement& operator=(const CachedStatement&) = delete;
    ~CachedStatement() { sqlite3_finalize(stmt); }

    std::string sql;      // the text prepared: the caller's, or the lifted one
    bool lifted = false;  // whether `sql` is a lifted text, bound with `literals`
    sqlite3_stmt* stmt = nullptr;
    StatementSource source;
    int ownParameters = 0;
    std::vector<std::string> literals;  // bound while lent out
    bool inUse = false;
};

PreparedStatement::PreparedStatement(PreparedStatement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)),
      source_(std::exchange(other.source_, nullptr)),
      parameterCount_(std::exchange(other.parameterCount_, 0)),
      inUse_(std::exchange(other.inUse_, nullptr)) {}

PreparedStatement& PreparedStatement::operator=(PreparedStatement&& other) noexcept {
    if (this != &other) {
        Release();
        stmt_ = std::exchange(other.stmt_, nullptr);
        source_ = std::exchange(other.source_, nullptr);
        parameterCount_ = std::exchange(other.parameterCount_, 0);
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
    parameterCount_ = 0;
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

void Connection::Close() {
    if (db_ == nullptr) {
        return;
    }
    cache_.clear();
    rejected_.clear();
    sqlite3_close_v2(db_);
    db_ = nullptr;
    filePath_.clear();
    displayPath_.clear();
}

int Connection::Authorize(void* self, int action, const char* table, const char*,
                          const char* database, const char*) {
    auto* connection = static_cast<Connection*>(self);
    if (TableNames* tables = connection->tablesRead_;
        tables != nullptr && action == SQLITE_READ && table != nullptr) {
        std::pair<std::string, std::string> name(database != nullptr ? database : "", table);
        if (std::find(tables->begin(), tables->end(), name) == tables->end()) {
            tables->push_back(std::move(name));
        }
    }
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

Connection::CachedStatement* Connection::FindCached(const std::string& sql, bool lifted) {
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        CachedStatement& entry = **it;
        if (!entry.inUse && entry.lifted == lifted && entry.sql == sql) {
            cache_.splice(cache_.begin(), cache_, it);
            return &entry;
        }
    }
    return nullptr;
}

std::unique_ptr<Connection::CachedStatement> Connection::PrepareText(const std::string& sql) {
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
        return entry;
    }
    // One statement per text: whatever follows the first one is refused rather than dropped.
    const char* end = sql.c_str() + sql.size();
    while (tail != nullptr && tail < end) {
        sqlite3_stmt* extra = nullptr;
        const char* next = nullptr;
        rc = sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &extra, &next);
        sqlite3_finalize(extra);
        if (rc != SQLITE_OK || extra != nullptr) {
            throw Error("Characters found after end of SQL statement");
        }
        if (next == tail) {
            break;
        }
        tail = next;
    }
    entry->ownParameters = sqlite3_bind_parameter_count(entry->stmt);
    return entry;
}

namespace {

bool SameText(const char* a, const char* b) {
    return (a == nullptr || b == nullptr) ? a == b : std::strcmp(a, b) == 0;
}

// Whether two prepared statements describe their results alike: a lifted literal inside a
// result column's expression would show in the column's name.
bool SameColumns(sqlite3_stmt* a, sqlite3_stmt* b) {
    const int count = sqlite3_column_count(a);
    if (count != sqlite3_column_count(b)) {
        return false;
    }
    for (int c = 0; c < count; ++c) {
        if (!SameText(sqlite3_column_name(a, c), sqlite3_column_name(b, c)) ||
            !SameText(sqlite3_column_decltype(a, c), sqlite3_column_decltype(b, c)) ||
            !SameText(sqlite3_column_database_name(a, c), sqlite3_column_database_name(b, c)) ||
            !SameText(sqlite3_column_table_name(a, c), sqlite3_column_table_name(b, c)) ||
            !SameText(sqlite3_column_origin_name(a, c), sqlite3_column_origin_name(b, c))) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Virtual tables are told the values of their constraints while the engine plans (and a bound
// parameter has none then), so their plans may differ; only ordinary tables pass. A table read
// without a schema name (the engine reports FROM items so) must be ordinary in every schema.
std::optional<bool> Connection::AllOrdinaryTables(const TableNames& tables) {
    if (tables.empty()) {
        return true;
    }
    sqlite3_stmt* stmt = nullptr;
    constexpr const char* kSql =
        "SELECT type FROM pragma_table_list WHERE name = ?1 COLLATE NOCASE "
        "AND (?2 = '' OR schema = ?2 COLLATE NOCASE)";
    if (sqlite3_prepare_v2(db_, kSql, -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return std::nullopt;
    }
    bool ordinary = true;
    bool answered = true;
    for (auto it = tables.begin(); ordinary && it != tables.end(); ++it) {
        const auto& [database, table] = *it;
        sqlite3_reset(stmt);
        sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, database.data(), static_cast<int>(database.size()),
                          SQLITE_STATIC);
        int rows = 0;
        int rc = SQLITE_ROW;
        while (ordinary && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
            ordinary = type != nullptr &&
                       (std::strcmp(type, "table") == 0 || std::strcmp(type, "shadow") == 0);
            ++rows;
        }
        answered = ordinary ? rc == SQLITE_DONE : answered;
        ordinary = ordinary && answered && rows > 0;
    }
    sqlite3_finalize(stmt);
    if (!answered) {
        return std::nullopt;  // say nothing on a lock or a failed look-up
    }
    return ordinary;
}

void Connection::Reject(const std::string& liftedText) {
    if (rejected_.size() >= kCacheCapacity) {
        rejected_.erase(rejected_.begin());
    }
    rejected_.push_back(liftedText);
}

// Prepares the lifted text of `sql` (in lifted_). The first time a lifted text is seen it is
// checked against the statement prepared from `sql` itself: same result columns, same tables.
// Returns that literal statement instead when the two differ (or the lifted text does not
// prepare), and remembers the lifted text as one to leave alone; a lock held by another
// program proves nothing, so then it is only left alone this once.
std::unique_ptr<Connection::CachedStatement> Connection::PrepareLifted(const std::string& sql) {
    auto entry = std::make_unique<CachedStatement>();
    entry->sql = lifted_.text;
    entry->lifted = true;
    entry->ownParameters = lifted_.ownParameters;
    TableNames tables;
    const char* tail = nullptr;
    preparing_ = &entry->source;
    tablesRead_ = &tables;
    const int rc = sqlite3_prepare_v3(db_, entry->sql.c_str(), static_cast<int>(entry->sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &entry->stmt, &tail);
    preparing_ = nullptr;
    tablesRead_ = nullptr;
    const int literals = static_cast<int>(lifted_.literals.size());
    bool undecided = (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
    bool usable = rc == SQLITE_OK && entry->stmt != nullptr &&
                  tail == entry->sql.c_str() + entry->sql.size() &&
                  sqlite3_bind_parameter_count(entry->stmt) == entry->ownParameters + literals;
    if (usable) {
        const std::optional<bool> ordinary = AllOrdinaryTables(tables);
        undecided = !ordinary.has_value();
        usable = ordinary.value_or(false);
    }

    std::unique_ptr<CachedStatement> literal = PrepareText(sql);
    usable = usable && literal->stmt != nullptr && literal->ownParameters == entry->ownParameters &&
             literal->source.tablesRead == entry->source.tablesRead &&
             literal->source.database == entry->source.database &&
             literal->source.table == entry->source.table &&
             SameColumns(entry->stmt, literal->stmt);
    if (!usable) {
        if (!undecided) {
            Reject(entry->sql);
        }
        return literal;
    }
    return entry;
}

Connection::CachedStatement& Connection::Keep(std::unique_ptr<CachedStatement> entry) {
    // Evict the least recently used statements that are not lent out.
    for (auto it = cache_.end(); cache_.size() >= kCacheCapacity && it != cache_.begin();) {
        --it;
        if (!(*it)->inUse) {
            it = cache_.erase(it);
        }
    }
    cache_.push_front(std::move(entry));
    return *cache_.front();
}

PreparedStatement Connection::Lend(CachedStatement& entry) {
    PreparedStatement lease;
    lease.stmt_ = entry.stmt;
    lease.source_ = &entry.source;
    lease.parameterCount_ = entry.ownParameters;
    lease.inUse_ = &entry.inUse;
    entry.inUse = true;
    if (entry.lifted) {
        // The values stay in the entry, untouched while it is lent out.
        entry.literals.swap(lifted_.literals);
        for (size_t i = 0; i < entry.literals.size(); ++i) {
            const std::string& value = entry.literals[i];
            const int rc =
                sqlite3_bind_text(entry.stmt, entry.ownParameters + 1 + static_cast<int>(i),
                                  value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
            if (rc != SQLITE_OK) {
                RaiseEngineError(rc);
            }
        }
    }
    return lease;
}

PreparedStatement Connection::Prepare(const std::string& sql) {
    if (db_ == nullptr) {
        throw Error(Format("%s: The connection is not open", name_.c_str()));
    }
    // Texts that differ only in their literals share a statement; binding the literals costs far
    // less than preparing each text afresh.
    if (LiftStringLiterals(sql, lifted_) &&
        std::find(rejected_.begin(), rejected_.end(), lifted_.text) == rejected_.end()) {
        if (CachedStatement* entry = FindCached(lifted_.text, true)) {
            return Lend(*entry);
        }
        std::unique_ptr<CachedStatement> entry = PrepareLifted(sql);
        return entry->stmt != nullptr ? Lend(Keep(std::move(entry))) : PreparedStatement();
    }
    if (CachedStatement* entry = FindCached(sql, false)) {
        return Lend(*entry);
    }
    std::unique_ptr<CachedStatement> entry = PrepareText(sql);
    if (entry->stmt == nullptr) {
        return {};
    }
    return Lend(Keep(std::move(entry)));
}

}  // namespace telvora::logdb
