// The SQLite engine: the logger's ".mdb" files are SQLite databases here. Each statement is
// prepared as its text stands, run once and finalised: nothing is prepared or cached across
// executions.
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string_view>
#include <utility>

#include "logdb/engine.h"
#include "logdb/sqlite.h"
#include "platform/error.h"
#include "platform/text.h"

namespace telvora::logdb {
namespace {

using platform::EqualsNoCase;

// The path as the engine's file layer takes it: Windows separators become "/", and a relative
// name that SQLite would read as a URI ("file:...") is anchored to the current folder.
std::string EnginePath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.rfind("file:", 0) == 0) {
        path.insert(0, "./");
    }
    return path;
}

// The declared type as the conversions of an appended row read it: SQLite's affinity rules,
// with the Access type names that the logger's files may carry read the way Access means them.
ColumnType TypeOfDeclared(std::string declared) {
    for (char& c : declared) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const auto has = [&](const char* word) { return declared.find(word) != std::string::npos; };
    ColumnType type;
    if (has("INT")) {
        type.kind = ColumnKind::Integer;
    } else if (has("CHAR") || has("CLOB") || has("TEXT") || has("MEMO") || has("GUID")) {
        type.kind = ColumnKind::Text;
        const std::size_t open = declared.find('(');
        if (open != std::string::npos) {
            const char* begin = declared.data() + open + 1;
            const char* end = declared.data() + declared.size();
            while (begin < end && *begin == ' ') {
                ++begin;
            }
            std::size_t length = 0;
            const auto [stop, ec] = std::from_chars(begin, end, length);
            if (ec == std::errc() && stop != begin) {
                type.maxLength = length;
            }
        }
    } else if (declared.empty() || has("BLOB") || has("BINARY")) {
        type.kind = ColumnKind::Any;
    } else if (has("REAL") || has("FLOA") || has("DOUB") || has("SINGLE")) {
        type.kind = ColumnKind::Float;
    } else if (has("DATE") || has("TIME")) {
        type.kind = ColumnKind::Date;
    } else if (has("LONG") || has("BYTE") || has("COUNTER") || has("YESNO") || has("BIT") ||
               has("BOOL")) {
        type.kind = ColumnKind::Integer;
    } else if (has("NUMERIC") || has("DECIMAL") || has("NUMBER") || has("MONEY") ||
               has("CURRENCY")) {
        type.kind = ColumnKind::Float;
    }
    return type;
}

}  // namespace

std::vector<std::size_t> MarkerOffsets(std::string_view sql) {
    std::vector<std::size_t> markers;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            std::size_t end = sql.find(close, i + 1);
            // A doubled quote stays inside the literal.
            while (close != ']' && end != std::string_view::npos && end + 1 < sql.size() &&
                   sql[end + 1] == close) {
                end = sql.find(close, end + 2);
            }
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            const std::size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else {
            if (c == '?') {
                markers.push_back(i);
            }
            ++i;
        }
    }
    return markers;
}

namespace {

// The "=" that directly precedes the marker at `marker` (blanks between allowed), as a lone
// comparison and not part of "<=", ">=", "!=" or "=="; npos when there is none.
std::size_t EqualsBefore(std::string_view sql, std::size_t marker) {
    std::size_t i = marker;
    while (i > 0 &&
           (sql[i - 1] == ' ' || sql[i - 1] == '\t' || sql[i - 1] == '\r' || sql[i - 1] == '\n')) {
        --i;
    }
    if (i == 0 || sql[i - 1] != '=') {
        return std::string_view::npos;
    }
    const std::size_t eq = i - 1;
    if (eq > 0 &&
        (sql[eq - 1] == '<' || sql[eq - 1] == '>' || sql[eq - 1] == '!' || sql[eq - 1] == '=')) {
        return std::string_view::npos;
    }
    return eq;
}

// A statement with its "?" markers and the values bound to them.
struct BoundStatement {
    std::string text;
    std::vector<Value> values;
};

// SQLite keeps no date type: a file may hold a date as text with or without its time of day,
// or as a day count. A date-time parameter compared with "=" is therefore compared with each
// of its forms ("= ?" becomes "IN (?, ?, ...)"), so that the same moment matches however it
// is stored, and nothing wider does.
BoundStatement ExpandDateComparisons(const std::string& text, const std::vector<Value>& params) {
    BoundStatement out;
    const std::vector<std::size_t> markers = MarkerOffsets(text);
    std::size_t copied = 0;
    for (std::size_t m = 0; m < markers.size(); ++m) {
        const Value value = m < params.size() ? params[m] : Value{};
        const auto* moment = std::get_if<telvora::DateTime>(&value);
        const std::size_t eq =
            moment != nullptr ? EqualsBefore(text, markers[m]) : std::string_view::npos;
        if (eq == std::string_view::npos) {
            out.text.append(text, copied, markers[m] + 1 - copied);
            out.values.push_back(value);
            copied = markers[m] + 1;
            continue;
        }
        std::vector<Value> forms{FormatDateTime(*moment), ToDayCount(*moment)};
        if (*moment == telvora::DateTime{std::chrono::floor<std::chrono::days>(*moment)}) {
            // A whole day also as a bare date, and as a whole number for a text column, which
            // holds day counts as the text they were written in ("45418" or "45418.0").
            forms.emplace_back(FormatDateTime(*moment).substr(0, 10));
            forms.emplace_back(static_cast<std::int64_t>(ToDayCount(*moment)));
        }
        out.text.append(text, copied, eq - copied);
        out.text += " IN (";
        for (std::size_t f = 0; f < forms.size(); ++f) {
            out.text += f == 0 ? "?" : ", ?";
            out.values.push_back(std::move(forms[f]));
        }
        out.text += ')';
        copied = markers[m] + 1;
    }
    out.text.append(text, copied);
    return out;
}

void BindValue(sqlite::Statement& statement, int position, const Value& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        statement.Bind(position, std::string_view(*text));
    } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
        statement.Bind(position, *number);
    } else if (const auto* real = std::get_if<double>(&value)) {
        statement.Bind(position, *real);
    } else if (const auto* moment = std::get_if<telvora::DateTime>(&value)) {
        statement.Bind(position, std::string_view(FormatDateTime(*moment)));
    } else {
        statement.BindNull(position);
    }
}

