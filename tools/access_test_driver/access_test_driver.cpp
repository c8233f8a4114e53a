// libtelvora-access-test: an ODBC driver for tests only, which behaves like Microsoft's Access
// driver ("Microsoft Access Driver (*.mdb)", Jet 4.0) as far as Microsoft documents it, so that
// the ODBC engine takes on Linux and under Wine the branches it takes on Windows. It keeps the
// data in SQLite: every call goes on to Debian's SQLite ODBC driver (loaded with dlopen), and
// only what differs is changed here:
//   - it names itself "ACCESS" (SQL_DBMS_NAME) and quotes identifiers with the back quote;
//   - it has the wide (W) functions, which the SQLite driver lacks, so the driver manager hands
//     UTF-16 through unchanged, as Windows' does;
//   - 64-bit C types (SQL_C_SBIGINT, SQL_C_UBIGINT) and SQL_BIGINT parameters are refused with
//     HYC00: Jet's widest integer is the 32-bit Long;
//   - Jet's SQL: an ESCAPE clause is a syntax error, "[" in a LIKE pattern opens a character
//     list ("[%]" is a plain "%"), a reserved word of Jet's stands bare nowhere;
//   - SQL_DESC_BASE_COLUMN_NAME is left empty;
//   - every statement text it receives is appended, as received, to "<database>.statements"
//     beside the database file: the function's name, a tab, the text, a NUL.
// Its diagnostics go out through the ANSI functions alone: unixODBC keeps no record that a
// driver hands it through SQLGetDiagRecW (the application's SQLGetDiagRec then finds none), and
// converts the ANSI ones for a W caller itself.
#ifndef SIZEOF_LONG_INT
#define SIZEOF_LONG_INT __SIZEOF_LONG__  // no unixodbc.h needed, for -m32 builds too
#endif
#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/unicode.h"

#ifndef TELVORA_SQLITE_ODBC_DRIVER
#error "TELVORA_SQLITE_ODBC_DRIVER must name the SQLite ODBC driver's library"
#endif

