// The credit run over large sample loggers, as "Upload log" does it but without a window.
//
// The parent makes the logger files with the generator and serves the district lists over
// HTTPS on loopback; every case then runs in a child process of its own (this program again,
// with --case), so that the memory reported is the run's own and not the generator's. Per case
// it prints entries per second, CPU time per entry, the child's peak memory and the largest gap
// between two pending-message calls (how long the window would go without repainting).
//
// Every case runs over both engines, side by side: SQLite, and ODBC through Debian's SQLite
// ODBC driver (standing in for the Access driver of the Windows build).
//
//   telvora-credit-bench [--contacts N,N,...] [--logs N] [--lines N,N,...] [--folder DIR]
//                        [--journal wal|rollback|both] [--engine sqlite|odbc|both]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "credit/credit_run.h"
#include "district_service/district_service.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/datetime.h"
#include "sample_logger/sample_logger.h"

extern char** environ;

namespace {

using namespace telvora;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Options {
    int logs = 3;
    std::vector<int> contacts = {100000};
    std::vector<int> lines = {2500, 10000};
    std::vector<tools::JournalMode> journals = {tools::JournalMode::Wal,
                                                tools::JournalMode::Delete};
    std::vector<logdb::EngineKind> engines = {logdb::EngineKind::Sqlite, logdb::EngineKind::Odbc};
    fs::path folder;
};

const char* EngineName(logdb::EngineKind engine) {
    return engine == logdb::EngineKind::Sqlite ? "sqlite" : "odbc";
}

std::vector<int> NumberList(const std::string& text) {
    std::vector<int> numbers;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        numbers.push_back(std::stoi(item));
    }
    return numbers;
}

[[noreturn]] void Usage(int code) {
    std::fprintf(stderr,
                 "usage: telvora-credit-bench [--contacts N,N,...] [--logs N] "
                 "[--lines N,N,...] [--folder DIR] [--journal wal|rollback|both] "
                 "[--engine sqlite|odbc|both]\n");
    std::exit(code);
}

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

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The high-water mark of this process's own memory. getrusage's maximum would not do: Linux
// carries it across exec, so a spawned child would report its parent's peak.
long PeakRssMiB() {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = 0;
    while (status != nullptr && std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "VmHWM: %ld kB", &kib) == 1) {
            break;
        }
    }
    if (status != nullptr) {
        std::fclose(status);
    }
    return kib / 1024;
}

// ---- the child: one case ----

struct Case {
    logdb::EngineKind engine = logdb::EngineKind::Sqlite;
    fs::path install;  // the logger installation
    std::string base;  // the service's base URL
    std::string callsign;
    std::string awardId;
    int lines = 0;
};

// Runs the credit run twice on the same list (the second appends nothing) and prints one line
// per pass: entries/s, CPU us per entry, max gap ms, then the peak MiB of this process.
int RunCase(const Case& c) {
    districts::NetHTTPClient client;
    logdb::LoggerDatabases databases;
    databases.SetEngine(c.engine);
    databases.OpenDatabases(
        {(c.install / "db" / "logs.mdb").string(), (c.install / "db" / "awards.mdb").string()});
    const std::vector<std::string> logNames = databases.ReadLogNames();
    credit::CreditRun run(
        databases,
        [&](const std::string& callsign) {
            return districts::DownloadDistrictList(client, c.base, callsign);
        },
        c.install / "ErrorList.txt");
    const credit::RunInputs inputs{c.callsign, logNames, "RDA"};
    TimingWindow window(c.awardId);
    for (const char* pass : {"first", "rerun"}) {
        window.Start();
        const double cpu = CpuSeconds();
        const auto start = Clock::now();
        run.Execute(inputs, window);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpuUs = (CpuSeconds() - cpu) * 1e6 / c.lines;
        // The credits the table holds now: the same in every locale and over every engine.
        logdb::Query count("count", databases.ADOConnection2);
        count.SetSql({"SELECT count(*) AS n FROM Avtozachet"});
        count.Open();
        std::printf("%s %.0f %.1f %.2f %s\n", pass, c.lines / seconds, cpuUs, window.MaxGapMs(),
                    count.FieldAsText("n").c_str());
    }
    std::printf("peak %ld\n", PeakRssMiB());
    return 0;
}