class SqliteEngine : public Engine {
  public:
    explicit SqliteEngine(sqlite::Database db) : db_(std::move(db)) {
        sqlite3_set_authorizer(db_.get(), &SqliteEngine::Authorize, this);
    }

    std::optional<Result> Execute(const std::string& text,
                                  const std::vector<Value>& parameters) override {
        const BoundStatement bound = ExpandDateComparisons(text, parameters);
        tablesRead_.clear();
        collecting_ = true;
        struct StopCollecting {
            bool& flag;
            ~StopCollecting() { flag = false; }
        } stop{collecting_};

        sqlite::Statement statement(db_, bound.text);
        if (!statement) {
            return std::nullopt;
        }
        RefuseMoreStatements(statement.Tail());
        const int markers =
            std::min<int>(statement.ParameterCount(), static_cast<int>(bound.values.size()));
        for (int i = 0; i < markers; ++i) {
            BindValue(statement, i + 1, bound.values[static_cast<std::size_t>(i)]);
        }

        // The first step may prepare the statement again (another program changed the
        // schema), so the columns are described after it.
        bool row = statement.Step();
        Result result;
        const int count = statement.ColumnCount();
        result.columns.reserve(static_cast<std::size_t>(count));
        for (int c = 0; c < count; ++c) {
            result.columns.push_back({statement.ColumnName(c), statement.ColumnOrigin(c),
                                      TypeOfDeclared(statement.ColumnDeclaredType(c))});
        }
        for (; row; row = statement.Step()) {
            for (int c = 0; c < count; ++c) {
                result.cells.push_back(Cell(statement, c));
            }
            ++result.rows;
        }
        result.table = SingleTable(statement, result.columns);
        return result;
    }

    void Insert(const std::string& table, const std::vector<std::string>& columns,
                const std::vector<Value>& values) override {
        std::string sql = "INSERT INTO " + platform::QuoteDoubled(table, '"');
        if (columns.empty()) {
            sql += " DEFAULT VALUES";
        } else {
            std::string markers;
            sql += " (";
            for (std::size_t i = 0; i < columns.size(); ++i) {
                sql += (i == 0 ? "" : ", ") + platform::QuoteDoubled(columns[i], '"');
                markers += i == 0 ? "?" : ", ?";
            }
            sql += ") VALUES (" + markers + ")";
        }
        sqlite::Statement statement(db_, sql);
        for (std::size_t i = 0; i < values.size(); ++i) {
            BindValue(statement, static_cast<int>(i + 1), values[i]);
        }
        statement.Run();
    }

    std::string PrefixPattern(std::string_view text) const override {
        return LikePrefixLiteral(text, LikeEscape::Backslash);
    }