namespace {

// ---- the SQLite driver underneath ----

void* Load(const char* name) {
    static void* const library = [] {
        void* handle = dlopen(TELVORA_SQLITE_ODBC_DRIVER, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            std::fprintf(stderr, "libtelvora-access-test: %s\n", dlerror());
            std::abort();
        }
        return handle;
    }();
    void* function = dlsym(library, name);
    if (function == nullptr) {
        std::fprintf(stderr, "libtelvora-access-test: no %s in the SQLite driver\n", name);
        std::abort();
    }
    return function;
}

// The SQLite driver's function of the same name as one of ours.
#define REAL(name) (reinterpret_cast<decltype(&::name)>(Load(#name)))

// ---- text ----

using Wide = std::basic_string<SQLWCHAR>;

std::string Utf8(const SQLWCHAR* text, std::ptrdiff_t length) {
    if (text == nullptr) {
        return {};
    }
    if (length == SQL_NTS) {
        length = 0;
        while (text[length] != 0) {
            ++length;
        }
    }
    std::string bytes;
    for (std::ptrdiff_t i = 0; i < length; ++i) {
        bytes += static_cast<char>(text[i] & 0xFF);
        bytes += static_cast<char>(text[i] >> 8);
    }
    return telvora::platform::Utf16ToUtf8(bytes, telvora::platform::ByteOrder::kLittleEndian);
}

Wide Utf16(std::string_view text) {
    const std::string bytes =
        telvora::platform::Utf8ToUtf16(text, telvora::platform::ByteOrder::kLittleEndian);
    Wide out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        out += static_cast<SQLWCHAR>(static_cast<unsigned char>(bytes[i]) |
                                     static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return out;
}

std::string Narrow(const SQLCHAR* text, std::ptrdiff_t length) {
    if (text == nullptr) {
        return {};
    }
    const auto* chars = reinterpret_cast<const char*>(text);
    return length == SQL_NTS ? std::string(chars) : std::string(chars, length);
}

// Copies `text` into a caller's buffer of `capacity` code units (NUL included), cut as ODBC
// cuts; the full length in code units goes to `length`. SQL_SUCCESS_WITH_INFO when cut.
template <typename Unit, typename Length>
SQLRETURN Give(const std::basic_string<Unit>& text, Unit* buffer, std::ptrdiff_t capacity,
               Length* length, std::size_t unitsPerLength = 1) {
    if (length != nullptr) {
        *length = static_cast<Length>(text.size() * unitsPerLength);
    }
    if (buffer == nullptr || capacity <= 0) {
        return text.empty() ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), capacity - 1);
    std::copy_n(text.begin(), n, buffer);
    buffer[n] = 0;
    return n < text.size() ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

// ---- what this driver says of itself, and its own diagnostics ----

struct Diagnostic {
    std::string state;
    std::string message;
};

std::mutex mutex;
std::map<SQLHANDLE, Diagnostic> refusals;      // the last call on the handle refused here
std::map<SQLHANDLE, std::string> recordFiles;  // connection -> its statement record
std::map<SQLHANDLE, SQLHANDLE> connectionOf;   // statement -> its connection

void Forget(SQLHANDLE handle) {
    std::lock_guard lock(mutex);
    refusals.erase(handle);
}

SQLRETURN Refuse(SQLHANDLE handle, const char* state, const std::string& message) {
    std::lock_guard lock(mutex);
    refusals[handle] = {state, "[Telvora][Access test driver] " + message};
    return SQL_ERROR;
}

const Diagnostic* RefusalOf(SQLHANDLE handle) {
    std::lock_guard lock(mutex);
    const auto found = refusals.find(handle);
    return found == refusals.end() ? nullptr : &found->second;
}

bool Is64BitCType(SQLSMALLINT type) {
    return type == SQL_C_SBIGINT || type == SQL_C_UBIGINT;
}

// The information types whose value is text; the others are numbers, the same in both widths.
bool IsTextInfo(SQLUSMALLINT info) {
    switch (info) {
        case SQL_ACCESSIBLE_PROCEDURES:
        case SQL_ACCESSIBLE_TABLES:
        case SQL_CATALOG_NAME:
        case SQL_CATALOG_NAME_SEPARATOR:
        case SQL_CATALOG_TERM:
        case SQL_COLLATION_SEQ:
        case SQL_COLUMN_ALIAS:
        case SQL_DATA_SOURCE_NAME:
        case SQL_DATA_SOURCE_READ_ONLY:
        case SQL_DATABASE_NAME:
        case SQL_DBMS_NAME:
        case SQL_DBMS_VER:
        case SQL_DESCRIBE_PARAMETER:
        case SQL_DM_VER:
        case SQL_DRIVER_NAME:
        case SQL_DRIVER_ODBC_VER:
        case SQL_DRIVER_VER:
        case SQL_EXPRESSIONS_IN_ORDERBY:
        case SQL_IDENTIFIER_QUOTE_CHAR:
        case SQL_INTEGRITY:
        case SQL_KEYWORDS:
        case SQL_LIKE_ESCAPE_CLAUSE:
        case SQL_MAX_ROW_SIZE_INCLUDES_LONG:
        case SQL_MULT_RESULT_SETS:
        case SQL_MULTIPLE_ACTIVE_TXN:
        case SQL_NEED_LONG_DATA_LEN:
        case SQL_ODBC_VER:
        case SQL_ORDER_BY_COLUMNS_IN_SELECT:
        case SQL_OUTER_JOINS:
        case SQL_PROCEDURE_TERM:
        case SQL_PROCEDURES:
        case SQL_ROW_UPDATES:
        case SQL_SCHEMA_TERM:
        case SQL_SEARCH_PATTERN_ESCAPE:
        case SQL_SERVER_NAME:
        case SQL_SPECIAL_CHARACTERS:
        case SQL_TABLE_TERM:
        case SQL_USER_NAME:
        case SQL_XOPEN_CLI_YEAR:
            return true;
        default:
            return false;
    }
}

// What this driver answers itself, as the Access driver does.
const char* OwnInfo(SQLUSMALLINT info) {
    switch (info) {
        case SQL_DBMS_NAME:
            return "ACCESS";
        case SQL_IDENTIFIER_QUOTE_CHAR:
            return "`";
        case SQL_LIKE_ESCAPE_CLAUSE:
            return "N";
        default:
            return nullptr;
    }
}

bool IsTextField(SQLUSMALLINT field) {
    switch (field) {
        case SQL_DESC_BASE_COLUMN_NAME:
        case SQL_DESC_BASE_TABLE_NAME:
        case SQL_DESC_CATALOG_NAME:
        case SQL_DESC_LABEL:
        case SQL_DESC_LITERAL_PREFIX:
        case SQL_DESC_LITERAL_SUFFIX:
        case SQL_DESC_LOCAL_TYPE_NAME:
        case SQL_DESC_NAME:
        case SQL_DESC_SCHEMA_NAME:
        case SQL_DESC_TABLE_NAME:
        case SQL_DESC_TYPE_NAME:
        case SQL_COLUMN_NAME:
            return true;
        default:
            return false;
    }
}

// ---- Jet's SQL over SQLite's ----

// Words Jet reserves that SQLite takes as names: a table of such a name must be quoted for Jet.
// (Taken where a table is named; Jet takes the type names among them in their own places.)
bool IsJetReservedWord(std::string_view word) {
    static constexpr const char* kWords[] = {
        "ALPHANUMERIC", "AUTOINCREMENT", "BINARY",      "BIT",        "BOOLEAN",  "BYTE",
        "CHAR",         "CHARACTER",     "COUNTER",     "CURRENCY",   "DATABASE", "DATETIME",
        "DISALLOW",     "DOUBLE",        "FLOAT",       "FLOAT4",     "FLOAT8",   "GENERAL",
        "GUID",         "IEEEDOUBLE",    "IEEESINGLE",  "INT",        "INTEGER",  "INTEGER1",
        "INTEGER2",     "INTEGER4",      "LEVEL",       "LOGICAL",    "LOGICAL1", "LONG",
        "LONGBINARY",   "LONGCHAR",      "LONGTEXT",    "MEMO",       "MONEY",    "NOTE",
        "NUMBER",       "OLEOBJECT",     "OWNERACCESS", "PARAMETERS", "PERCENT",  "PIVOT",
        "REAL",         "SHORT",         "SINGLE",      "SMALLINT",   "STRING",   "TEXT",
        "TOP",          "TRANSFORM",     "VALUE",       "VARBINARY",  "VARCHAR",  "YESNO",
    };
    return std::any_of(std::begin(kWords), std::end(kWords),
                       [&](const char* w) { return EqualsNoCase(word, w); });
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Jet's reading of a statement, turned into SQLite's: the same text where Jet and SQLite agree;
// a LIKE pattern's character lists of one character as SQLite's escapes. Empty `refusal` when
// Jet takes the text; otherwise the syntax error Jet would report.
std::string AsSqlite(std::string_view sql, std::string& refusal) {
    std::string out;
    bool afterLike = false;
    bool tableNamed = false;  // the next word names a table
    for (std::size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            std::size_t end = i + 1;
            while (end < sql.size()) {
                if (sql[end] == close) {
                    if (close != ']' && end + 1 < sql.size() && sql[end + 1] == close) {
                        end += 2;  // a doubled quote stands for itself
                        continue;
                    }
                    break;
                }
                ++end;
            }
            const std::string_view quoted = sql.substr(i, std::min(end + 1, sql.size()) - i);
            if (c == '\'' && afterLike && quoted.find('[') != std::string_view::npos) {
                std::string pattern;
                for (std::size_t k = 0; k < quoted.size(); ++k) {
                    if (quoted[k] == '[' && k + 2 < quoted.size() && quoted[k + 2] == ']') {
                        const char literal = quoted[k + 1];
                        if (literal == '%' || literal == '_' || literal == '\\') {
                            pattern += '\\';
                        }
                        pattern += literal;
                        k += 2;
                    } else if (quoted[k] == '\\') {
                        pattern += "\\\\";
                    } else {
                        pattern += quoted[k];
                    }
                }
                out += pattern + " ESCAPE '\\'";
            } else {
                out += quoted;
            }
            afterLike = false;
            tableNamed = false;
            i = end + 1;
            continue;
        }
        if (!IsWordChar(c)) {
            out += c;
            if (!std::isspace(static_cast<unsigned char>(c))) {
                afterLike = false;
                tableNamed = false;
            }
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < sql.size() && IsWordChar(sql[end])) {
            ++end;
        }
        const std::string_view word = sql.substr(i, end - i);
        if (EqualsNoCase(word, "ESCAPE")) {
            refusal = "Syntax error in query expression: ESCAPE";
        } else if (tableNamed && IsJetReservedWord(word)) {
            refusal = "Syntax error in FROM clause: " + std::string(word);
        }
        afterLike = EqualsNoCase(word, "LIKE");
        tableNamed = EqualsNoCase(word, "FROM") || EqualsNoCase(word, "INTO") ||
                     EqualsNoCase(word, "JOIN") || EqualsNoCase(word, "UPDATE");
        out += word;
        i = end;
    }
    return out;
}

// The database file of a connection string: the SQLite driver's "Database=" attribute.
std::string DatabaseOf(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t equals = text.find('=', i);
        if (equals == std::string_view::npos) {
            break;
        }
        std::string key(text.substr(i, equals - i));
        key.erase(0, key.find_first_not_of(' '));
        std::string value;
        std::size_t next = equals + 1;
        if (next < text.size() && text[next] == '{') {
            for (++next; next < text.size(); ++next) {
                if (text[next] == '}') {
                    if (next + 1 < text.size() && text[next + 1] == '}') {
                        value += '}';
                        ++next;
                        continue;
                    }
                    ++next;
                    break;
                }
                value += text[next];
            }
            next = text.find(';', next);
        } else {
            const std::size_t semicolon = text.find(';', next);
            value = std::string(text.substr(next, semicolon - next));
            next = semicolon;
        }
        if (EqualsNoCase(key, "Database")) {
            return value;
        }
        if (next == std::string_view::npos) {
            break;
        }
        i = next + 1;
    }
    return {};
}

void Record(SQLHSTMT statement, const char* function, const std::string& text) {
    std::string file;
    {
        std::lock_guard lock(mutex);
        const auto connection = connectionOf.find(statement);
        if (connection != connectionOf.end()) {
            file = recordFiles[connection->second];
        }
    }
    if (file.empty()) {
        return;
    }
    if (FILE* out = std::fopen(file.c_str(), "ab")) {
        std::fprintf(out, "%s\t", function);
        std::fwrite(text.data(), 1, text.size(), out);
        std::fputc('\0', out);
        std::fclose(out);
    }
}

// A statement text on its way to SQLite (`next`: the SQLite driver's SQLPrepare or
// SQLExecDirect), refused where Jet would refuse it.
SQLRETURN Statement(SQLHSTMT statement, const char* function, const std::string& text,
                    SQLRETURN (*next)(SQLHSTMT, SQLCHAR*, SQLINTEGER)) {
    Forget(statement);
    Record(statement, function, text);
    std::string refusal;
    std::string sqlite = AsSqlite(text, refusal);
    if (!refusal.empty()) {
        return Refuse(statement, "42000", refusal);
    }
    return next(statement, reinterpret_cast<SQLCHAR*>(sqlite.data()), SQL_NTS);
}

SQLRETURN Connected(SQLHDBC connection, SQLRETURN rc, const std::string& text) {
    if (SQL_SUCCEEDED(rc)) {
        const std::string database = DatabaseOf(text);
        std::lock_guard lock(mutex);
        recordFiles[connection] = database.empty() ? std::string() : database + ".statements";
    }
    return rc;
}

}  // namespace