// ---- the parent ----

// The awards file as each case starts: empty but for a few credits already given (every 20th
// matching line), written through a query object like the run's own.
void PreCredit(const tools::SampleLogger& logger, const tools::DistrictList& list,
               const std::string& awardId) {
    logdb::Connection connection("bench");
    connection.SetConnectionString(logdb::BuildConnectionString(logger.awards_db.string()));
    connection.Open();
    logdb::Query query("bench", connection);
    query.SetSql({"SELECT Awards, CallSign, QSODate, QSOTime FROM Avtozachet"});
    query.Open();
    for (size_t i = 0; i < list.lines.size(); i += 20) {
        const auto& line = list.lines[i];
        if (line.matches.empty()) {
            continue;
        }
        const auto& contact = logger.logs[line.matches[0].log].contacts[line.matches[0].contact];
        query.Append();
        query.SetFieldText("Awards", awardId);
        query.SetFieldText("CallSign", contact.callsign);
        query.SetFieldDateTime("QSODate", AtMidnight(contact.date));
        query.SetFieldText("QSOTime", contact.time);
        query.Post();
    }
}

struct PassFigures {
    double entriesPerSecond = 0;
    double cpuUsPerEntry = 0;
    double maxGapMs = 0;
    long credits = 0;
};

struct CaseFigures {
    PassFigures first, rerun;
    long peakMiB = 0;
};

