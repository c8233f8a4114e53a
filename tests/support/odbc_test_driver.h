// The SQLite ODBC driver (Debian's libsqliteodbc) registered for the tests under a name of their
// own, which the ODBC engine is told through TELVORA_ODBC_DRIVER: the engine then reaches SQLite
// files the way it reaches the logger's Access files through the Jet driver.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
    }();
    (void)registered;
}

}  // namespace telvora::test
