// telvora-sample-logger: writes a sample logger installation (and optionally the district
// list for a callsign) for the demo, manual tests and benchmarks.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/error.h"
#include "sample_logger/sample_logger.h"

namespace {

constexpr const char* kUsage =
    "Usage: telvora-sample-logger --out DIR [options]\n"
    "\n"
    "Writes DIR/db/logs.mdb and DIR/db/awards.mdb (SQLite) holding a sample logger's logs\n"
    "and awards, deterministic for a given seed.\n"
    "\n"
    "  --out DIR         installation folder (created when missing)\n"
    "  --logs N          number of logs (default 3)\n"
    "  --contacts N      contacts per log (default 1000)\n"
    "  --seed N          random seed (default 1)\n"
    "  --wal             leave both databases in WAL journal mode (default: DELETE)\n"
    "  --replace         replace existing databases in DIR/db\n"
    "  --list FILE       also write the district list (CR LF lines District,Callsign,DD.MM.YYYY)\n"
    "  --lines N         lines of the list (default 100)\n"
    "  --callsign CALL   whose list it is (default Q9TEST); varies the lines chosen\n"
    "  --matching SHARE  share of lines that match a contact (default 0.8)\n"
    "  --suffixed SHARE  share of matching lines taken from /P, /M contacts (default 0.25)\n"
    "  --help            print this text\n";

[[noreturn]] void UsageError(const std::string& message) {
    std::fprintf(stderr, "telvora-sample-logger: %s\n\n%s", message.c_str(), kUsage);
    std::exit(2);
}

long long ParseInteger(std::string_view option, const std::string& text, long long low,
                       long long high) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        UsageError(std::string(option) + " needs a whole number from " + std::to_string(low) +
                   " to " + std::to_string(high) + ", not '" + text + "'");
    }
    return value;
}

double ParseShare(std::string_view option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
        UsageError(std::string(option) + " needs a share from 0 to 1, not '" + text + "'");
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace telvora::tools;
    SampleLoggerOptions logger_options;
    DistrictListOptions list_options;
    std::string list_file;

    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (option == "--wal") {
            logger_options.logs_journal = JournalMode::Wal;
            logger_options.awards_journal = JournalMode::Wal;
            continue;
        }
        if (option == "--replace") {
            logger_options.replace_existing = true;
            continue;
        }
        if (i + 1 >= argc) {
            UsageError(std::string(option.starts_with("--") ? "" : "unknown option ") +
                       std::string(option) + (option.starts_with("--") ? " needs a value" : ""));
        }
        const std::string value = argv[++i];
        if (option == "--out") {
            logger_options.folder = value;
        } else if (option == "--logs") {
            logger_options.logs = static_cast<int>(ParseInteger(option, value, 1, 1000));
        } else if (option == "--contacts") {
            logger_options.contacts_per_log =
                static_cast<int>(ParseInteger(option, value, 0, 10'000'000));
        } else if (option == "--seed") {
            const auto seed = ParseInteger(option, value, 0, (1LL << 62));
            logger_options.seed = static_cast<std::uint64_t>(seed);
            list_options.seed = static_cast<std::uint64_t>(seed);
        } else if (option == "--list") {
            list_file = value;
        } else if (option == "--lines") {
            list_options.lines = static_cast<int>(ParseInteger(option, value, 0, 10'000'000));
        } else if (option == "--callsign") {
            list_options.callsign = value;
        } else if (option == "--matching") {
            list_options.matching_share = ParseShare(option, value);
        } else if (option == "--suffixed") {
            list_options.suffixed_share = ParseShare(option, value);
        } else {
            UsageError("unknown option " + std::string(option));
        }
    }
    if (logger_options.folder.empty()) {
        UsageError("--out DIR is required");
    }

    try {
        const SampleLogger logger = MakeSampleLogger(logger_options);
        std::printf("%s\n%s\n", logger.logs_db.c_str(), logger.awards_db.c_str());
        // The line that points the registry file at this installation: the folder with its
        // closing separator, as the logger stores it.
        std::string folder = std::filesystem::absolute(logger.folder).lexically_normal().string();
        if (!folder.ends_with('/')) {
            folder += '/';
        }
        std::string escaped;
        for (char c : folder) {
            escaped += (c == '\\' || c == '"') ? std::string("\\") + c : std::string(1, c);
        }
        std::printf("registry value: \"InstallPath\"=\"%s\"\n", escaped.c_str());
        for (const SampleLog& log : logger.logs) {
            std::printf("  log \"%s\" (table %s): %zu contacts\n", log.name.c_str(),
                        log.table.c_str(), log.contacts.size());
        }
        if (!list_file.empty()) {
            const DistrictList list = MakeDistrictList(logger, list_options);
            WriteDistrictList(list, list_file);
            std::size_t unmatched = 0;
            for (const DistrictLine& line : list.lines) {
                unmatched += line.kind == LineKind::Unmatched ? 1 : 0;
            }
            std::printf("%s: %zu lines for %s, %zu matching no contact\n", list_file.c_str(),
                        list.lines.size(), list.callsign.c_str(), unmatched);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "telvora-sample-logger: %s\n", error.what());
        return 1;
    }
    return 0;
}
