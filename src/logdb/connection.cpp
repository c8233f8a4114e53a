#include "logdb/connection.h"

#include <utility>

#include "platform/error.h"
#include "platform/text.h"

namespace telvora::logdb {

namespace {

using platform::EqualsNoCase;

constexpr std::string_view kPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
constexpr std::string_view kSuffix = ";Persist Security Info=False";

}  // namespace

std::string BuildConnectionString(const std::string& path) {
    std::string value = path;
    // A value whose first non-blank character is a quote would be read back as quoted.
    const size_t first = path.find_first_not_of(" \t");
    const bool needsQuotes =
        path.find(';') != std::string::npos ||
        (first != std::string::npos && (path[first] == '"' || path[first] == '\''));
    if (needsQuotes) {
        if (path.find('"') == std::string::npos) {
            value = platform::QuoteDoubled(path, '"');
        } else if (path.find('\'') == std::string::npos) {
            value = platform::QuoteDoubled(path, '\'');
        } else {
            value = platform::QuoteDoubled(path, '"');
        }
    }
    std::string out;
    out.reserve(kPrefix.size() + value.size() + kSuffix.size());
    out.append(kPrefix).append(value).append(kSuffix);
    return out;
}

std::optional<std::string> ParseDataSource(std::string_view text) {
    std::optional<std::string> found;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t eq = text.find('=', pos);
        const size_t semi = text.find(';', pos);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A part without "=": only blanks are tolerated (e.g. a trailing ";").
            const size_t end = semi == std::string_view::npos ? text.size() : semi;
            if (!platform::TrimControls(text.substr(pos, end - pos)).empty()) {
                return std::nullopt;
            }
            pos = end + 1;
            continue;
        }
        const std::string key = platform::TrimControls(text.substr(pos, eq - pos));
        size_t cursor = eq + 1;
        while (cursor < text.size() && (text[cursor] == ' ' || text[cursor] == '\t')) {
            ++cursor;
        }
        std::string value;
        if (cursor < text.size() && (text[cursor] == '"' || text[cursor] == '\'')) {
            const char quote = text[cursor++];
            bool closed = false;
            while (cursor < text.size()) {
                if (text[cursor] == quote) {
                    if (cursor + 1 < text.size() && text[cursor + 1] == quote) {
                        value += quote;
                        cursor += 2;
                        continue;
                    }
                    ++cursor;
                    closed = true;
                    break;
                }
                value += text[cursor++];
            }
            if (!closed) {
                return std::nullopt;
            }
            while (cursor < text.size() && static_cast<unsigned char>(text[cursor]) <= ' ') {
                ++cursor;
            }
            if (cursor < text.size() && text[cursor] != ';') {
                return std::nullopt;
            }
        } else {
            // Unquoted values run to the next ";" exactly as written: a path may begin or end
            // with blanks.
            const size_t end = semi == std::string_view::npos ? text.size() : semi;
            value.assign(text.substr(eq + 1, end - eq - 1));
            cursor = end;
        }
        if (EqualsNoCase(key, "Data Source")) {
            found = std::move(value);
        }
        pos = cursor + 1;
    }
    return found;
}

EngineKind DefaultEngine() {
#ifdef _WIN32
    return EngineKind::Odbc;
#else
    return EngineKind::Sqlite;
#endif
}

Connection::Connection(std::string name) : name_(std::move(name)) {}

Connection::~Connection() = default;

void Connection::SetConnectionString(std::string text) {
    if (Connected()) {
        throw Error(
            Format("%s: Operation is not allowed when the connection is open", name_.c_str()));
    }
    connectionString_ = std::move(text);
}

void Connection::SetEngine(EngineKind kind) {
    if (Connected()) {
        throw Error(
            Format("%s: Operation is not allowed when the connection is open", name_.c_str()));
    }
    engineKind_ = kind;
}

void Connection::Open() {
    if (Connected()) {
        return;
    }
    const std::optional<std::string> source = ParseDataSource(connectionString_);
    if (!source) {
        throw Error(Format("%s: The connection string names no database file", name_.c_str()));
    }
#ifdef _WIN32
    engine_ = OpenOdbcEngine(*source, static_cast<int>(busyTimeout_.count()));
#else
    engine_ = engineKind_ == EngineKind::Odbc
                  ? OpenOdbcEngine(*source, static_cast<int>(busyTimeout_.count()))
                  : OpenSqliteEngine(*source, static_cast<int>(busyTimeout_.count()));
#endif
}

void Connection::Close() {
    engine_.reset();
}

logdb::Engine& Connection::GetEngine() const {
    if (engine_ == nullptr) {
        throw Error(Format("Connection %s is not open", name_.c_str()));
    }
    return *engine_;
}

}  // namespace telvora::logdb
