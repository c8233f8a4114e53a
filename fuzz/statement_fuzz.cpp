// The statement builders on arbitrary text standing for a callsign, a district or a log table's
// name. Each literal and name is checked by SQLite's own parser: a table created under the name
// is listed under exactly that name, a text literal reads back as the text, the prefix pattern
// matches exactly the texts that begin with the text. The named markers become "?" exactly
// where they stood, MarkerOffsets finds those and no others, and SingleTableRead names the
// table. Table names are tried in the SQLite engine's form and in the ODBC engine's, which
// quotes every name with the driver's quote character (a double or a back quote).
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "logdb/engine.h"
#include "logdb/logger_databases.h"
#include "logdb/query.h"
#include "platform/text.h"
#include "platform/unicode.h"
#include "scratch_file.h"

namespace {

using namespace telvora;

sqlite3* Database() {
    static sqlite3* db = [] {
        sqlite3* made = nullptr;
        FUZZ_CHECK(sqlite3_open(":memory:", &made) == SQLITE_OK);
        FUZZ_CHECK(sqlite3_exec(made, "PRAGMA case_sensitive_like=ON", nullptr, nullptr, nullptr) ==
                   SQLITE_OK);
        return made;
    }();
    return db;
}

// The SQLite engine, for its TableName: on a database file of its own, as it opens no other.
const logdb::Engine& SqliteEngine() {
    static const std::unique_ptr<logdb::Engine> engine = [] {
        const std::string file = fuzz::ScratchFile("names.mdb").string();
        sqlite3* db = nullptr;
        FUZZ_CHECK(sqlite3_open(file.c_str(), &db) == SQLITE_OK);
        FUZZ_CHECK(sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
        return logdb::OpenSqliteEngine(file, 0);
    }();
    return *engine;
}

std::string Column(sqlite3_stmt* statement, int column) {
    const auto* text = sqlite3_column_text(statement, column);
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

// The text of a Jet LIKE pattern's body without the brackets that make a wildcard plain.
std::string Unbracketed(std::string_view body) {
    std::string out;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '[' && i + 2 < body.size() && body[i + 2] == ']') {
            out += body[i + 1];
            i += 2;
        } else {
            out += body[i];
        }
    }
    return out;
}

// The one value of a statement's one row.
std::string Single(const std::string& sql) {
    sqlite3_stmt* statement = nullptr;
    FUZZ_CHECK(sqlite3_prepare_v2(Database(), sql.c_str(), -1, &statement, nullptr) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_step(statement) == SQLITE_ROW);
    std::string value = Column(statement, 0);
    FUZZ_CHECK(sqlite3_step(statement) == SQLITE_DONE);
    sqlite3_finalize(statement);
    return value;
}

void CheckName(const std::string& text, const std::string& name, const std::string& other) {
    // A table made under the name is listed under the text.
    const std::string create = "CREATE TABLE " + name + " (QSODate, CallSign)";
    FUZZ_CHECK(sqlite3_exec(Database(), create.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
    FUZZ_CHECK(Single("SELECT name FROM sqlite_schema") == text);

    // A search as the credit run writes it, with its named markers.
    const std::string literal = logdb::QuoteLogName(text);
    const std::string pattern = logdb::LikePrefixLiteral(text, logdb::LikeEscape::Backslash);
    const std::string head = "SELECT " + literal + " AS " + name + ", ";
    const std::string middle = " || 'x' LIKE " + pattern + " FROM " + name + " WHERE QSODate=";
    const logdb::ScannedSql scanned =
        logdb::ScanParameterMarkers(head + ":call" + middle + ":adate");
    FUZZ_CHECK(scanned.text == head + "?" + middle + "?");
    FUZZ_CHECK((scanned.names == std::vector<std::string>{"call", "adate"}));
    const std::vector<std::size_t> markers = {head.size(), head.size() + 1 + middle.size()};
    FUZZ_CHECK(logdb::MarkerOffsets(scanned.text) == markers);
    FUZZ_CHECK(logdb::SingleTableRead(scanned.text) == text);

    // The statement as SQLite reads it: the literal and the name come back unchanged, and the
    // pattern matches a text that begins with the text, and no other.
    const std::string insert = "INSERT INTO " + name + " VALUES (1, 'c')";
    FUZZ_CHECK(sqlite3_exec(Database(), insert.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
    sqlite3_stmt* statement = nullptr;
    FUZZ_CHECK(sqlite3_prepare_v2(Database(), scanned.text.c_str(),
                                  static_cast<int>(scanned.text.size()), &statement,
                                  nullptr) == SQLITE_OK);
    FUZZ_CHECK(sqlite3_bind_parameter_count(statement) == 2);
    for (const std::string& call : {text, other}) {
        sqlite3_bind_text(statement, 1, call.data(), static_cast<int>(call.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int(statement, 2, 1);
        FUZZ_CHECK(sqlite3_step(statement) == SQLITE_ROW);
        FUZZ_CHECK(Column(statement, 0) == text);
        FUZZ_CHECK(sqlite3_column_name(statement, 0) == text);
        FUZZ_CHECK(sqlite3_column_int(statement, 1) == (call + "x").starts_with(text));
        FUZZ_CHECK(sqlite3_step(statement) == SQLITE_DONE);
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    const std::string drop = "DROP TABLE " + name;
    FUZZ_CHECK(sqlite3_exec(Database(), drop.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Texts from the list and from the database are UTF-8 and hold no NUL: the list ends at one.
    std::string input =
        platform::ReplaceInvalidUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    input = input.substr(0, input.find('\0'));
    // The text, and after a line break another to compare with it.
    const std::size_t split = input.find('\n');
    const std::string text = input.substr(0, split);
    const std::string other = split == std::string::npos ? std::string() : input.substr(split + 1);

    // Jet's pattern: the text with its wildcards in brackets, then "%".
    const std::string jet =
        Single("SELECT " + logdb::LikePrefixLiteral(text, logdb::LikeEscape::Brackets));
    FUZZ_CHECK(jet.ends_with('%'));
    FUZZ_CHECK(Unbracketed(std::string_view(jet).substr(0, jet.size() - 1)) == text);

    // SQLite keeps the names that begin with "sqlite_" for itself.
    if (platform::StartsWithNoCase(text, "sqlite_")) {
        return 0;
    }
    CheckName(text, SqliteEngine().TableName(text), other);
    CheckName(text, platform::QuoteDoubled(text, '"'), other);
    CheckName(text, platform::QuoteDoubled(text, '`'), other);
    return 0;
}
