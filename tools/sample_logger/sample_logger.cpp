#include "sample_logger/sample_logger.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "logdb/sqlite.h"
#include "platform/error.h"

namespace telvora::tools {

namespace fs = std::filesystem;

namespace {

// Two-letter region codes; each region has its own count of districts (01..NN).
constexpr std::array<const char*, 80> kRegions = {
    "AB", "AD", "AL", "AM", "AO", "AR", "BA", "BO", "BR", "BU", "CH", "CK", "CU", "DA", "EA", "EV",
    "GO", "HA", "HM", "IR", "IV", "KA", "KB", "KC", "KD", "KE", "KG", "KH", "KI", "KK", "KL", "KM",
    "KN", "KO", "KP", "KR", "KT", "KU", "KY", "LO", "LP", "MA", "MD", "MO", "MU", "NN", "NO", "NS",
    "OB", "OM", "OR", "PE", "PK", "PM", "PS", "RO", "RZ", "SA", "SL", "SM", "SO", "SP", "SR", "ST",
    "SV", "TA", "TB", "TL", "TO", "TT", "TU", "TV", "UD", "UL", "VG", "VL", "VO", "YA", "YN", "ZK"};

constexpr std::array<double, 11> kBands = {1.8,  3.5,  7.0,  10.0, 14.0, 18.0,
                                           21.0, 24.0, 28.0, 50.0, 144.0};
constexpr std::array<const char*, 8> kModes = {"CW",   "SSB", "FT8", "FT4",
                                               "RTTY", "AM",  "FM",  "PSK31"};

// Log names: a plain one, one with a single quote, one with a blank, then more.
constexpr std::array<const char*, 8> kLogNames = {"Main",    "Field's",    "Portable",  "Field Day",
                                                  "Contest", "Expedition", "Satellite", "Archive"};

const std::vector<SampleAward>& Awards() {
    static const std::vector<SampleAward> awards = {{1, "RDA"},  {2, "WAZ"},    {3, "RDA-2020"},
                                                    {4, "DXCC"}, {5, "My RDA"}, {6, "RDA Mixed"},
                                                    {7, "IOTA"}, {8, "RDA CW"}};
    return awards;
}

const std::chrono::sys_days kFirstDay{std::chrono::year{2016} / 1 / 1};
constexpr int kDaySpan = 3288;  // up to 2024-12-31

// The standard fixes mt19937_64's output exactly; the helpers below avoid the
// library-specific distributions so a seed gives the same data everywhere.
class Random {
  public:
    explicit Random(std::uint64_t seed) : engine_(seed) {}
    std::uint64_t Next() { return engine_(); }
    std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }
    bool Chance(double p) { return static_cast<double>(Next() >> 11) * 0x1.0p-53 < p; }
    template <typename T>
    void Shuffle(std::vector<T>& items) {
        for (std::size_t i = items.size(); i > 1; --i) {
            std::swap(items[i - 1], items[Below(i)]);
        }
    }