// ---- the driver's functions ----

#define EXPORT extern "C" __attribute__((visibility("default"))) SQLRETURN SQL_API

EXPORT SQLAllocHandle(SQLSMALLINT type, SQLHANDLE parent, SQLHANDLE* handle) {
    const SQLRETURN rc = REAL(SQLAllocHandle)(type, parent, handle);
    if (SQL_SUCCEEDED(rc) && type == SQL_HANDLE_STMT) {
        std::lock_guard lock(mutex);
        connectionOf[*handle] = parent;
    }
    return rc;
}

EXPORT SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
    {
        std::lock_guard lock(mutex);
        refusals.erase(handle);
        connectionOf.erase(handle);
        recordFiles.erase(handle);
    }
    return REAL(SQLFreeHandle)(type, handle);
}

EXPORT SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
    Forget(statement);
    return REAL(SQLFreeStmt)(statement, option);
}

EXPORT SQLSetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) {
    return REAL(SQLSetEnvAttr)(env, attribute, value, length);
}

EXPORT SQLGetEnvAttr(SQLHENV env, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER capacity,
                     SQLINTEGER* length) {
    return REAL(SQLGetEnvAttr)(env, attribute, value, capacity, length);
}

EXPORT SQLSetConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER length) {
    return REAL(SQLSetConnectAttr)(connection, attribute, value, length);
}

