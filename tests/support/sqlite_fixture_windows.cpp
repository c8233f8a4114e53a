// RawDb under Wine: Wine's odbc32, the host's unixODBC and the SQLite ODBC driver that
// scripts/test-windows.sh registers as "Telvora Test SQLite". Text goes through the ANSI
// functions as UTF-8, which Wine's odbc32 hands to the host's unixODBC and driver unchanged (that
// driver has no wide functions, and unixODBC would keep each character's low byte of a path in
// a connection string: the tests' folders are named in Cyrillic). The driver takes the
// file's host path as "Database=" and creates a missing file, as the SQLite library does on Linux.
#include <windows.h>
// (after windows.h)
// The ANSI functions by their plain names, which is how odbc32 exports them (Wine's has no
// SQLDriverConnectA).
#define SQL_NOUNICODEMAP
#include <sql.h>
#include <sqlext.h>

#include <cstdlib>

#include "platform/error.h"
#include "platform/host.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "sqlite_fixture.h"

namespace telvora::test {
namespace {

bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// The statements of a script: the driver runs one statement per call. Splits at each ";"
// outside quotes, brackets and comments.
std::vector<std::string> Statements(const std::string& sql) {
    std::vector<std::string> statements;
    std::string current;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const std::size_t end = sql.find(c == '[' ? ']' : c, i + 1);
            const std::size_t stop = end == std::string::npos ? sql.size() : end + 1;
            current.append(sql, i, stop - i);
            i = stop - 1;
        } else if (sql.compare(i, 2, "--") == 0) {
            const std::size_t end = sql.find('\n', i);
            i = end == std::string::npos ? sql.size() : end;
        } else if (c == ';') {
            if (!Blank(current)) {
                statements.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!Blank(current)) {
        statements.push_back(current);
    }
    return statements;
}

std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
    SQLCHAR state[6] = {};
    SQLCHAR message[SQL_MAX_MESSAGE_LENGTH + 1] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, message,
                                     SQL_MAX_MESSAGE_LENGTH, &length))) {
        return "ODBC failure without a diagnostic";
    }
    return reinterpret_cast<const char*>(message);
}

void Check(SQLRETURN rc, SQLSMALLINT type, SQLHANDLE handle, const std::string& what) {
    if (!SQL_SUCCEEDED(rc)) {
        throw Error("RawDb: " + what + ": " + Diagnostic(type, handle));
    }
}

}  // namespace

struct RawDb::Connection {
    SQLHENV environment = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;

    ~Connection() {
        if (connected) {
            SQLDisconnect(dbc);
        }
        if (dbc != SQL_NULL_HDBC) {
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (environment != SQL_NULL_HENV) {
            SQLFreeHandle(SQL_HANDLE_ENV, environment);
        }
    }

    // One statement, executed; the caller reads its result and frees it.
    SQLHSTMT Run(const std::string& sql) {
        SQLHSTMT statement = SQL_NULL_HSTMT;
        Check(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement), SQL_HANDLE_DBC, dbc, sql);
        std::string text = sql;
        const SQLRETURN rc =
            SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            const std::string message = Diagnostic(SQL_HANDLE_STMT, statement);
            SQLFreeHandle(SQL_HANDLE_STMT, statement);
            throw Error("RawDb: " + sql + ": " + message);
        }
        return statement;
    }
};

RawDb::RawDb(const std::filesystem::path& file) : connection_(new Connection) {
    // SQLite's own driver, as scripts/test-windows.sh registers it: not the engine's driver of
    // the test, whose record of statements is the code's alone.
    const std::string driver = "Telvora Test SQLite";
    Connection& c = *connection_;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &c.environment))) {
        throw Error("RawDb: the ODBC driver manager cannot be loaded");
    }
    SQLSetEnvAttr(c.environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3),
                  0);
    Check(SQLAllocHandle(SQL_HANDLE_DBC, c.environment, &c.dbc), SQL_HANDLE_ENV, c.environment,
          "connection");
    const std::string host = platform::HostFileName(platform::PathToUtf8(file));
    std::string text = "Driver={" + driver + "};Database=" + host + ";Timeout=5000";
    Check(SQLDriverConnect(c.dbc, nullptr, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS,
                           nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
          SQL_HANDLE_DBC, c.dbc, host);
    c.connected = true;
}

RawDb::~RawDb() = default;

void RawDb::Exec(const std::string& sql) {
    for (const std::string& statement : Statements(sql)) {
        SQLFreeHandle(SQL_HANDLE_STMT, connection_->Run(statement));
    }
}

std::vector<Row> RawDb::Rows(const std::string& sql) {
    const SQLHSTMT statement = connection_->Run(sql);
    std::vector<Row> rows;
    try {
        SQLSMALLINT columns = 0;
        Check(SQLNumResultCols(statement, &columns), SQL_HANDLE_STMT, statement, sql);
        SQLRETURN rc = 0;
        while ((rc = SQLFetch(statement)) != SQL_NO_DATA) {
            Check(rc, SQL_HANDLE_STMT, statement, sql);
            Row& row = rows.emplace_back();
            for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
                // Read in pieces while the driver says there is more.
                std::wstring text;
                SQLWCHAR buffer[512];
                SQLLEN indicator = 0;
                bool null = false;
                while ((rc = SQLGetData(statement, c, SQL_C_WCHAR, buffer, sizeof buffer,
                                        &indicator)) != SQL_NO_DATA) {
                    Check(rc, SQL_HANDLE_STMT, statement, sql);
                    if (indicator == SQL_NULL_DATA) {
                        null = true;
                        break;
                    }
                    text += buffer;
                    if (rc == SQL_SUCCESS) {
                        break;
                    }
                }
                row.push_back(null ? std::nullopt : std::optional(platform::Narrow(text)));
            }
        }
    } catch (...) {
        SQLFreeHandle(SQL_HANDLE_STMT, statement);
        throw;
    }
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    return rows;
}

}  // namespace telvora::test
