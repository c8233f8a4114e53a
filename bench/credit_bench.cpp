// The credit run over a large sample logger, against the engine's floor: the same look-ups
// and appends with statements prepared once and reused. Prints, per case, entries per
// second, the ratio run / floor, the peak memory and the largest gap between two
// pending-message calls (how long the window would go without repainting).
//
//   telvora-credit-bench [--contacts N] [--logs N] [--lines N,N,...] [--folder DIR]
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "credit/credit_run.h"
#include "district_service/district_service.h"
#include "districts/district_entry.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/datetime.h"
#include "sample_logger/sample_logger.h"

namespace {

using namespace telvora;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Options {
    int logs = 3;
    int contacts = 100000;
    std::vector<int> lines = {2500, 10000};
    fs::path folder;
};

// A window that does nothing but time the gaps between pending-message calls.
class TimingWindow : public credit::RunWindow {
  public:
    explicit TimingWindow(std::string awardId) : awardId_(std::move(awardId)) {}
    void Start() {
        started_ = false;
        maxGap_ = {};
    }
    void SetProgress(int) override {}
    void ProcessMessages() override {
        const auto now = Clock::now();
        if (started_) {
            maxGap_ = std::max(maxGap_, now - last_);
        }
        started_ = true;
        last_ = now;
    }
    void ShowWarning(const std::string& text) override {
        std::fprintf(stderr, "warning: %s\n", text.c_str());
        std::exit(1);
    }
    std::string SelectedAwardId() const override { return awardId_; }
    void OpenErrorList(const fs::path&) override {}
    double MaxGapMs() const { return std::chrono::duration<double, std::milli>(maxGap_).count(); }

  private:
    std::string awardId_;
    bool started_ = false;
    Clock::time_point last_;
    Clock::duration maxGap_{};
};

long PeakRssMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(1);
    }
}

void Exec(const fs::path& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, sql.c_str());
    sqlite3_close(db);
}

