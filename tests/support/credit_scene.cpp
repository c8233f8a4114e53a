#include "credit_scene.h"

#include <sqlite3.h>

#include <stdexcept>

namespace telvora::test {

namespace {

district_service::ServiceOptions TrustedServiceOptions() {
    const auto files = district_service::BuiltTestCertificates(true);
    district_service::ServiceOptions options;
    options.cert = files.cert;
    options.key = files.key;
    return options;
}

tools::SampleLogger MakeLogger(const TempDir& dir, int logs, int contacts, std::uint64_t seed) {
    tools::SampleLoggerOptions options;
    options.folder = dir / "logger";
    options.logs = logs;
    options.contacts_per_log = contacts;
    options.seed = seed;
    return tools::MakeSampleLogger(options);
}

struct Db {
    explicit Db(const std::filesystem::path& file) {
        if (sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            throw std::runtime_error("cannot open " + file.string());
        }
        sqlite3_busy_timeout(handle, 5000);
    }
    ~Db() { sqlite3_close(handle); }
    sqlite3* handle = nullptr;
};

}  // namespace

CreditScene::CreditScene(int logs, int contactsPerLog, std::uint64_t seed)
    : caFile("SSL_CERT_FILE", district_service::BuiltTestCertificates(true).ca.string()),
      noProxy("no_proxy", "127.0.0.1,localhost"),
      logger(MakeLogger(dir, logs, contactsPerLog, seed)),
      service(TrustedServiceOptions()) {}

void CreditScene::Serve(const std::string& callsign, const std::vector<std::string>& lines) {
    std::string body;
    for (const std::string& line : lines) {
        body += line + "\r\n";
    }
    service.SetList(callsign, body);
}

tools::DistrictList CreditScene::ServeGenerated(const std::string& callsign, int lines,
                                                double matchingShare, double suffixedShare) {
    tools::DistrictListOptions options;
    options.callsign = callsign;
    options.lines = lines;
    options.matching_share = matchingShare;
    options.suffixed_share = suffixedShare;
    tools::DistrictList list = tools::MakeDistrictList(logger, options);
    service.SetList(callsign, list.Text());
    return list;
}

std::vector<StoredCredit> CreditScene::Credits() const {
    Db db(logger.awards_db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db.handle,
                       "SELECT Awards, CallSign, QSODate, QSOTime, DigiBand, QSOMode "
                       "FROM Avtozachet ORDER BY Id",
                       -1, &statement, nullptr);
    std::vector<StoredCredit> credits;
    const auto text = [statement](int column) {
        const auto* value = sqlite3_column_text(statement, column);
        return value ? std::string(reinterpret_cast<const char*>(value)) : std::string("<null>");
    };
    while (sqlite3_step(statement) == SQLITE_ROW) {
        credits.push_back({text(0), text(1), text(2), text(3), text(4), text(5)});
    }
    sqlite3_finalize(statement);
    return credits;
}

void CreditScene::ExecAwards(const std::string& sql) const {
    Db db(logger.awards_db);
    char* error = nullptr;
    if (sqlite3_exec(db.handle, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

std::string CreditScene::RdaAwardId(size_t which) const {
    for (const auto& award : logger.awards) {
        if (award.IsRda() && which-- == 0) {
            return std::to_string(award.id);
        }
    }
    throw std::runtime_error("no such RDA award");
}

}  // namespace telvora::test