  private:
    std::mt19937_64 engine_;
};

std::uint64_t Mix(std::uint64_t a, std::uint64_t b) {
    std::uint64_t z = a * 0x9E3779B97F4A7C15ULL + b + 0x632BE59BD9B4E5EBULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::uint64_t HashText(std::string_view text) {
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : text) {
        h = (h ^ c) * 1099511628211ULL;
    }
    return h;
}

int DistrictsOfRegion(std::size_t region) {
    return 8 + static_cast<int>((region * 37) % 45);
}

std::string RandomDistrict(Random& random) {
    const std::size_t region = random.Below(kRegions.size());
    const int number = 1 + static_cast<int>(random.Below(DistrictsOfRegion(region)));
    return Format("%s-%02d", kRegions[region], number);
}

std::string RandomCallsign(Random& random) {
    std::string call = "Q";
    if (random.Chance(0.5)) {
        call += static_cast<char>('A' + random.Below(26));
    }
    call += static_cast<char>('0' + random.Below(10));
    const std::size_t letters = 1 + random.Below(3);
    for (std::size_t i = 0; i < letters; ++i) {
        call += static_cast<char>('A' + random.Below(26));
    }
    return call;
}

struct Station {
    std::string callsign;
    std::string home;
};

std::vector<Station> MakeStations(std::uint64_t seed, int contacts_per_log) {
    Random random(Mix(seed, 0x5747));
    const std::size_t count = std::clamp<std::size_t>(contacts_per_log / 3, 40, 20000);
    std::vector<Station> stations;
    std::set<std::string> seen;
    while (stations.size() < count) {
        std::string call = RandomCallsign(random);
        if (seen.insert(call).second) {
            stations.push_back({std::move(call), RandomDistrict(random)});
        }
    }
    return stations;
}

std::vector<SampleContact> MakeContacts(std::uint64_t seed, std::size_t log_index, int count,
                                        const std::vector<Station>& stations) {
    Random random(Mix(seed, 1000 + log_index));
    std::vector<std::pair<int, int>> moments;  // (day offset, minute of day)
    moments.reserve(count);
    for (int i = 0; i < count; ++i) {
        moments.emplace_back(static_cast<int>(random.Below(kDaySpan)),
                             static_cast<int>(random.Below(24 * 60)));
    }
    std::sort(moments.begin(), moments.end());

    std::vector<SampleContact> contacts;
    contacts.reserve(count);
    for (int i = 0; i < count; ++i) {
        auto [day, minute] = moments[i];
        SampleContact contact;
        contact.id = i + 1;
        if (i > 0 && random.Chance(0.12)) {
            // The same station again that day, on another band or mode.
            const SampleContact& previous = contacts.back();
            contact.callsign = previous.callsign;
            contact.state = previous.state;
            day = static_cast<int>((std::chrono::sys_days{previous.date} - kFirstDay).count());
            const int previous_minute =
                std::stoi(previous.time.substr(0, 2)) * 60 + std::stoi(previous.time.substr(3, 2));
            minute =
                std::min(24 * 60 - 1, previous_minute + 1 + static_cast<int>(random.Below(30)));
        } else {
            const Station& station = stations[random.Below(stations.size())];
            contact.callsign = station.callsign;
            contact.state = station.home;
            if (random.Chance(0.12)) {
                contact.callsign += random.Chance(2.0 / 3.0) ? "/P" : "/M";
                if (random.Chance(0.5)) {
                    contact.state = RandomDistrict(random);
                }
            }
        }
        contact.date = std::chrono::year_month_day{kFirstDay + std::chrono::days{day}};
        contact.time = Format("%02d:%02d", minute / 60, minute % 60);
        contact.band = kBands[random.Below(kBands.size())];
        contact.mode = kModes[random.Below(kModes.size())];
        contacts.push_back(std::move(contact));
    }
    return contacts;
}

std::string DateText(Date date) {
    return Format("%04d-%02u-%02u 00:00:00", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()));
}

// ---- SQLite writing ----

using sqlite::Database;
using sqlite::Statement;

// Runs an insert and readies it for the next row.
void InsertRow(Statement& insert) {
    insert.Run();
    insert.Reset();
}

