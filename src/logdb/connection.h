// A connection to one of the logger's database files. The connection string keeps the form the
// logger's own tools use ("Provider=...;Data Source=<path>;..."); the engine behind it opens the
// file read-write and never creates it.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "logdb/engine.h"

namespace telvora::logdb {

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Persist Security Info=False".
// A path that the unquoted form would cut short or misread (one holding ";", or whose first
// non-blank character is a quote) is enclosed in quotes as OLE DB connection strings do: double
// quotes, or single quotes when the path holds a double quote, doubling the enclosing quote when it
// holds both. Every other path is inserted as it is.
std::string BuildConnectionString(const std::string& path);

// The value of "Data Source" in a connection string (keys compare without regard to case;
// quoted values are unquoted). nullopt when the key is missing or the string is malformed.
std::optional<std::string> ParseDataSource(std::string_view connectionString);

// What opens the files: SQLite where the ".mdb" files are SQLite databases (Linux), the Jet
// engine's ODBC driver where they are Access files (Windows, the default there).
enum class EngineKind { Sqlite, Odbc };
EngineKind DefaultEngine();

class Connection {
  public:
    explicit Connection(std::string name);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& Name() const { return name_; }

    // Not allowed while the connection is open.
    void SetConnectionString(std::string text);
    const std::string& ConnectionString() const { return connectionString_; }

    // Kept for the component's sake; opening never asks the user anything either way.
    void SetLoginPrompt(bool on) { loginPrompt_ = on; }
    bool LoginPrompt() const { return loginPrompt_; }

    // How long a statement waits for another program's lock before it fails (5 s); takes effect
    // at the next Open.
    void SetBusyTimeout(std::chrono::milliseconds timeout) { busyTimeout_ = timeout; }

    // Not allowed while the connection is open.
    void SetEngine(EngineKind kind);
    EngineKind Engine() const { return engineKind_; }

    // Opens the file named by the connection string. Failures raise telvora::Error with a
    // message naming the file. Opening an open connection does nothing.
    void Open();
    // Closing a closed connection does nothing.
    void Close();
    bool Connected() const { return engine_ != nullptr; }

    // The engine of the open connection; raises when the connection is closed.
    logdb::Engine& GetEngine() const;

  private:
    std::string name_;
    std::string connectionString_;
    bool loginPrompt_ = true;
    std::chrono::milliseconds busyTimeout_{5000};
    EngineKind engineKind_ = DefaultEngine();
    std::unique_ptr<logdb::Engine> engine_;
};

}  // namespace telvora::logdb