EXPORT SQLGetConnectAttr(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER capacity, SQLINTEGER* length) {
    return REAL(SQLGetConnectAttr)(connection, attribute, value, capacity, length);
}

EXPORT SQLSetStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER length) {
    return REAL(SQLSetStmtAttr)(statement, attribute, value, length);
}

EXPORT SQLGetStmtAttr(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER capacity, SQLINTEGER* length) {
    return REAL(SQLGetStmtAttr)(statement, attribute, value, capacity, length);
}

EXPORT SQLGetFunctions(SQLHDBC connection, SQLUSMALLINT function, SQLUSMALLINT* supported) {
    return REAL(SQLGetFunctions)(connection, function, supported);
}

EXPORT SQLDriverConnect(SQLHDBC connection, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength,
                        SQLCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                        SQLUSMALLINT completion) {
    const std::string text = Narrow(in, inLength);
    return Connected(connection,
                     REAL(SQLDriverConnect)(connection, window, in, inLength, out, outCapacity,
                                            outLength, completion),
                     text);
}

EXPORT SQLDriverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength,
                         SQLWCHAR* out, SQLSMALLINT outCapacity, SQLSMALLINT* outLength,
                         SQLUSMALLINT completion) {
    std::string text = Utf8(in, inLength);
    SQLCHAR completed[4096] = {};
    SQLSMALLINT completedLength = 0;
    const SQLRETURN rc =
        REAL(SQLDriverConnect)(connection, window, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                               completed, sizeof completed - 1, &completedLength, completion);
    if (SQL_SUCCEEDED(rc)) {
        Give(Utf16(Narrow(completed, SQL_NTS)), out, outCapacity, outLength);
    }
    return Connected(connection, rc, text);
}

