#include "sqlite_fixture.h"

#include "logdb/sqlite.h"

namespace telvora::test {

struct RawDb::Connection {
    sqlite::Database db;
};

RawDb::RawDb(const std::filesystem::path& file)
    : connection_(new Connection{sqlite::Database(file, sqlite::Database::Mode::ReadWriteCreate)}) {
    connection_->db.SetBusyTimeout(5000);
}

RawDb::~RawDb() = default;

void RawDb::Exec(const std::string& sql) {
    connection_->db.Exec(sql);
}

std::vector<Row> RawDb::Rows(const std::string& sql) {
    sqlite::Statement statement(connection_->db, sql);
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

}  // namespace telvora::test
