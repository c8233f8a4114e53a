// The two engines the database tests run over: SQLite, and ODBC with the SQLite ODBC driver
// (Debian's libsqliteodbc) registered for the tests under a name of their own, which the ODBC
// engine is told through TELVORA_ODBC_DRIVER: the engine then reaches SQLite files the way it
// reaches the logger's Access files through the Jet driver. The Windows build has the ODBC
// engine alone.
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

#include "logdb/connection.h"

namespace telvora::test {

inline constexpr const char* kTestOdbcDriverName = "Telvora Test SQLite";

// Registers the driver once per process, in a folder of its own named by ODBCSYSINI (the driver
// manager reads that folder once and keeps it). Where the environment names a driver already
// (the Windows suite: the host's driver manager under Wine reads the host's environment, set
// before Wine starts), that one is used as it is.
inline void UseTestOdbcDriver() {
    static const bool registered = [] {
        if (const char* named = std::getenv("TELVORA_ODBC_DRIVER"); named && *named) {
            return true;
        }
#ifdef _WIN32
        // Nothing set inside Wine reaches the host's environment.
        throw std::runtime_error(
            "no test driver is named in TELVORA_ODBC_DRIVER: run the Windows tests through "
            "scripts/test-windows.sh, which registers the 32-bit SQLite ODBC driver");
#else
        const auto folder =
            std::filesystem::temp_directory_path() / ("telvora-odbc-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "odbcinst.ini")
            << "[" << kTestOdbcDriverName
            << "]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n";
        setenv("ODBCSYSINI", folder.c_str(), 1);
        setenv("TELVORA_ODBC_DRIVER", kTestOdbcDriverName, 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                            ("telvora-odbc-" + std::to_string(::getpid())),
                                        ec);
        });
        return true;
#endif
    }();
    (void)registered;
}

// The engines of this build, for the tests' instantiations: both on Linux, ODBC on Windows.
inline auto BuiltEngines() {
#ifdef _WIN32
    return ::testing::Values(logdb::EngineKind::Odbc);
#else
    return ::testing::Values(logdb::EngineKind::Sqlite, logdb::EngineKind::Odbc);
#endif
}

// Prepares `engine` for a test: registers the test driver for ODBC.
inline void UseEngine(logdb::EngineKind engine) {
    if (engine == logdb::EngineKind::Odbc) {
        UseTestOdbcDriver();
    }
}

// The name of a test's engine parameter: "Sqlite" or "Odbc".
inline std::string EngineName(const ::testing::TestParamInfo<logdb::EngineKind>& info) {
    return info.param == logdb::EngineKind::Sqlite ? "Sqlite" : "Odbc";
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
