// Shared fixtures of the app tests: the application object, a logger installation written
// with plain SQL (when a test needs a schema of its own) or the sample-logger generator, and
// the registry file that points at it.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/qt/application.h"
#include "app/qt/main_window.h"
#include "platform/text.h"
#include "sqlite_fixture.h"
#include "temp_dir.h"

namespace telvora::test {

// The one application object of a test process (offscreen platform, set by CTest).
inline app::TelvoraApplication& QtApp() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static app::TelvoraApplication* app = new app::TelvoraApplication(argc, argv);
    return *app;
}

// Runs SQL on a database file, creating it.
inline void ExecSql(const std::filesystem::path& file, const std::string& sql) {
    test::MakeDatabase(file, sql);
}

inline std::string SqlText(const std::string& text) {
    return platform::QuoteDoubled(text, '\'');
}

struct Award {
    std::string id;  // as stored (an integer column)
    std::string description;
};

// A logger installation of our own making: <folder>/db/logs.mdb and awards.mdb.
struct LoggerFiles {
    std::filesystem::path folder;
    std::filesystem::path logs;
    std::filesystem::path awards;
};

inline LoggerFiles MakeLoggerFolder(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder / "db");
    return {folder, folder / "db" / "logs.mdb", folder / "db" / "awards.mdb"};
}

// Aconfig with the given log names (each naming an empty log table).
inline void WriteLogsDatabase(const std::filesystem::path& file,
                              const std::vector<std::string>& logNames) {
    std::string sql =
        "CREATE TABLE Aconfig (Id INTEGER PRIMARY KEY, LogName TEXT, LogFileName TEXT);";
    for (size_t i = 0; i < logNames.size(); ++i) {
        const std::string table = "Log" + std::to_string(i + 1);
        sql += "INSERT INTO Aconfig (LogName, LogFileName) VALUES (" + SqlText(logNames[i]) +
               ", '" + table + "');";
        sql += "CREATE TABLE " + table +
               " (Id INTEGER PRIMARY KEY, QSODate DATETIME, QSOTime TEXT, CallSign TEXT, "
               "State TEXT, DigiBand REAL, QSOMode TEXT);";
    }
    ExecSql(file, sql);
}

// Statistic with the given awards in this order, and an empty Avtozachet.
inline void WriteAwardsDatabase(const std::filesystem::path& file,
                                const std::vector<Award>& awards) {
    std::string sql = "CREATE TABLE Statistic (Id INTEGER PRIMARY KEY, Description TEXT);";
    for (const Award& award : awards) {
        sql += "INSERT INTO Statistic (Id, Description) VALUES (" + award.id + ", " +
               SqlText(award.description) + ");";
    }
    sql +=
        "CREATE TABLE Avtozachet (Id INTEGER PRIMARY KEY AUTOINCREMENT, Awards INTEGER, "
        "CallSign TEXT(20), QSODate DATETIME, QSOTime TEXT(5), DigiBand REAL, QSOMode "
        "TEXT(10));";
    ExecSql(file, sql);
}

inline std::string RegString(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
        }
        out += c;
    }
    return out;
}

// The current user's registry with the logger's key; `installPathLine` is the whole value
// line, e.g. "\"InstallPath\"=\"/x/\"" or "\"InstallPath\"=dword:00000001".
inline void WriteRegistryLine(const std::filesystem::path& file, const std::string& valueLine) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "Windows Registry Editor Version 5.00\r\n\r\n"
        << "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"
        << valueLine << "\r\n";
}

// InstallPath = folder + "/" (the logger appends "db\logs.mdb" to it as stored).
inline void WriteRegistry(const std::filesystem::path& file, const std::filesystem::path& folder) {
    WriteRegistryLine(file, "\"InstallPath\"=\"" + RegString(folder.string() + "/") + "\"");
}

// The smallest logger a window starts on without a box: <dir>/logger with the log "Main" and
// the award "RDA", and the registry file that points at it.
inline void WriteSmallLogger(const std::filesystem::path& dir,
                             const std::filesystem::path& registryFile) {
    const LoggerFiles files = MakeLoggerFolder(dir / "logger");
    WriteLogsDatabase(files.logs, {"Main"});
    WriteAwardsDatabase(files.awards, {{"1", "RDA"}});
    WriteRegistry(registryFile, files.folder);
}

// The main window's options on WriteSmallLogger's logger, its executable in <dir>/bin.
inline app::MainWindowOptions SmallLoggerWindow(const std::filesystem::path& dir) {
    app::MainWindowOptions options;
    options.registryFile = dir / "config" / "HKEY_CURRENT_USER.reg";
    options.executablePath = dir / "bin" / "telvora";
    WriteSmallLogger(dir, options.registryFile);
    return options;
}

}  // namespace telvora::test
