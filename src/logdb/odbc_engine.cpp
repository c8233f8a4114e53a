// The ODBC engine: the logger's Access files through the Jet 4.0 engine's ODBC driver,
// "Microsoft Access Driver (*.mdb)" (odbc32 on Windows; unixODBC elsewhere). Every statement is
// prepared, run and freed once; nothing is cached across executions. The driver's own messages
// (its first diagnostic record) are passed on unchanged.
//
// What this engine asks of the driver, and where Microsoft documents that the Access driver
// supports it ("ODBC Desktop Database Drivers", learn.microsoft.com/sql/odbc/microsoft/...):
//   - Functions: SQLAllocHandle, SQLSetEnvAttr (SQL_ATTR_ODBC_VERSION), SQLDriverConnectW,
//     SQLGetInfoW, SQLPrepareW, SQLNumParams, SQLBindParameter, SQLExecute, SQLNumResultCols,
//     SQLDescribeColW, SQLColAttributeW, SQLFetch, SQLGetData, SQLGetDiagRecW, SQLDisconnect,
//     SQLFreeHandle: all Core conformance ("Supported ODBC API Functions": the desktop drivers
//     support every Core and Level 1 function; the W forms are the driver manager's, which
//     converts for a driver without them: "Unicode Drivers" in the ODBC Programmer's Reference).
//   - Connection string: DRIVER and DBQ ("SQLDriverConnect (Access Driver)"; braces around a
//     value as "SQLDriverConnect Function" says).
//   - SQLGetInfo: SQL_IDENTIFIER_QUOTE_CHAR (the back quote) and SQL_DBMS_NAME ("ACCESS")
//     ("SQLGetInfo (Access Driver)").
//   - SQLColAttribute: SQL_DESC_BASE_COLUMN_NAME and SQL_DESC_BASE_TABLE_NAME, either of which
//     may come back empty from a driver of ODBC 2 ("SQLColAttributes (Access Driver)"); for
//     "SELECT *" from one table the column's label is its name, so nothing depends on them there.
//   - Reading values (SQLGetData): SQL_C_SLONG for SQL_INTEGER, SQL_SMALLINT, SQL_TINYINT and
//     SQL_BIT (Jet's Long, Integer, Byte and Yes/No), SQL_C_DOUBLE for SQL_REAL, SQL_DOUBLE and
//     SQL_NUMERIC, SQL_C_TYPE_TIMESTAMP for Date/Time, SQL_C_WCHAR for text ("Microsoft Access
//     Data Types": Jet has no 64-bit integer; the conversions of "Converting Data from SQL to C
//     Data Types" are supported). SQL_C_SBIGINT only for an SQL_BIGINT column, which Jet never
//     reports.
//   - Parameters (SQLBindParameter): SQL_C_WCHAR as SQL_WVARCHAR, SQL_C_WCHAR "yyyy-mm-dd
//     hh:mm:ss" as SQL_TYPE_TIMESTAMP, SQL_C_SLONG as SQL_INTEGER, SQL_C_DOUBLE as SQL_DOUBLE
//     ("Converting Data from C to SQL Data Types").
//   - Jet's SQL: identifiers in back quotes, LIKE with "%" and "_" and a wildcard made plain in
//     brackets ("[%]"), and no ESCAPE clause ("Like Operator (Microsoft Access SQL)"; "SQL
//     Reserved Words" for the words that stand bare nowhere).
// tools/access_test_driver stands in for the driver in tests and offers no more than this.
#ifdef _WIN32
#include <windows.h>
#endif
// The ANSI functions by their plain names (SQLPrepare, not SQLPrepareW under UNICODE).
#define SQL_NOUNICODEMAP
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "logdb/engine.h"
#include "platform/error.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/unicode.h"
#ifdef _WIN32
#include "platform/wide.h"
#endif