EXPORT SQLDisconnect(SQLHDBC connection) {
    return REAL(SQLDisconnect)(connection);
}

EXPORT SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
    return REAL(SQLEndTran)(type, handle, completion);
}

EXPORT SQLGetInfo(SQLHDBC connection, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT capacity,
                  SQLSMALLINT* length) {
    if (const char* own = OwnInfo(info)) {
        return Give(std::string(own), static_cast<char*>(value), capacity, length);
    }
    return REAL(SQLGetInfo)(connection, info, value, capacity, length);
}

EXPORT SQLGetInfoW(SQLHDBC connection, SQLUSMALLINT info, SQLPOINTER value, SQLSMALLINT capacity,
                   SQLSMALLINT* length) {
    if (!IsTextInfo(info)) {
        return REAL(SQLGetInfo)(connection, info, value, capacity, length);
    }
    std::string text;
    if (const char* own = OwnInfo(info)) {
        text = own;
    } else {
        char buffer[4096] = {};
        SQLSMALLINT got = 0;
        const SQLRETURN rc = REAL(SQLGetInfo)(connection, info, buffer, sizeof buffer - 1, &got);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        text = buffer;
    }
    return Give(Utf16(text), static_cast<SQLWCHAR*>(value),
                capacity / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)), length, sizeof(SQLWCHAR));
}

