// A whole credit-run setting made of real parts: a sample logger installation (SQLite files
// from the generator) and the district-list service on loopback over HTTPS, trusted through
// SSL_CERT_FILE as a user would trust it.
#pragma once

#include <string>
#include <vector>

#include "district_service/district_service.h"
#include "districts/net_http_client.h"
#include "sample_logger/sample_logger.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace telvora::test {

// One row of Avtozachet, every value in its stored text form.
struct StoredCredit {
    std::string awards, callsign, qsoDate, qsoTime, digiBand, qsoMode;
    bool operator==(const StoredCredit&) const = default;
};

class CreditScene {
  public:
    explicit CreditScene(int logs = 2, int contactsPerLog = 200, std::uint64_t seed = 7);

    TempDir dir;
    ScopedEnv caFile;
    ScopedEnv noProxy;
    tools::SampleLogger logger;
    district_service::DistrictService service;

    // Lines served for `callsign`, each followed by CR LF.
    void Serve(const std::string& callsign, const std::vector<std::string>& lines);
    // A list made by the generator for `callsign`, served and returned.
    tools::DistrictList ServeGenerated(const std::string& callsign, int lines,
                                       double matchingShare = 0.8, double suffixedShare = 0.25);

    // Avtozachet as stored, in insertion order.
    std::vector<StoredCredit> Credits() const;
    // Executes one statement on the awards database (fixtures only).
    void ExecAwards(const std::string& sql) const;
    // The first RDA award's Id as text.
    std::string RdaAwardId(size_t which = 0) const;
};

}  // namespace telvora::test