namespace telvora::logdb {
namespace {

using platform::EqualsNoCase;
using WideString = std::basic_string<SQLWCHAR>;

constexpr const char* kAccessDriver = "Microsoft Access Driver (*.mdb)";

WideString Wide(std::string_view utf8) {
    const std::string bytes = platform::Utf8ToUtf16(utf8, platform::ByteOrder::kLittleEndian);
    WideString out(bytes.size() / 2, 0);
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = static_cast<SQLWCHAR>(static_cast<unsigned char>(bytes[2 * i]) |
                                       (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    }
    return out;
}

std::string Narrow(const SQLWCHAR* text, std::size_t length) {
    std::string bytes;
    bytes.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        bytes.push_back(static_cast<char>(text[i] & 0xff));
        bytes.push_back(static_cast<char>((text[i] >> 8) & 0xff));
    }
    return platform::Utf16ToUtf8(bytes, platform::ByteOrder::kLittleEndian);
}

// Text crosses the driver manager (the connection string, statements, column names, messages)
// as UTF-16 through the W functions on Windows, where the manager converts it by the ANSI code
// page for a driver without them, as Jet's is; and as UTF-8 through the ANSI functions on Linux,
// as unixODBC's drivers take it. Under Wine, odbc32 hands the W calls to the host's unixODBC: a
// driver with W functions gets them whole, one without gets each character's low byte. Values
// (SQL_C_WCHAR) are UTF-16 on both, converted by the driver itself.
#ifdef _WIN32
using OdbcChar = SQLWCHAR;
#define TEXT_FUNCTION(name) name##W
#else
using OdbcChar = SQLCHAR;
#define TEXT_FUNCTION(name) name
#endif
using OdbcString = std::basic_string<OdbcChar>;

OdbcString ToOdbc(std::string_view utf8) {
#ifdef _WIN32
    return Wide(utf8);
#else
    return OdbcString(reinterpret_cast<const SQLCHAR*>(utf8.data()), utf8.size());
#endif
}

// `length` code units of a text from the driver manager, at most `capacity`.
std::string FromOdbc(const OdbcChar* text, std::ptrdiff_t length, std::size_t capacity) {
    const auto size =
        std::min(static_cast<std::size_t>(std::max<std::ptrdiff_t>(length, 0)), capacity);
#ifdef _WIN32
    return Narrow(text, size);
#else
    return platform::ReplaceInvalidUtf8(
        std::string_view(reinterpret_cast<const char*>(text), size));
#endif
}

// A buffer for a text the driver manager returns: its capacity in code units, NUL excluded, and
// in bytes, as each function counts it.
struct TextBuffer {
    OdbcChar data[1024] = {};
    static constexpr std::size_t kUnits = 1023;
    static constexpr SQLSMALLINT kBytes = kUnits * sizeof(OdbcChar);
};

// The first diagnostic record of a handle: the driver's own message.
std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    OdbcChar state[6] = {};
    OdbcChar message[SQL_MAX_MESSAGE_LENGTH + 1] = {};
    if (SQL_SUCCEEDED(TEXT_FUNCTION(SQLGetDiagRec)(type, handle, 1, state, &native, message,
                                                   SQL_MAX_MESSAGE_LENGTH, &length))) {
        return FromOdbc(message, length, SQL_MAX_MESSAGE_LENGTH);
    }
    return "The ODBC driver reported a failure without a message";
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle) {
    if (!SQL_SUCCEEDED(rc)) {
        throw Error(Diagnostic(type, handle));
    }
}

// An ODBC handle that frees itself.
class Handle {
  public:
    Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
        if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &handle_))) {
            handle_ = SQL_NULL_HANDLE;
            if (parent != SQL_NULL_HANDLE) {
                throw Error(
                    Diagnostic(type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV, parent));
            }
            throw Error("The ODBC driver manager cannot be loaded");
        }
    }
    ~Handle() {
        if (handle_ != SQL_NULL_HANDLE) {
            SQLFreeHandle(type_, handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    SQLHANDLE get() const { return handle_; }
    void Check(SQLRETURN rc) const { logdb::Check(rc, type_, handle_); }

  private:
    SQLSMALLINT type_;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// An attribute value of a connection string, braced when it holds what would end it.
std::string AttributeValue(const std::string& value) {
    if (value.find_first_of(";{}") == std::string::npos && platform::TrimBlanks(value) == value) {
        return value;
    }
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') {
            out += '}';
        }
    }
    return out + "}";
}

// The file as this program names it to the file system: "\" is a separator on Linux too.
std::string LocalPath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string local = path;
    std::replace(local.begin(), local.end(), '\\', '/');
    return local;
#endif
}