// Leaves the file in its final journal mode and closes it, so that no -wal file is left
// beside it.
void Finish(Database& db, JournalMode mode) {
    db.Exec(mode == JournalMode::Wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
    db.Close();
}

// Creates `file` and fills it with `build`; every failure names the file.
template <typename Build>
void WriteDatabase(const fs::path& file, Build&& build) {
    std::optional<Database> db;
    try {
        db.emplace(file, Database::Mode::ReadWriteCreate);
    } catch (const Error& error) {
        throw Error(Format("Cannot create %s: %s", file.c_str(), error.what()));
    }
    try {
        build(*db);
    } catch (const Error& error) {
        throw Error(Format("Cannot write %s: %s", file.c_str(), error.what()));
    }
}

void StartBuilding(Database& db) {
    // Built in one go from nothing: no journal needed; the file is renamed into place only
    // once complete.
    db.Exec("PRAGMA journal_mode=OFF");
    db.Exec("PRAGMA synchronous=OFF");
    db.Exec("BEGIN");
}

void WriteLogs(Database& db, const std::vector<SampleLog>& logs, JournalMode mode) {
    StartBuilding(db);
    db.Exec(
        "CREATE TABLE Aconfig (Id INTEGER PRIMARY KEY, LogName TEXT(50), "
        "LogFileName TEXT(50))");
    {
        Statement insert(db, "INSERT INTO Aconfig (Id, LogName, LogFileName) VALUES (?, ?, ?)");
        for (const SampleLog& log : logs) {
            InsertRow(insert.Bind(1, log.id).Bind(2, log.name).Bind(3, log.table));
        }
    }
    for (const SampleLog& log : logs) {
        db.Exec("CREATE TABLE " + log.table +
                " (Id INTEGER PRIMARY KEY, QSODate DATETIME, QSOTime TEXT(5), "
                "CallSign TEXT(20), State TEXT(10), DigiBand REAL, QSOMode TEXT(10))");
        Statement insert(db, "INSERT INTO " + log.table +
                                 " (Id, QSODate, QSOTime, CallSign, State, DigiBand, QSOMode)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?)");
        for (const SampleContact& c : log.contacts) {
            InsertRow(insert.Bind(1, c.id)
                          .Bind(2, DateText(c.date))
                          .Bind(3, c.time)
                          .Bind(4, c.callsign)
                          .Bind(5, c.state)
                          .Bind(6, c.band)
                          .Bind(7, c.mode));
        }
        db.Exec("CREATE INDEX " + log.table + "_QSODate ON " + log.table + " (QSODate)");
    }
    db.Exec("COMMIT");
    Finish(db, mode);
}

void WriteAwards(Database& db, JournalMode mode) {
    StartBuilding(db);
    db.Exec("CREATE TABLE Statistic (Id INTEGER PRIMARY KEY, Description TEXT(100))");
    {
        Statement insert(db, "INSERT INTO Statistic (Id, Description) VALUES (?, ?)");
        for (const SampleAward& award : Awards()) {
            InsertRow(insert.Bind(1, award.id).Bind(2, award.description));
        }
    }
    db.Exec(
        "CREATE TABLE Avtozachet (Id INTEGER PRIMARY KEY AUTOINCREMENT, Awards INTEGER, "
        "CallSign TEXT(20), QSODate DATETIME, QSOTime TEXT(5), DigiBand REAL, "
        "QSOMode TEXT(10))");
    db.Exec("CREATE INDEX Avtozachet_Search ON Avtozachet (QSODate, CallSign, QSOTime)");
    db.Exec("COMMIT");
    Finish(db, mode);
}

void RemoveDatabase(const fs::path& file) {
    for (const char* extra : {"", "-wal", "-shm", "-journal"}) {
        std::error_code ec;
        fs::remove(fs::path(file.string() + extra), ec);
        if (ec) {
            throw Error(
                Format("Cannot remove %s%s: %s", file.c_str(), extra, ec.message().c_str()));
        }
    }
}

// A partly written database file that is removed unless it was moved into place.
class PartialFile {
  public:
    explicit PartialFile(fs::path final_path)
        : final_(std::move(final_path)), partial_(final_.string() + ".partial") {
        RemoveDatabase(partial_);
    }
    ~PartialFile() {
        if (!committed_) {
            try {
                RemoveDatabase(partial_);
            } catch (...) {
            }
        }
    }
    const fs::path& path() const { return partial_; }
    void MoveIntoPlace() {
        RemoveDatabase(final_);
        std::error_code ec;
        fs::rename(partial_, final_, ec);
        if (ec) {
            throw Error(
                Format("Cannot move %s into place: %s", final_.c_str(), ec.message().c_str()));
        }
        committed_ = true;
    }

  private:
    fs::path final_;
    fs::path partial_;
    bool committed_ = false;
};

std::string ListDate(Date date) {
    return Format("%02u.%02u.%04d", unsigned(date.day()), unsigned(date.month()), int(date.year()));
}

}  // namespace

