// Small helpers that make and inspect real SQLite files for the logdb tests, not through the
// code under test: on Linux through the SQLite library (the shared RAII pair), on Windows, which
// has no SQLite library here, through the SQLite ODBC driver the Windows tests register.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace telvora::test {

using Row = std::vector<std::optional<std::string>>;

// A raw connection to a SQLite file, created when missing. Failures raise telvora::Error.
class RawDb {
  public:
    explicit RawDb(const std::filesystem::path& file);
    ~RawDb();
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    // Runs the statements of `sql` (separated by ";") one after the other.
    void Exec(const std::string& sql);

    // Every row, Null as nullopt and every other value in its text form.
    std::vector<Row> Rows(const std::string& sql);

    std::string Scalar(const std::string& sql) {
        const auto rows = Rows(sql);
        if (rows.empty() || rows[0].empty() || !rows[0][0]) {
            return "<null>";
        }
        return *rows[0][0];
    }

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

inline void MakeDatabase(const std::filesystem::path& file, const std::string& sql) {
    RawDb db(file);
    db.Exec(sql);
}

}  // namespace telvora::test
