// Sample logger installations for tests, the demo and the benchmarks: a folder holding the
// companion logger's db/logs.mdb and db/awards.mdb as SQLite files filled with realistic,
// seeded contacts, and the district list that the district-list service would send for them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/datetime.h"

namespace telvora::tools {

enum class JournalMode { Delete, Wal };

struct SampleLoggerOptions {
    std::filesystem::path folder;  // the installation folder; db/ is created inside it
    int logs = 3;                  // log tables named in Aconfig (1 or more)
    int contacts_per_log = 1000;   // 0 or more
    std::uint64_t seed = 1;
    JournalMode logs_journal = JournalMode::Delete;
    JournalMode awards_journal = JournalMode::Delete;
    // Existing db/logs.mdb or db/awards.mdb are replaced only when this is set; otherwise
    // MakeSampleLogger fails and leaves them alone.
    bool replace_existing = false;
};

struct SampleContact {
    std::int64_t id = 0;   // the row's Id in its log table
    Date date;             // QSODate, stored as "YYYY-MM-DD 00:00:00"
    std::string time;      // QSOTime "HH:MM"
    std::string callsign;  // as logged, possibly with "/P" or "/M"
    std::string state;     // district, e.g. "TB-02"
    double band = 0;       // DigiBand in MHz, e.g. 14.0
    std::string mode;      // QSOMode, e.g. "CW"

    // The callsign without a "/P" or "/M" suffix.
    std::string BaseCallsign() const;
};

struct SampleLog {
    std::int64_t id = 0;                  // Aconfig.Id
    std::string name;                     // Aconfig.LogName, e.g. "Main", "Field's"
    std::string table;                    // Aconfig.LogFileName, e.g. "Log1"
    std::vector<SampleContact> contacts;  // in Id order
};

struct SampleAward {
    std::int64_t id = 0;
    std::string description;
    bool IsRda() const;  // Description begins with "RDA"
};

struct SampleLogger {
    std::filesystem::path folder;
    std::filesystem::path logs_db;    // folder/db/logs.mdb
    std::filesystem::path awards_db;  // folder/db/awards.mdb
    std::vector<SampleLog> logs;      // in Aconfig order
    std::vector<SampleAward> awards;  // in Statistic order
};

// Writes the two databases (each in one transaction, replacing nothing unless asked) and
// returns what they hold. Deterministic for a given seed and sizes. Throws telvora::Error.
SampleLogger MakeSampleLogger(const SampleLoggerOptions& options);

// ---- the district list ----

enum class LineKind {
    Confirmed,  // taken from a contact logged without suffix
    Suffixed,   // taken from a contact logged with /P or /M; the line carries the bare callsign
    Unmatched,  // matches no contact of any log
};

struct ContactRef {
    std::size_t log = 0;      // index into SampleLogger::logs
    std::size_t contact = 0;  // index into that log's contacts
    bool operator==(const ContactRef&) const = default;
};

struct DistrictLine {
    std::string text;  // "District,Callsign,DD.MM.YYYY", without line break
    std::string district;
    std::string callsign;
    Date date;
    LineKind kind = LineKind::Confirmed;
    // Every contact of every log that this line matches: same date, same State, a CallSign
    // that begins with the line's callsign. Empty exactly for Unmatched lines.
    std::vector<ContactRef> matches;
};

struct DistrictListOptions {
    std::string callsign = "Q9TEST";  // whose list it is; it varies the lines chosen
    int lines = 100;                  // total lines; fewer when the logs hold too few contacts
    double matching_share = 0.8;      // share of lines that match a contact
    double suffixed_share = 0.25;     // share of the matching lines taken from suffixed contacts
    std::uint64_t seed = 1;
};

struct DistrictList {
    std::string callsign;
    std::vector<DistrictLine> lines;  // in list order (shuffled kinds)
    // The list as the service sends it: every line followed by CR LF.
    std::string Text() const;
};

// Deterministic for the same logger, options and seed. Lines are distinct.
DistrictList MakeDistrictList(const SampleLogger& logger, const DistrictListOptions& options);

// Writes DistrictList::Text() to the file (replacing it). Throws telvora::Error.
void WriteDistrictList(const DistrictList& list, const std::filesystem::path& file);

}  // namespace telvora::tools