// The file as a driver that runs on the host sees it: under Wine, odbc32 hands the connection
// string to the host's driver manager unchanged, so a Windows path must be turned into the
// host's.
std::string HostPath(const std::string& path) {
    return platform::HostFileName(LocalPath(path));
}

// The file as Jet's driver can be told it. That driver takes ANSI strings, which the driver
// manager converts to by the ANSI code page: a path holding a character the code page lacks
// (a Cyrillic folder under 1252, "Ü" under 1251) would name another file or none, so it is
// handed over by its short (8.3) name, in which the file system replaces such characters.
std::string JetPath(const std::string& path) {
#ifdef _WIN32
    const std::wstring wide = platform::Wide(path);
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lost);
    const DWORD size = lost ? GetShortPathNameW(wide.c_str(), nullptr, 0) : 0;
    std::wstring shortName(size, L'\0');
    if (size > 0 && GetShortPathNameW(wide.c_str(), shortName.data(), size) + 1 == size) {
        shortName.pop_back();
        return platform::Narrow(shortName);
    }
#endif
    return path;
}

}  // namespace

std::string OdbcConnectionString(const std::string& path, int busyTimeoutMs) {
    const char* testDriver = std::getenv("TELVORA_ODBC_DRIVER");
    const bool test = testDriver != nullptr && *testDriver != '\0';
    std::string text = "Driver={" + std::string(test ? testDriver : kAccessDriver) +
                       "};DBQ=" + AttributeValue(JetPath(path));
    if (test) {
        text += ";Database=" + AttributeValue(HostPath(path)) +
                ";NoCreat=1;Timeout=" + std::to_string(busyTimeoutMs);
    }
    return text;
}

namespace {

ColumnType TypeOfSql(SQLSMALLINT type, SQLULEN size) {
    switch (type) {
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WLONGVARCHAR:
            return {ColumnKind::Text, static_cast<std::size_t>(size)};
        case SQL_BIT:
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
            return {ColumnKind::Integer, 0};
        case SQL_REAL:
        case SQL_FLOAT:
        case SQL_DOUBLE:
        case SQL_NUMERIC:
        case SQL_DECIMAL:
            return {ColumnKind::Float, 0};
        case SQL_TYPE_DATE:
        case SQL_TYPE_TIME:
        case SQL_TYPE_TIMESTAMP:
            return {ColumnKind::Date, 0};
        default:
            return {ColumnKind::Any, 0};
    }
}

}  // namespace