    std::string TableName(std::string_view stored) const override {
        bool bare = !stored.empty() &&
                    sqlite3_keyword_check(stored.data(), static_cast<int>(stored.size())) == 0;
        for (size_t i = 0; bare && i < stored.size(); ++i) {
            const auto c = static_cast<unsigned char>(stored[i]);
            const bool letter =
                (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
            bare = letter || (i > 0 && c >= '0' && c <= '9');
        }
        return bare ? std::string(stored) : platform::QuoteDoubled(stored, '"');
    }

  private:
    // Called for every column a statement reads while it is prepared: notes each table once.
    static int Authorize(void* self, int action, const char* table, const char*,
                         const char* database, const char*) {
        auto* engine = static_cast<SqliteEngine*>(self);
        if (!engine->collecting_ || action != SQLITE_READ || table == nullptr) {
            return SQLITE_OK;
        }
        const std::string_view schema = database != nullptr ? database : "";
        const bool known = std::any_of(
            engine->tablesRead_.begin(), engine->tablesRead_.end(), [&](const auto& read) {
                return EqualsNoCase(read.second, table) && EqualsNoCase(read.first, schema);
            });
        if (!known) {
            engine->tablesRead_.emplace_back(schema, table);
        }
        return SQLITE_OK;
    }

    // One statement per text: whatever follows the first one is refused rather than dropped.
    void RefuseMoreStatements(std::string_view tail) {
        constexpr const char* kMore = "Characters found after end of SQL statement";
        while (!tail.empty()) {
            std::optional<sqlite::Statement> extra;
            try {
                extra.emplace(db_, tail);
            } catch (const Error&) {
                throw Error(kMore);
            }
            if (*extra) {
                throw Error(kMore);
            }
            if (extra->Tail().size() == tail.size()) {
                break;
            }
            tail = extra->Tail();
        }
    }

    static Value Cell(const sqlite::Statement& statement, int column) {
        switch (statement.ColumnType(column)) {
            case sqlite::Type::Integer:
                return statement.ColumnInt(column);
            case sqlite::Type::Float:
                return statement.ColumnDouble(column);
            case sqlite::Type::Text:
            case sqlite::Type::Blob:
                return statement.ColumnText(column);
            case sqlite::Type::Null:
                break;
        }
        return std::monostate{};
    }

    // New rows can go back only where the statement reads one table and every column comes
    // straight from it.
    std::string SingleTable(const sqlite::Statement& statement,
                            const std::vector<ResultColumn>& columns) const {
        if (tablesRead_.size() != 1 || columns.empty()) {
            return {};
        }
        const std::string table = statement.ColumnTable(0);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            if (columns[c].origin.empty() ||
                !EqualsNoCase(statement.ColumnTable(static_cast<int>(c)), table)) {
                return {};
            }
        }
        return table;
    }

    sqlite::Database db_;
    bool collecting_ = false;
    std::vector<std::pair<std::string, std::string>> tablesRead_;  // schema, table
};

// SQLite reads the file only when it first needs to; read the schema now, so that a file that
// is no database (or is locked) fails here with its name rather than at the first statement.
void CheckReadable(sqlite::Database& db, const std::string& display) {
    const int rc =
        sqlite3_exec(db.get(), "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    switch (rc & 0xff) {
        case SQLITE_OK:
            return;
        case SQLITE_NOTADB:
            throw Error(Format("The file '%s' is not a database", display.c_str()));
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            throw Error(Format("The database '%s' is locked by another program", display.c_str()));
        case SQLITE_CORRUPT:
            throw Error(Format("The database '%s' is damaged: %s", display.c_str(),
                               db.ErrorMessage().c_str()));
        default:
            throw Error(Format("Cannot open database '%s': %s", display.c_str(),
                               db.ErrorMessage().c_str()));
    }
}

}  // namespace

std::unique_ptr<Engine> OpenSqliteEngine(const std::string& source, int busyTimeoutMs) {
    const std::string path = EnginePath(source);
    const std::string display = DisplayFileName(path);

    // SQLite would report a missing file only as "unable to open database file"; say which.
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (path.empty() || !std::filesystem::exists(status)) {
        throw Error(Format("Could not find file '%s'", display.c_str()));
    }
    if (std::filesystem::is_directory(status)) {
        throw Error(Format("'%s' is a folder, not a database file", display.c_str()));
    }

    std::optional<sqlite::Database> opened;
    try {
        opened.emplace(path, sqlite::Database::Mode::ReadWrite);
    } catch (const Error& error) {
        throw Error(Format("Cannot open database '%s': %s", display.c_str(), error.what()));
    }
    sqlite::Database db = std::move(*opened);
    db.SetBusyTimeout(busyTimeoutMs);
    db.SetLockedName(display);
    // The awards statement delimits its LIKE pattern with double quotes; keep SQLite reading a
    // double-quoted word that names no column as a string, whatever the build's default.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DQS_DML, 1, nullptr);
    CheckReadable(db, display);

    // Never change the file's journal mode; only make WAL commits cheaper, which is safe there.
    if (EqualsNoCase(db.Scalar("PRAGMA journal_mode"), "wal")) {
        db.Exec("PRAGMA synchronous=NORMAL");
    }
    // The contact search visits rows all over a log of many thousand contacts; a page cache of
    // 16 MB (instead of 2 MB) keeps a run's repeated look-ups off the disk. Per connection only.
    db.Exec("PRAGMA cache_size=-16384");
    return std::make_unique<SqliteEngine>(std::move(db));
}

}  // namespace telvora::logdb