std::string SampleContact::BaseCallsign() const {
    const auto slash = callsign.find('/');
    return slash == std::string::npos ? callsign : callsign.substr(0, slash);
}

bool SampleAward::IsRda() const {
    return description.starts_with("RDA");
}

SampleLogger MakeSampleLogger(const SampleLoggerOptions& options) {
    if (options.folder.empty()) {
        throw Error("The sample logger needs a folder");
    }
    if (options.logs < 1) {
        throw Error(Format("A sample logger needs at least one log (asked for %d)", options.logs));
    }
    if (options.contacts_per_log < 0) {
        throw Error(Format("Invalid number of contacts: %d", options.contacts_per_log));
    }

    SampleLogger logger;
    logger.folder = options.folder;
    logger.logs_db = options.folder / "db" / "logs.mdb";
    logger.awards_db = options.folder / "db" / "awards.mdb";
    logger.awards = Awards();

    for (const fs::path& file : {logger.logs_db, logger.awards_db}) {
        if (!options.replace_existing && fs::exists(fs::symlink_status(file))) {
            throw Error(Format("%s already exists; not replacing it", file.c_str()));
        }
    }
    std::error_code ec;
    fs::create_directories(options.folder / "db", ec);
    if (ec) {
        throw Error(
            Format("Cannot create %s: %s", (options.folder / "db").c_str(), ec.message().c_str()));
    }

    const std::vector<Station> stations = MakeStations(options.seed, options.contacts_per_log);
    for (int i = 0; i < options.logs; ++i) {
        SampleLog log;
        log.id = i + 1;
        log.name = i < static_cast<int>(kLogNames.size()) ? kLogNames[i] : Format("Log %d", i + 1);
        log.table = Format("Log%d", i + 1);
        log.contacts = MakeContacts(options.seed, i, options.contacts_per_log, stations);
        logger.logs.push_back(std::move(log));
    }

    PartialFile logs_file(logger.logs_db);
    PartialFile awards_file(logger.awards_db);
    WriteDatabase(logs_file.path(),
                  [&](Database& db) { WriteLogs(db, logger.logs, options.logs_journal); });
    WriteDatabase(awards_file.path(),
                  [&](Database& db) { WriteAwards(db, options.awards_journal); });
    logs_file.MoveIntoPlace();
    awards_file.MoveIntoPlace();
    return logger;
}

// ---- the district list ----

namespace {

class ContactIndex {
  public:
    explicit ContactIndex(const SampleLogger& logger) : logger_(logger) {
        for (std::size_t l = 0; l < logger.logs.size(); ++l) {
            const auto& contacts = logger.logs[l].contacts;
            for (std::size_t c = 0; c < contacts.size(); ++c) {
                by_day_and_state_[Key(contacts[c].date, contacts[c].state)].push_back({l, c});
            }
        }
    }

    // What the contact search finds: same date, same State, CallSign beginning with the
    // callsign (the sample callsigns hold no LIKE wildcards and are upper case).
    std::vector<ContactRef> Matches(Date date, const std::string& district,
                                    const std::string& callsign) const {
        std::vector<ContactRef> found;
        const auto it = by_day_and_state_.find(Key(date, district));
        if (it == by_day_and_state_.end()) {
            return found;
        }
        for (const ContactRef& ref : it->second) {
            if (Contact(ref).callsign.starts_with(callsign)) {
                found.push_back(ref);
            }
        }
        return found;
    }

    const SampleContact& Contact(const ContactRef& ref) const {
        return logger_.logs[ref.log].contacts[ref.contact];
    }

  private:
    static std::string Key(Date date, const std::string& state) {
        return ListDate(date) + "|" + state;
    }
    const SampleLogger& logger_;
    std::unordered_map<std::string, std::vector<ContactRef>> by_day_and_state_;
};

DistrictLine MakeLine(std::string district, std::string callsign, Date date, LineKind kind) {
    DistrictLine line;
    line.text = district + "," + callsign + "," + ListDate(date);
    line.district = std::move(district);
    line.callsign = std::move(callsign);
    line.date = date;
    line.kind = kind;
    return line;
}

}  // namespace