// A result that reads more than one table cannot take new rows; a driver names a base table for
// the columns of a union or a view as well, so the text is looked at too.
std::string SingleTableRead(std::string_view sql) {
    int froms = 0;
    bool more = false;
    bool inFrom = false;
    std::string table;
    std::size_t i = 0;
    const auto isWordChar = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < sql.size() && !more) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            // A doubled closing quote stands for one inside: a table may bear the quote in its
            // name, and TableName doubles it.
            const char close = c == '[' ? ']' : c;
            std::string name;
            std::size_t end = i + 1;
            for (; end < sql.size(); ++end) {
                if (sql[end] == close) {
                    if (close == ']' || end + 1 == sql.size() || sql[end + 1] != close) {
                        break;
                    }
                    ++end;
                }
                name += sql[end];
            }
            if (inFrom && c != '\'') {
                more = !table.empty();
                table = std::move(name);
            }
            i = std::min(end + 1, sql.size());
            continue;
        }
        if (!isWordChar(c)) {
            more = inFrom && (c == ',' || c == '(');
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < sql.size() && isWordChar(sql[end])) {
            ++end;
        }
        const std::string_view word = sql.substr(i, end - i);
        if (EqualsNoCase(word, "FROM")) {
            ++froms;
            inFrom = true;
        } else if (EqualsNoCase(word, "WHERE") || EqualsNoCase(word, "ORDER") ||
                   EqualsNoCase(word, "GROUP")) {
            inFrom = false;
        } else if (EqualsNoCase(word, "UNION") || EqualsNoCase(word, "JOIN") ||
                   (EqualsNoCase(word, "SELECT") && froms > 0)) {
            more = true;
        } else if (inFrom) {
            more = !table.empty();  // a second name: an alias or a join without the word
            table.assign(word);
        }
        i = end;
    }
    return froms == 1 && !more ? table : std::string();
}

namespace {

// Whether a statement's select list is "*" alone: "SELECT *" before anything else.
bool SelectsEveryColumn(std::string_view sql) {
    const auto skipBlanks = [&](std::size_t i) {
        while (i < sql.size() && static_cast<unsigned char>(sql[i]) <= ' ') {
            ++i;
        }
        return i;
    };
    const std::size_t select = skipBlanks(0);
    if (sql.size() < select + 6 || !EqualsNoCase(sql.substr(select, 6), "SELECT")) {
        return false;
    }
    const std::size_t star = skipBlanks(select + 6);
    return star < sql.size() && sql[star] == '*';
}

// Whether a text holds a statement at all: anything but blanks and comments.
bool HoldsStatement(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size()) {
        if (static_cast<unsigned char>(sql[i]) <= ' ') {
            ++i;
        } else if (sql.substr(i, 2) == "--") {
            const std::size_t end = sql.find('\n', i);
            i = end == std::string_view::npos ? sql.size() : end + 1;
        } else if (sql.substr(i, 2) == "/*") {
            const std::size_t end = sql.find("*/", i + 2);
            i = end == std::string_view::npos ? sql.size() : end + 2;
        } else {
            return true;
        }
    }
    return false;
}

// Binds one parameter; the buffers live in `storage` until the statement has run.
struct ParameterBuffers {
    std::vector<WideString> texts;
    std::vector<std::int64_t> integers;  // bound as 32-bit where they fit: Jet has no BIGINT
    std::vector<SQLINTEGER> integers32;
    std::vector<double> reals;
    std::vector<SQLLEN> lengths;
};

class OdbcEngine : public Engine {
  public:
    OdbcEngine(const std::string& path, int busyTimeoutMs)
        : environment_(SQL_HANDLE_ENV, SQL_NULL_HANDLE), connection_(MakeConnection()) {
        OdbcString text = ToOdbc(OdbcConnectionString(path, busyTimeoutMs));
        connection_.Check(TEXT_FUNCTION(SQLDriverConnect)(connection_.get(), nullptr, text.data(),
                                                          SQL_NTS, nullptr, 0, nullptr,
                                                          SQL_DRIVER_NOPROMPT));
        connected_ = true;
        quote_ = InfoText(SQL_IDENTIFIER_QUOTE_CHAR);
        if (platform::TrimBlanks(quote_).empty()) {
            quote_ = "\"";
        }
        jet_ = EqualsNoCase(InfoText(SQL_DBMS_NAME), "ACCESS");
    }

    ~OdbcEngine() override {
        if (connected_) {
            SQLDisconnect(connection_.get());
        }
    }