CaseFigures SpawnCase(const Case& c) {
    const fs::path output = c.install / "case.out";
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    std::vector<std::string> args = {
        self,       "--case",  EngineName(c.engine),   c.install.string(), c.base,
        c.callsign, c.awardId, std::to_string(c.lines)};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the case process failed\n");
        std::exit(1);
    }
    CaseFigures figures;
    std::FILE* in = std::fopen(output.c_str(), "r");
    char pass[16];
    PassFigures values;
    while (in != nullptr && std::fscanf(in, "%15s", pass) == 1) {
        if (std::string(pass) == "peak") {
            std::fscanf(in, "%ld", &figures.peakMiB);
            continue;
        }
        std::fscanf(in, "%lf %lf %lf %ld", &values.entriesPerSecond, &values.cpuUsPerEntry,
                    &values.maxGapMs, &values.credits);
        (std::string(pass) == "first" ? figures.first : figures.rerun) = values;
    }
    if (in != nullptr) {
        std::fclose(in);
    }
    return figures;
}

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                Usage(2);
            }
            return argv[++i];
        };
        if (arg == "--contacts") {
            options.contacts = NumberList(value());
        } else if (arg == "--logs") {
            options.logs = std::stoi(value());
        } else if (arg == "--lines") {
            options.lines = NumberList(value());
        } else if (arg == "--folder") {
            options.folder = value();
        } else if (arg == "--engine") {
            const std::string engine = value();
            if (engine == "sqlite") {
                options.engines = {logdb::EngineKind::Sqlite};
            } else if (engine == "odbc") {
                options.engines = {logdb::EngineKind::Odbc};
            } else if (engine != "both") {
                Usage(2);
            }
        } else if (arg == "--journal") {
            const std::string mode = value();
            if (mode == "wal") {
                options.journals = {tools::JournalMode::Wal};
            } else if (mode == "rollback") {
                options.journals = {tools::JournalMode::Delete};
            } else if (mode != "both") {
                Usage(2);
            }
        } else {
            Usage(arg == "--help" ? 0 : 2);
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
    if (argc == 8 && std::string(argv[1]) == "--case") {
        const auto engine =
            std::string(argv[2]) == "odbc" ? logdb::EngineKind::Odbc : logdb::EngineKind::Sqlite;
        return RunCase({engine, argv[3], argv[4], argv[5], argv[6], std::stoi(argv[7])});
    }
    const Options options = ParseOptions(argc, argv);
    const auto certificates = district_service::BuiltTestCertificates(true);
    setenv("SSL_CERT_FILE", certificates.ca.c_str(), 1);
    setenv("no_proxy", "127.0.0.1,localhost", 1);
    district_service::ServiceOptions serviceOptions;
    serviceOptions.cert = certificates.cert;
    serviceOptions.key = certificates.key;
    district_service::DistrictService service(serviceOptions);

    // The ODBC engine reaches the SQLite files through Debian's SQLite ODBC driver, registered
    // in a folder of the benchmark's own (unless the environment names a driver already).
    const fs::path odbcFolder = options.folder.string() + "-odbc";
    if (std::getenv("TELVORA_ODBC_DRIVER") == nullptr) {
        fs::create_directories(odbcFolder);
        std::FILE* ini = std::fopen((odbcFolder / "odbcinst.ini").c_str(), "w");
        std::fprintf(ini,
                     "[Telvora Bench SQLite]\n"
                     "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
        std::fclose(ini);
        setenv("ODBCSYSINI", odbcFolder.c_str(), 1);
        setenv("TELVORA_ODBC_DRIVER", "Telvora Bench SQLite", 1);
    }

    std::printf("%d logs; list over https on loopback; each case in a process of its own\n",
                options.logs);
    std::printf("%9s %-9s %6s %-6s", "contacts", "journal", "lines", "pass");
    for (const logdb::EngineKind engine : options.engines) {
        std::printf(" | %-6s %9s %8s %5s %7s", EngineName(engine), "entries/s", "cpu us/e", "MiB",
                    "gap ms");
    }
    std::printf("\n");

    for (const int contacts : options.contacts) {
        for (const tools::JournalMode mode : options.journals) {
            fs::remove_all(options.folder);
            tools::SampleLoggerOptions loggerOptions;
            loggerOptions.folder = options.folder / "logger";
            loggerOptions.logs = options.logs;
            loggerOptions.contacts_per_log = contacts;
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

            for (const int lineCount : options.lines) {
                tools::DistrictListOptions listOptions;
                listOptions.callsign = "Q9TEST";
                listOptions.lines = lineCount;
                listOptions.matching_share = 0.8;
                listOptions.suffixed_share = 0.2;
                listOptions.seed = 5;
                const tools::DistrictList list = tools::MakeDistrictList(logger, listOptions);
                service.SetList(list.callsign, list.Text());
                std::vector<CaseFigures> figures;
                for (const logdb::EngineKind engine : options.engines) {
                    fs::remove(logger.awards_db);
                    fs::copy_file(pristine, logger.awards_db);
                    PreCredit(logger, list, awardId);
                    figures.push_back(
                        SpawnCase({engine, logger.folder, service.BaseUrl(), list.callsign, awardId,
                                   static_cast<int>(list.lines.size())}));
                }
                const char* journal = mode == tools::JournalMode::Wal ? "wal" : "rollback";
                for (const bool rerun : {false, true}) {
                    std::printf("%9d %-9s %6zu %-6s", contacts, journal, list.lines.size(),
                                rerun ? "rerun" : "first");
                    for (const CaseFigures& engine : figures) {
                        const PassFigures& values = rerun ? engine.rerun : engine.first;
                        std::printf(" | %-6s %9.0f %8.1f %5ld %7.2f %7ld", "",
                                    values.entriesPerSecond, values.cpuUsPerEntry, engine.peakMiB,
                                    values.maxGapMs, values.credits);
                    }
                    std::printf("\n");
                }
                std::fflush(stdout);
            }
        }
    }
    fs::remove_all(options.folder);
    fs::remove_all(odbcFolder);
    return 0;
}