std::string DistrictList::Text() const {
    std::string text;
    for (const DistrictLine& line : lines) {
        text += line.text;
        text += "\r\n";
    }
    return text;
}

DistrictList MakeDistrictList(const SampleLogger& logger, const DistrictListOptions& options) {
    if (options.lines < 0) {
        throw Error(Format("Invalid number of list lines: %d", options.lines));
    }
    const double matching_share = std::clamp(options.matching_share, 0.0, 1.0);
    const double suffixed_share = std::clamp(options.suffixed_share, 0.0, 1.0);
    const auto matching = static_cast<std::size_t>(std::lround(options.lines * matching_share));
    const auto suffixed = static_cast<std::size_t>(std::lround(matching * suffixed_share));
    const std::size_t confirmed = matching - suffixed;
    const std::size_t unmatched = static_cast<std::size_t>(options.lines) - matching;

    Random random(Mix(options.seed, HashText(options.callsign)));
    const ContactIndex index(logger);

    std::vector<ContactRef> plain_refs, suffixed_refs;
    for (std::size_t l = 0; l < logger.logs.size(); ++l) {
        for (std::size_t c = 0; c < logger.logs[l].contacts.size(); ++c) {
            const bool has_suffix =
                logger.logs[l].contacts[c].callsign.find('/') != std::string::npos;
            (has_suffix ? suffixed_refs : plain_refs).push_back({l, c});
        }
    }
    random.Shuffle(plain_refs);
    random.Shuffle(suffixed_refs);

    DistrictList list;
    list.callsign = options.callsign;
    std::set<std::string> used;
    auto add = [&](DistrictLine line) {
        if (!used.insert(line.text).second) {
            return false;
        }
        list.lines.push_back(std::move(line));
        return true;
    };

    auto take_from = [&](const std::vector<ContactRef>& refs, std::size_t wanted, LineKind kind) {
        std::size_t taken = 0;
        for (std::size_t i = 0; i < refs.size() && taken < wanted; ++i) {
            const SampleContact& contact = index.Contact(refs[i]);
            DistrictLine line = MakeLine(contact.state, contact.BaseCallsign(), contact.date, kind);
            line.matches = index.Matches(line.date, line.district, line.callsign);
            if (add(std::move(line))) {
                ++taken;
            }
        }
    };
    take_from(plain_refs, confirmed, LineKind::Confirmed);
    take_from(suffixed_refs, suffixed, LineKind::Suffixed);

    // Unmatched lines look like real ones: a known station on another day or in another
    // district, or a station that is in no log. Each is checked against every contact.
    std::size_t made = 0;
    for (std::size_t attempt = 0; made < unmatched && attempt < 50 * unmatched + 100; ++attempt) {
        std::string district, callsign;
        Date date;
        const std::size_t strategy = plain_refs.empty() ? 2 : random.Below(3);
        if (strategy == 2) {
            district = RandomDistrict(random);
            callsign = RandomCallsign(random);
            date =
                std::chrono::year_month_day{kFirstDay + std::chrono::days{random.Below(kDaySpan)}};
        } else {
            const SampleContact& contact =
                index.Contact(plain_refs[random.Below(plain_refs.size())]);
            callsign = contact.BaseCallsign();
            district = contact.state;
            date = contact.date;
            if (strategy == 0) {
                date = std::chrono::year_month_day{std::chrono::sys_days{date} +
                                                   std::chrono::days{1 + random.Below(400)}};
            } else {
                district = RandomDistrict(random);
            }
        }
        if (!index.Matches(date, district, callsign).empty()) {
            continue;
        }
        if (add(MakeLine(district, callsign, date, LineKind::Unmatched))) {
            ++made;
        }
    }

    random.Shuffle(list.lines);
    return list;
}

void WriteDistrictList(const DistrictList& list, const fs::path& file) {
    const std::string text = list.Text();
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        throw Error(Format("Cannot write %s", file.c_str()));
    }
}

}  // namespace telvora::tools
