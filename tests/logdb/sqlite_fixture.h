// Small helpers that make and inspect real SQLite files for the logdb tests, through the plain
// engine API (not the code under test).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace telvora::test {

using Row = std::vector<std::optional<std::string>>;

// A raw engine connection, created when missing.
class RawDb {
  public:
    explicit RawDb(const std::filesystem::path& file) {
        if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                            nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
    }
    ~RawDb() { sqlite3_close_v2(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void Exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error != nullptr ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(message + " in: " + sql);
        }
    }

    std::vector<Row> Rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_));
        }
        std::vector<Row> rows;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            Row row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                if (sqlite3_column_type(stmt, c) == SQLITE_NULL) {
                    row.emplace_back(std::nullopt);
                } else {
                    row.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, c)));
                }
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return rows;
    }

    std::string Scalar(const std::string& sql) {
        const auto rows = Rows(sql);
        if (rows.empty() || rows[0].empty() || !rows[0][0]) {
            return "<null>";
        }
        return *rows[0][0];
    }

    sqlite3* get() const { return db_; }

  private:
    sqlite3* db_ = nullptr;
};

inline void MakeDatabase(const std::filesystem::path& file, const std::string& sql) {
    RawDb db(file);
    db.Exec(sql);
}

}  // namespace telvora::test
