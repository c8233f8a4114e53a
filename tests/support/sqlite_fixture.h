// Small helpers that make and inspect real SQLite files for the logdb tests, through the plain
// engine (the shared RAII pair), not the code under test.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "logdb/sqlite.h"

namespace telvora::test {

using Row = std::vector<std::optional<std::string>>;

// A raw engine connection, created when missing.
class RawDb {
  public:
    explicit RawDb(const std::filesystem::path& file)
        : db_(file, sqlite::Database::Mode::ReadWriteCreate) {
        db_.SetBusyTimeout(5000);
    }

    void Exec(const std::string& sql) { db_.Exec(sql); }

    // Every row, Null as nullopt and every other value in its text form.
    std::vector<Row> Rows(const std::string& sql) {
        sqlite::Statement statement(db_, sql);
        std::vector<Row> rows;
        while (statement.Step()) {
            Row row;
            for (int c = 0; c < statement.ColumnCount(); ++c) {
                if (statement.ColumnType(c) == sqlite::Type::Null) {
                    row.emplace_back(std::nullopt);
                } else {
                    row.emplace_back(statement.ColumnText(c));
                }
            }
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::string Scalar(const std::string& sql) {
        const auto rows = Rows(sql);
        if (rows.empty() || rows[0].empty() || !rows[0][0]) {
            return "<null>";
        }
        return *rows[0][0];
    }

  private:
    sqlite::Database db_;
};

inline void MakeDatabase(const std::filesystem::path& file, const std::string& sql) {
    RawDb db(file);
    db.Exec(sql);
}

}  // namespace telvora::test