EXPORT SQLPrepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    return Statement(statement, "SQLPrepare", Narrow(text, length), REAL(SQLPrepare));
}

EXPORT SQLPrepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    return Statement(statement, "SQLPrepareW", Utf8(text, length), REAL(SQLPrepare));
}

EXPORT SQLExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
    return Statement(statement, "SQLExecDirect", Narrow(text, length), REAL(SQLExecDirect));
}

EXPORT SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
    return Statement(statement, "SQLExecDirectW", Utf8(text, length), REAL(SQLExecDirect));
}

EXPORT SQLExecute(SQLHSTMT statement) {
    Forget(statement);
    return REAL(SQLExecute)(statement);
}

EXPORT SQLNumParams(SQLHSTMT statement, SQLSMALLINT* count) {
    return REAL(SQLNumParams)(statement, count);
}

EXPORT SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* count) {
    return REAL(SQLNumResultCols)(statement, count);
}

EXPORT SQLRowCount(SQLHSTMT statement, SQLLEN* count) {
    return REAL(SQLRowCount)(statement, count);
}

EXPORT SQLBindParameter(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT direction,
                        SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN size, SQLSMALLINT digits,
                        SQLPOINTER value, SQLLEN capacity, SQLLEN* indicator) {
    Forget(statement);
    if (Is64BitCType(cType) || sqlType == SQL_BIGINT) {
        return Refuse(statement, "HYC00", "Optional feature not implemented");
    }
    return REAL(SQLBindParameter)(statement, number, direction, cType, sqlType, size, digits, value,
                                  capacity, indicator);
}

EXPORT SQLBindCol(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value,
                  SQLLEN capacity, SQLLEN* indicator) {
    Forget(statement);
    if (Is64BitCType(cType)) {
        return Refuse(statement, "HYC00", "Optional feature not implemented");
    }
    return REAL(SQLBindCol)(statement, column, cType, value, capacity, indicator);
}

EXPORT SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER value,
                  SQLLEN capacity, SQLLEN* indicator) {
    Forget(statement);
    if (Is64BitCType(cType)) {
        return Refuse(statement, "HYC00", "Optional feature not implemented");
    }
    return REAL(SQLGetData)(statement, column, cType, value, capacity, indicator);
}

EXPORT SQLFetch(SQLHSTMT statement) {
    return REAL(SQLFetch)(statement);
}

EXPORT SQLFetchScroll(SQLHSTMT statement, SQLSMALLINT orientation, SQLLEN offset) {
    return REAL(SQLFetchScroll)(statement, orientation, offset);
}

EXPORT SQLMoreResults(SQLHSTMT statement) {
    return REAL(SQLMoreResults)(statement);
}

EXPORT SQLCloseCursor(SQLHSTMT statement) {
    return REAL(SQLCloseCursor)(statement);
}

EXPORT SQLCancel(SQLHSTMT statement) {
    return REAL(SQLCancel)(statement);
}

EXPORT SQLDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name, SQLSMALLINT capacity,
                      SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size, SQLSMALLINT* digits,
                      SQLSMALLINT* nullable) {
    return REAL(SQLDescribeCol)(statement, column, name, capacity, length, type, size, digits,
                                nullable);
}