// The engine's floor: one prepared statement per kind, bound afresh per entry.
class Floor {
  public:
    Floor(const tools::SampleLogger& logger, const fs::path& awards) {
        sqlite3_open_v2(logger.logs_db.c_str(), &logs_, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_open_v2(awards.c_str(), &awards_, SQLITE_OPEN_READWRITE, nullptr);
        for (sqlite3* db : {logs_, awards_}) {
            sqlite3_exec(db, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
        }
        std::string find;
        for (const auto& log : logger.logs) {
            find += find.empty() ? "SELECT * FROM " : " UNION ALL SELECT * FROM ";
            find += log.table + " WHERE QSODate=?1 AND CallSign LIKE ?2 AND State = ?3";
        }
        Prepare(logs_, find, &find_);
        Prepare(awards_,
                "SELECT * FROM Avtozachet WHERE QSODate =?1 and CallSign = ?2 and QSOTime = ?3",
                &credit_);
        Prepare(awards_,
                "INSERT INTO Avtozachet (Awards, CallSign, QSODate, QSOTime, DigiBand, QSOMode) "
                "VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                &insert_);
    }
    ~Floor() {
        for (sqlite3_stmt* s : {find_, credit_, insert_}) {
            sqlite3_finalize(s);
        }
        sqlite3_close(logs_);
        sqlite3_close(awards_);
    }

    void Run(const std::vector<std::string>& lines, const std::string& awardId,
             TimingWindow& window) {
        for (const std::string& line : lines) {
            const districts::DistrictEntry entry = districts::ParseDistrictLine(line);
            const std::string date = FormatDateTime(AtMidnight(entry.Date));
            const std::string pattern = entry.Callsign + "%";
            sqlite3_reset(find_);
            Bind(find_, 1, date);
            Bind(find_, 2, pattern);
            Bind(find_, 3, entry.District);
            if (sqlite3_step(find_) == SQLITE_ROW) {
                const std::string callsign = Text(find_, 3), time = Text(find_, 2);
                sqlite3_reset(credit_);
                Bind(credit_, 1, date);
                Bind(credit_, 2, callsign);
                Bind(credit_, 3, time);
                if (sqlite3_step(credit_) != SQLITE_ROW) {
                    sqlite3_reset(insert_);
                    Bind(insert_, 1, awardId);
                    Bind(insert_, 2, callsign);
                    Bind(insert_, 3, Text(find_, 1));
                    Bind(insert_, 4, time);
                    sqlite3_bind_double(insert_, 5, sqlite3_column_double(find_, 5));
                    Bind(insert_, 6, Text(find_, 6));
                    Check(sqlite3_step(insert_), awards_, "insert");
                }
            }
            window.ProcessMessages();
        }
    }

  private:
    static void Prepare(sqlite3* db, const std::string& sql, sqlite3_stmt** out) {
        Check(sqlite3_prepare_v2(db, sql.c_str(), -1, out, nullptr), db, sql.c_str());
    }
    static void Bind(sqlite3_stmt* s, int i, const std::string& text) {
        sqlite3_bind_text(s, i, text.c_str(), int(text.size()), SQLITE_TRANSIENT);
    }
    static std::string Text(sqlite3_stmt* s, int i) {
        const auto* value = sqlite3_column_text(s, i);
        return value ? reinterpret_cast<const char*>(value) : "";
    }
    sqlite3* logs_ = nullptr;
    sqlite3* awards_ = nullptr;
    sqlite3_stmt* find_ = nullptr;
    sqlite3_stmt* credit_ = nullptr;
    sqlite3_stmt* insert_ = nullptr;
};

struct Timed {
    double seconds = 0;
    double maxGapMs = 0;
};

template <typename F>
Timed Time(TimingWindow& window, F&& body) {
    window.Start();
    const auto start = Clock::now();
    body();
    return {std::chrono::duration<double>(Clock::now() - start).count(), window.MaxGapMs()};
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--contacts") {
            options.contacts = std::stoi(value());
        } else if (arg == "--logs") {
            options.logs = std::stoi(value());
        } else if (arg == "--lines") {
            options.lines.clear();
            std::stringstream list(value());
            for (std::string item; std::getline(list, item, ',');) {
                options.lines.push_back(std::stoi(item));
            }
        } else if (arg == "--folder") {
            options.folder = value();
        } else {
            std::fprintf(stderr,
                         "usage: telvora-credit-bench [--contacts N] [--logs N] "
                         "[--lines N,N,...] [--folder DIR]\n");
            std::exit(arg == "--help" ? 0 : 2);
        }
    }
    if (options.folder.empty()) {
        // One folder per process: the folder is wiped at start and end, and several people
        // may run the benchmark at once on a shared machine.
        options.folder =
            fs::temp_directory_path() / ("telvora-credit-bench-" + std::to_string(getpid()));
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    const auto certificates = district_service::BuiltTestCertificates(true);
    setenv("SSL_CERT_FILE", certificates.ca.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    district_service::ServiceOptions serviceOptions;
    serviceOptions.cert = certificates.cert;
    serviceOptions.key = certificates.key;
    district_service::DistrictService service(serviceOptions);
    districts::NetHTTPClient client;

    std::printf("%d logs of %d contacts; list from https on loopback\n", options.logs,
                options.contacts);
    std::printf("%-9s %6s %-6s %12s %12s %7s %9s %10s\n", "journal", "lines", "pass", "run e/s",
                "floor e/s", "ratio", "peak MiB", "max gap ms");

    for (const tools::JournalMode mode : {tools::JournalMode::Wal, tools::JournalMode::Delete}) {
        const bool wal = mode == tools::JournalMode::Wal;
        fs::remove_all(options.folder);
        tools::SampleLoggerOptions loggerOptions;
        loggerOptions.folder = options.folder / "logger";
        loggerOptions.logs = options.logs;
        loggerOptions.contacts_per_log = options.contacts;
        loggerOptions.seed = 11;
        loggerOptions.logs_journal = mode;
        loggerOptions.awards_journal = mode;
        const tools::SampleLogger logger = tools::MakeSampleLogger(loggerOptions);
        std::string awardId;
        for (const auto& award : logger.awards) {
            if (award.IsRda()) {
                awardId = std::to_string(award.id);
                break;
            }
        }
        const fs::path pristine = options.folder / "awards.pristine";
        fs::copy_file(logger.awards_db, pristine);
        const fs::path floorAwards = options.folder / "awards.floor.mdb";

        for (const int lineCount : options.lines) {
            tools::DistrictListOptions listOptions;
            listOptions.callsign = "Q9TEST";
            listOptions.lines = lineCount;
            listOptions.matching_share = 0.8;
            listOptions.suffixed_share = 0.2;
            listOptions.seed = 5;
            const tools::DistrictList list = tools::MakeDistrictList(logger, listOptions);
            service.SetList(list.callsign, list.Text());
            std::vector<std::string> lines;
            for (const auto& line : list.lines) {
                lines.push_back(line.text);
            }

            // Both sides start from the same awards file: empty but for a few credits
            // already given (every 20th matching line).
            for (const fs::path& file : {logger.awards_db, floorAwards}) {
                fs::remove(file);
                fs::copy_file(pristine, file);
                std::string sql = "BEGIN;";
                for (size_t i = 0; i < list.lines.size(); i += 20) {
                    const auto& line = list.lines[i];
                    if (line.matches.empty()) {
                        continue;
                    }
                    const auto& c =
                        logger.logs[line.matches[0].log].contacts[line.matches[0].contact];
                    sql += "INSERT INTO Avtozachet (Awards, CallSign, QSODate, QSOTime) VALUES (" +
                           awardId + ",'" + c.callsign + "','" +
                           FormatDateTime(AtMidnight(c.date)) + "','" + c.time + "');";
                }
                Exec(file, sql + "COMMIT;");
            }

            logdb::LoggerDatabases databases;
            databases.OpenDatabases({logger.logs_db.string(), logger.awards_db.string()});
            credit::CreditRun run(
                databases,
                [&](const std::string& callsign) {
                    return districts::DownloadDistrictList(client, service.BaseUrl(), callsign);
                },
                options.folder / "ErrorList.txt");
            credit::RunInputs inputs{list.callsign, {}, "RDA"};
            for (const auto& log : logger.logs) {
                inputs.checkedLogs.push_back(log.name);
            }

            TimingWindow window(awardId);
            Floor floor(logger, floorAwards);
            for (const char* pass : {"first", "rerun"}) {
                const Timed runTime = Time(window, [&] { run.Execute(inputs, window); });
                const Timed floorTime = Time(window, [&] { floor.Run(lines, awardId, window); });
                const double entries = double(lines.size());
                std::printf("%-9s %6zu %-6s %12.0f %12.0f %7.2f %9ld %10.2f\n",
                            wal ? "wal" : "rollback", lines.size(), pass, entries / runTime.seconds,
                            entries / floorTime.seconds, runTime.seconds / floorTime.seconds,
                            PeakRssMiB(), runTime.maxGapMs);
                std::fflush(stdout);
            }
        }
    }
    fs::remove_all(options.folder);
    return 0;
}
