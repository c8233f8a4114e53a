// The engines the database tests run over: SQLite, and ODBC through two drivers registered for
// the tests under names of their own, which the ODBC engine is told through TELVORA_ODBC_DRIVER:
// Debian's SQLite ODBC driver, and libtelvora-access-test, which behaves like the Access driver
// as far as Microsoft documents it (tools/access_test_driver) over the same SQLite files. The
// Windows build has the ODBC engine alone.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "logdb/connection.h"

namespace telvora::test {

// The ODBC drivers the tests register, by the names they are registered under.
inline constexpr const char* kSqliteOdbcDriverName = "Telvora Test SQLite";
inline constexpr const char* kAccessOdbcDriverName = "Telvora Test Access";

// An engine as a database test runs over it: SQLite, or ODBC through one of the two drivers.
struct TestEngine {
    logdb::EngineKind kind;
    const char* odbcDriver;  // the registered name; nullptr for SQLite
    const char* name;        // the test's name suffix
    const char* tableQuote;  // around a log table's name in a statement; "" for bare
    bool jet;                // Jet's SQL: wildcards made plain in brackets, no ESCAPE clause
};
inline void PrintTo(const TestEngine& engine, std::ostream* out) {
    *out << engine.name;
}
inline constexpr TestEngine kSqliteEngine{logdb::EngineKind::Sqlite, nullptr, "Sqlite", "", false};
inline constexpr TestEngine kSqliteOdbcEngine{logdb::EngineKind::Odbc, kSqliteOdbcDriverName,
                                              "SqliteOdbc", "\"", false};
inline constexpr TestEngine kAccessOdbcEngine{logdb::EngineKind::Odbc, kAccessOdbcDriverName,
                                              "AccessOdbc", "`", true};

// A log table's name as the engine places it in a statement: bare over SQLite (a name it can
// take so), always quoted with the driver's quote character over ODBC.
inline std::string TableInStatement(const TestEngine& engine, const std::string& name) {
    return engine.tableQuote + name + engine.tableQuote;
}

// Registers both drivers once per process, in a folder of its own named by ODBCSYSINI (the
// driver manager reads that folder once and keeps it). Under Wine, scripts/test-windows.sh has
// registered them: the host's driver manager reads the host's environment, set before Wine
// starts.
inline void RegisterTestOdbcDrivers() {
    static const bool registered = [] {
#ifdef _WIN32
        if (const char* named = std::getenv("ODBCSYSINI"); named == nullptr || *named == '\0') {
            // Nothing set inside Wine reaches the host's environment.
            throw std::runtime_error(
                "the test ODBC drivers are not registered: run the Windows tests through "
                "scripts/test-windows.sh");
        }
#else
        const auto folder =
            std::filesystem::temp_directory_path() / ("telvora-odbc-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "odbcinst.ini")
            << "[" << kSqliteOdbcDriverName
            << "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n"
            << "[" << kAccessOdbcDriverName << "]\nDriver=" << TELVORA_ACCESS_TEST_DRIVER << "\n";
        setenv("ODBCSYSINI", folder.c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("telvora-odbc-" + std::to_string(::getpid())),
                                        ec);
        });
#endif
        return true;
    }();
    (void)registered;
}

// The engines of this build, for the tests' instantiations: SQLite and ODBC through both drivers
// on Linux; under Wine ODBC through the Access driver's stand-in alone. The Windows build talks to
// every driver through the wide functions, and for a driver without them (Debian's SQLite one)
// the host's unixODBC keeps each character's low byte of a connection string: a folder named in
// Cyrillic would be lost. On Windows the driver manager converts by the ANSI code page instead.
inline auto BuiltEngines() {
#ifdef _WIN32
    return ::testing::Values(kAccessOdbcEngine);
#else
    return ::testing::Values(kSqliteEngine, kSqliteOdbcEngine, kAccessOdbcEngine);
#endif
}

// Prepares `engine` for a test: the ODBC engine is told its driver in TELVORA_ODBC_DRIVER.
inline logdb::EngineKind UseEngine(const TestEngine& engine) {
    if (engine.odbcDriver != nullptr) {
        RegisterTestOdbcDrivers();
#ifdef _WIN32
        _putenv_s("TELVORA_ODBC_DRIVER", engine.odbcDriver);
#else
        setenv("TELVORA_ODBC_DRIVER", engine.odbcDriver, 1);
#endif
    }
    return engine.kind;
}

inline std::string EngineName(const ::testing::TestParamInfo<TestEngine>& info) {
    return info.param.name;
}

// The statements the Access test driver received on connections to `file`, in order: each as
// the function that took it ("SQLPrepareW") and its text.
struct ReceivedStatement {
    std::string function;
    std::string text;
};
inline std::vector<ReceivedStatement> StatementsReceived(const std::filesystem::path& file) {
    std::ifstream in(std::filesystem::path(file) += ".statements", std::ios::binary);
    std::vector<ReceivedStatement> out;
    std::string record;
    while (std::getline(in, record, '\0')) {
        const std::size_t tab = record.find('\t');
        out.push_back({record.substr(0, tab), record.substr(tab + 1)});
    }
    return out;
}

// The engine's own message: SQLite's as the SQLite engine words it; a driver's behind the
// driver's prefix and code.
inline void ExpectEngineMessage(logdb::EngineKind engine, const std::string& message,
                                const std::string& core) {
    if (engine == logdb::EngineKind::Sqlite) {
        EXPECT_EQ(message, core);
    } else {
        EXPECT_THAT(message, ::testing::HasSubstr(core));
    }
}

}  // namespace telvora::test
