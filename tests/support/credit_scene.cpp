#include "credit_scene.h"

#include <stdexcept>

#include "logdb/sqlite.h"

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

sqlite::Database OpenAwards(const std::filesystem::path& file) {
    sqlite::Database db(file, sqlite::Database::Mode::ReadWrite);
    db.SetBusyTimeout(5000);
    return db;
}

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
    sqlite::Database db = OpenAwards(logger.awards_db);
    sqlite::Statement statement(db,
                                "SELECT Awards, CallSign, QSODate, QSOTime, DigiBand, QSOMode "
                                "FROM Avtozachet ORDER BY Id");
    const auto text = [&statement](int column) {
        return statement.ColumnType(column) == sqlite::Type::Null ? std::string("<null>")
                                                                  : statement.ColumnText(column);
    };
    std::vector<StoredCredit> credits;
    while (statement.Step()) {
        credits.push_back({text(0), text(1), text(2), text(3), text(4), text(5)});
    }
    return credits;
}

void CreditScene::ExecAwards(const std::string& sql) const {
    OpenAwards(logger.awards_db).Exec(sql);
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