    std::optional<Result> Execute(const std::string& text,
                                  const std::vector<Value>& parameters) override {
        if (!HoldsStatement(text)) {
            return std::nullopt;
        }
        Handle statement(SQL_HANDLE_STMT, connection_.get());
        Prepare(statement, text);
        SQLSMALLINT markers = 0;
        statement.Check(SQLNumParams(statement.get(), &markers));
        ParameterBuffers buffers;
        Bind(statement, parameters, std::min<std::size_t>(markers, parameters.size()), buffers);
        statement.Check(SQLExecute(statement.get()));

        Result result;
        SQLSMALLINT count = 0;
        statement.Check(SQLNumResultCols(statement.get(), &count));
        std::vector<SQLSMALLINT> sqlTypes;
        const std::string table = count > 0 ? SingleTableRead(text) : std::string();
        bool single = !table.empty();
        // A driver may leave a column's base name empty (an ODBC 2 driver has no such field);
        // the columns of "SELECT *" from one table are labelled with their own names.
        const bool everyColumn = single && SelectsEveryColumn(text);
        for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
            SQLSMALLINT type = 0;
            SQLULEN size = 0;
            ResultColumn column;
            column.name = ColumnName(statement, c, type, size);
            column.type = TypeOfSql(type, size);
            column.origin = Attribute(statement, c, SQL_DESC_BASE_COLUMN_NAME);
            if (column.origin.empty() && everyColumn) {
                column.origin = column.name;
            }
            // A driver that names no base table for a column is taken at the statement's word.
            const std::string base = Attribute(statement, c, SQL_DESC_BASE_TABLE_NAME);
            single =
                single && !column.origin.empty() && (base.empty() || EqualsNoCase(base, table));
            sqlTypes.push_back(type);
            result.columns.push_back(std::move(column));
        }
        if (single) {
            result.table = table;
        }
        SQLRETURN rc = 0;
        while ((rc = SQLFetch(statement.get())) != SQL_NO_DATA) {
            statement.Check(rc);
            for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(count); ++c) {
                result.cells.push_back(Cell(statement, c, sqlTypes[c - 1]));
            }
            ++result.rows;
        }
        return result;
    }

    void Insert(const std::string& table, const std::vector<std::string>& columns,
                const std::vector<Value>& values) override {
        std::string sql = "INSERT INTO " + Quoted(table);
        std::string markers;
        sql += " (";
        for (std::size_t i = 0; i < columns.size(); ++i) {
            sql += (i == 0 ? "" : ", ") + Quoted(columns[i]);
            markers += i == 0 ? "?" : ", ?";
        }
        sql += ") VALUES (" + markers + ")";
        if (columns.empty()) {
            sql = "INSERT INTO " + Quoted(table) + " DEFAULT VALUES";
        }
        Handle statement(SQL_HANDLE_STMT, connection_.get());
        Prepare(statement, sql);
        ParameterBuffers buffers;
        Bind(statement, values, values.size(), buffers);
        statement.Check(SQLExecute(statement.get()));
    }

    std::string PrefixPattern(std::string_view text) const override {
        // Jet knows no ESCAPE clause; a wildcard stands for itself in brackets there.
        return LikePrefixLiteral(text, jet_ ? LikeEscape::Brackets : LikeEscape::Backslash);
    }

    // Always quoted: a log table may bear any name, a reserved word of Jet's among them (MEMO,
    // NOTE, TOP, ...), and a quoted name means the same table as the bare one.
    std::string TableName(std::string_view stored) const override { return Quoted(stored); }

  private:
    static void Prepare(const Handle& statement, const std::string& text) {
        OdbcString odbc = ToOdbc(text);
        statement.Check(TEXT_FUNCTION(SQLPrepare)(statement.get(), odbc.data(),
                                                  static_cast<SQLINTEGER>(odbc.size())));
    }

    Handle MakeConnection() {
        environment_.Check(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                                         reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0));
        return Handle(SQL_HANDLE_DBC, environment_.get());
    }

    std::string InfoText(SQLUSMALLINT info) const {
        TextBuffer buffer;
        SQLSMALLINT bytes = 0;
        return SQL_SUCCEEDED(TEXT_FUNCTION(SQLGetInfo)(connection_.get(), info, buffer.data,
                                                       TextBuffer::kBytes, &bytes))
                   ? FromOdbc(buffer.data, bytes / SQLSMALLINT{sizeof(OdbcChar)},
                              TextBuffer::kUnits)
                   : std::string();
    }

    static std::string Attribute(const Handle& statement, SQLUSMALLINT column, SQLUSMALLINT field) {
        TextBuffer buffer;
        SQLSMALLINT bytes = 0;
        return SQL_SUCCEEDED(TEXT_FUNCTION(SQLColAttribute)(statement.get(), column, field,
                                                            buffer.data, TextBuffer::kBytes, &bytes,
                                                            nullptr))
                   ? FromOdbc(buffer.data, bytes / SQLSMALLINT{sizeof(OdbcChar)},
                              TextBuffer::kUnits)
                   : std::string();
    }

    // A result column's name (its label), SQL type and size.
    static std::string ColumnName(const Handle& statement, SQLUSMALLINT column, SQLSMALLINT& type,
                                  SQLULEN& size) {
        TextBuffer name;
        SQLSMALLINT length = 0, digits = 0, nullable = 0;
        statement.Check(TEXT_FUNCTION(SQLDescribeCol)(statement.get(), column, name.data,
                                                      TextBuffer::kUnits, &length, &type, &size,
                                                      &digits, &nullable));
        return FromOdbc(name.data, length, TextBuffer::kUnits);
    }

    std::string Quoted(std::string_view name) const {
        return platform::QuoteDoubled(name, quote_[0]);
    }

    void Bind(const Handle& statement, const std::vector<Value>& values, std::size_t count,
              ParameterBuffers& buffers) const {
        buffers.texts.reserve(count);
        buffers.integers.reserve(count);
        buffers.integers32.reserve(count);
        buffers.reals.reserve(count);
        buffers.lengths.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const auto position = static_cast<SQLUSMALLINT>(i + 1);
            const Value& value = values[i];
            SQLLEN& length = buffers.lengths.emplace_back(0);
            SQLRETURN rc = SQL_SUCCESS;
            if (const auto* text = std::get_if<std::string>(&value)) {
                const WideString& wide = buffers.texts.emplace_back(Wide(*text));
                length = static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR));
                rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      SQL_WVARCHAR, std::max<SQLULEN>(wide.size(), 1), 0,
                                      const_cast<SQLWCHAR*>(wide.c_str()), length, &length);
            } else if (const auto* number = std::get_if<std::int64_t>(&value)) {
                if (*number >= INT32_MIN && *number <= INT32_MAX) {
                    SQLINTEGER& bound =
                        buffers.integers32.emplace_back(static_cast<SQLINTEGER>(*number));
                    rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_SLONG,
                                          SQL_INTEGER, 0, 0, &bound, 0, &length);
                } else {
                    double& bound = buffers.reals.emplace_back(static_cast<double>(*number));
                    rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                          SQL_DOUBLE, 0, 0, &bound, 0, &length);
                }
            } else if (const auto* real = std::get_if<double>(&value)) {
                double& bound = buffers.reals.emplace_back(*real);
                rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_DOUBLE,
                                      SQL_DOUBLE, 0, 0, &bound, 0, &length);
            } else if (const auto* moment = std::get_if<telvora::DateTime>(&value)) {
                // A timestamp, handed over in its canonical text, which the driver converts:
                // "yyyy-mm-dd hh:mm:ss", the form of the ODBC timestamp literal.
                const WideString& wide = buffers.texts.emplace_back(Wide(FormatDateTime(*moment)));
                length = static_cast<SQLLEN>(wide.size() * sizeof(SQLWCHAR));
                rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      SQL_TYPE_TIMESTAMP, 19, 0,
                                      const_cast<SQLWCHAR*>(wide.c_str()), length, &length);
            } else {
                length = SQL_NULL_DATA;
                rc = SQLBindParameter(statement.get(), position, SQL_PARAM_INPUT, SQL_C_WCHAR,
                                      SQL_WVARCHAR, 1, 0, nullptr, 0, &length);
            }
            statement.Check(rc);
        }
    }

    // One value of the current row, read in pieces as long as the driver has more.
    static Value Cell(const Handle& statement, SQLUSMALLINT column, SQLSMALLINT sqlType) {
        SQLLEN indicator = 0;
        switch (TypeOfSql(sqlType, 0).kind) {
            case ColumnKind::Integer: {
                // 64 bits only for a BIGINT column: Jet's widest integer is the 32-bit Long, and
                // its driver refuses the 64-bit C types.
                if (sqlType == SQL_BIGINT) {
                    SQLBIGINT number = 0;
                    statement.Check(SQLGetData(statement.get(), column, SQL_C_SBIGINT, &number,
                                               sizeof number, &indicator));
                    return indicator == SQL_NULL_DATA ? Value{} : Value{std::int64_t{number}};
                }
                SQLINTEGER number = 0;
                statement.Check(SQLGetData(statement.get(), column, SQL_C_SLONG, &number,
                                           sizeof number, &indicator));
                return indicator == SQL_NULL_DATA ? Value{} : Value{std::int64_t{number}};
            }
            case ColumnKind::Float: {
                double number = 0;
                statement.Check(SQLGetData(statement.get(), column, SQL_C_DOUBLE, &number,
                                           sizeof number, &indicator));
                return indicator == SQL_NULL_DATA ? Value{} : Value{number};
            }
            case ColumnKind::Date: {
                SQL_TIMESTAMP_STRUCT stamp{};
                statement.Check(SQLGetData(statement.get(), column, SQL_C_TYPE_TIMESTAMP, &stamp,
                                           sizeof stamp, &indicator));
                if (indicator == SQL_NULL_DATA) {
                    return Value{};
                }
                using namespace std::chrono;
                const year_month_day day{year{stamp.year}, month{stamp.month},
                                         std::chrono::day{stamp.day}};
                return Value{AtMidnight(day) + hours{stamp.hour} + minutes{stamp.minute} +
                             seconds{stamp.second}};
            }
            case ColumnKind::Text:
            case ColumnKind::Any:
                break;
        }
        WideString text;
        SQLWCHAR buffer[1024];
        while (true) {
            const SQLRETURN rc =
                SQLGetData(statement.get(), column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator);
            if (rc == SQL_NO_DATA) {
                break;
            }
            statement.Check(rc);
            if (indicator == SQL_NULL_DATA) {
                return Value{};
            }
            const std::size_t capacity = sizeof buffer / sizeof(SQLWCHAR) - 1;
            const std::size_t got =
                indicator == SQL_NO_TOTAL ||
                        static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR) > capacity
                    ? capacity
                    : static_cast<std::size_t>(indicator) / sizeof(SQLWCHAR);
            text.append(buffer, got);
            if (rc == SQL_SUCCESS) {
                break;
            }
        }
        return Value{Narrow(text.data(), text.size())};
    }

    Handle environment_;
    Handle connection_;
    bool connected_ = false;
    std::string quote_;
    bool jet_ = false;
};

}  // namespace

std::unique_ptr<Engine> OpenOdbcEngine(const std::string& path, int busyTimeoutMs) {
    // Said before any driver is asked, in the Jet engine's words: the file is never created.
    std::error_code ec;
    const std::string local = LocalPath(path);
    if (local.empty() || !std::filesystem::is_regular_file(platform::PathFromUtf8(local), ec)) {
        throw Error(Format("Could not find file '%s'", DisplayFileName(local).c_str()));
    }
    return std::make_unique<OdbcEngine>(path, busyTimeoutMs);
}

}  // namespace telvora::logdb