EXPORT SQLDescribeColW(SQLHSTMT statement, SQLUSMALLINT column, SQLWCHAR* name,
                       SQLSMALLINT capacity, SQLSMALLINT* length, SQLSMALLINT* type, SQLULEN* size,
                       SQLSMALLINT* digits, SQLSMALLINT* nullable) {
    SQLCHAR buffer[4096] = {};
    SQLSMALLINT got = 0;
    const SQLRETURN rc = REAL(SQLDescribeCol)(statement, column, buffer, sizeof buffer - 1, &got,
                                              type, size, digits, nullable);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    return Give(Utf16(Narrow(buffer, SQL_NTS)), name, capacity, length);
}

EXPORT SQLColAttribute(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field, SQLPOINTER text,
                       SQLSMALLINT capacity, SQLSMALLINT* length, SQLLEN* number) {
    if (field == SQL_DESC_BASE_COLUMN_NAME) {
        return Give(std::string(), static_cast<char*>(text), capacity, length);
    }
    return REAL(SQLColAttribute)(statement, column, field, text, capacity, length, number);
}

EXPORT SQLColAttributeW(SQLHSTMT statement, SQLUSMALLINT column, SQLUSMALLINT field,
                        SQLPOINTER text, SQLSMALLINT capacity, SQLSMALLINT* length,
                        SQLLEN* number) {
    if (!IsTextField(field)) {
        return REAL(SQLColAttribute)(statement, column, field, text, capacity, length, number);
    }
    std::string value;
    if (field != SQL_DESC_BASE_COLUMN_NAME) {
        char buffer[4096] = {};
        SQLSMALLINT got = 0;
        const SQLRETURN rc = REAL(SQLColAttribute)(statement, column, field, buffer,
                                                   sizeof buffer - 1, &got, number);
        if (!SQL_SUCCEEDED(rc)) {
            return rc;
        }
        value = buffer;
    }
    return Give(Utf16(value), static_cast<SQLWCHAR*>(text),
                capacity / static_cast<SQLSMALLINT>(sizeof(SQLWCHAR)), length, sizeof(SQLWCHAR));
}

EXPORT SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLCHAR* state,
                     SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT capacity,
                     SQLSMALLINT* length) {
    if (const Diagnostic* own = RefusalOf(handle)) {
        if (record != 1) {
            return SQL_NO_DATA;
        }
        if (state != nullptr) {
            std::memcpy(state, own->state.c_str(), 6);
        }
        if (native != nullptr) {
            *native = 0;
        }
        return Give(own->message, reinterpret_cast<char*>(message), capacity, length);
    }
    return REAL(SQLGetDiagRec)(type, handle, record, state, native, message, capacity, length);
}

EXPORT SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT record, SQLSMALLINT field,
                       SQLPOINTER value, SQLSMALLINT capacity, SQLSMALLINT* length) {
    if (const Diagnostic* own = RefusalOf(handle)) {
        if (field == SQL_DIAG_NUMBER) {
            *static_cast<SQLINTEGER*>(value) = 1;
            return SQL_SUCCESS;
        }
        if (record == 1 && field == SQL_DIAG_SQLSTATE) {
            return Give(own->state, static_cast<char*>(value), capacity, length);
        }
        if (record == 1 && field == SQL_DIAG_MESSAGE_TEXT) {
            return Give(own->message, static_cast<char*>(value), capacity, length);
        }
        if (record == 1 && field == SQL_DIAG_NATIVE) {
            *static_cast<SQLINTEGER*>(value) = 0;
            return SQL_SUCCESS;
        }
        if (record > 1) {
            return SQL_NO_DATA;
        }
    }
    return REAL(SQLGetDiagField)(type, handle, record, field, value, capacity, length);
}

EXPORT SQLError(SQLHENV env, SQLHDBC connection, SQLHSTMT statement, SQLCHAR* state,
                SQLINTEGER* native, SQLCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
    return REAL(SQLError)(env, connection, statement, state, native, message, capacity, length);
}
