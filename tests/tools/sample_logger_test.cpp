// The sample-logger generator is the source of test data for the whole project, so its
// databases must hold exactly what it reports, and its district lists must match exactly the
// contacts they claim to match when searched the way the contact search does.
#include "sample_logger/sample_logger.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "logdb/sqlite.h"
#include "platform/error.h"
#include "temp_dir.h"

namespace telvora::tools {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;
using Row = std::vector<std::string>;

// A look into a generated file; Null reads as "<null>".
class Db {
  public:
    explicit Db(const fs::path& file) : db_(file, sqlite::Database::Mode::ReadWrite) {}

    std::vector<Row> Query(const std::string& sql, const std::vector<std::string>& params = {}) {
        sqlite::Statement statement(db_, sql);
        for (std::size_t i = 0; i < params.size(); ++i) {
            statement.Bind(static_cast<int>(i + 1), std::string_view(params[i]));
        }
        std::vector<Row> rows;
        while (statement.Step()) {
            Row row;
            for (int c = 0; c < statement.ColumnCount(); ++c) {
                row.push_back(statement.ColumnType(c) == sqlite::Type::Null
                                  ? "<null>"
                                  : statement.ColumnText(c));
            }
            rows.push_back(row);
        }
        return rows;
    }

    std::vector<std::string> Column(const std::string& sql) {
        std::vector<std::string> values;
        for (const Row& row : Query(sql)) {
            values.push_back(row.at(0));
        }
        return values;
    }

  private:
    sqlite::Database db_;
};

std::string DateText(Date date) {
    return Format("%04d-%02u-%02u 00:00:00", int(date.year()), unsigned(date.month()),
                  unsigned(date.day()));
}

SampleLoggerOptions Options(const fs::path& folder, int logs, int contacts, std::uint64_t seed) {
    SampleLoggerOptions options;
    options.folder = folder;
    options.logs = logs;
    options.contacts_per_log = contacts;
    options.seed = seed;
    return options;
}

TEST(SampleLoggerTest, SchemaHoldsTheTablesColumnsAndIndexesTheProgramRelieson) {
    test::TempDir dir;
    const SampleLogger logger = MakeSampleLogger(Options(dir.path(), 3, 200, 5));
    EXPECT_EQ(logger.logs_db, dir.path() / "db" / "logs.mdb");
    EXPECT_EQ(logger.awards_db, dir.path() / "db" / "awards.mdb");

    Db logs(logger.logs_db);
    EXPECT_THAT(logs.Query("SELECT Id, LogName, LogFileName FROM Aconfig ORDER BY Id"),
                ElementsAre(Row{"1", "Main", "Log1"}, Row{"2", "Field's", "Log2"},
                            Row{"3", "Portable", "Log3"}));
    for (const SampleLog& log : logger.logs) {
        SCOPED_TRACE(log.table);
        // Same columns in the same order in every log table: the contact search joins them.
        EXPECT_THAT(
            logs.Column("SELECT name FROM pragma_table_info('" + log.table + "')"),
            ElementsAre("Id", "QSODate", "QSOTime", "CallSign", "State", "DigiBand", "QSOMode"));
        EXPECT_THAT(logs.Column("SELECT name FROM pragma_index_info((SELECT name FROM "
                                "sqlite_master WHERE type='index' AND tbl_name='" +
                                log.table + "'))"),
                    ElementsAre("QSODate"));
    }

    Db awards(logger.awards_db);
    EXPECT_THAT(awards.Column("SELECT name FROM pragma_table_info('Statistic')"),
                ElementsAre("Id", "Description"));
    EXPECT_THAT(
        awards.Column("SELECT name FROM pragma_table_info('Avtozachet')"),
        ElementsAre("Id", "Awards", "CallSign", "QSODate", "QSOTime", "DigiBand", "QSOMode"));
    EXPECT_THAT(awards.Column("SELECT name FROM pragma_index_info((SELECT name FROM "
                              "sqlite_master WHERE type='index' AND tbl_name='Avtozachet'))"),
                ElementsAre("QSODate", "CallSign", "QSOTime"));
    EXPECT_THAT(awards.Column("SELECT COUNT(*) FROM Avtozachet"), ElementsAre("0"));

    // Awards that the "RDA%" pattern takes and ones it must leave out.
    const auto rda =
        awards.Column("SELECT Description FROM Statistic WHERE Description LIKE 'RDA%'");
    EXPECT_THAT(rda, ::testing::IsSupersetOf({"RDA", "RDA-2020"}));
    EXPECT_THAT(rda, ::testing::Not(::testing::Contains("My RDA")));
    EXPECT_THAT(awards.Column("SELECT Description FROM Statistic"),
                ::testing::IsSupersetOf({"My RDA", "WAZ"}));
    std::vector<Row> reported;
    for (const SampleAward& award : logger.awards) {
        reported.push_back({std::to_string(award.id), award.description});
    }
    EXPECT_EQ(awards.Query("SELECT Id, Description FROM Statistic ORDER BY Id"), reported);
}

TEST(SampleLoggerTest, DatabasesHoldExactlyTheReportedContacts) {
    test::TempDir dir;
    const SampleLogger logger = MakeSampleLogger(Options(dir.path(), 2, 500, 11));
    Db logs(logger.logs_db);
    for (const SampleLog& log : logger.logs) {
        std::vector<Row> expected;
        for (const SampleContact& c : log.contacts) {
            expected.push_back({std::to_string(c.id), DateText(c.date), c.time, c.callsign, c.state,
                                Format("%.1f", c.band), c.mode});
        }
        EXPECT_EQ(logs.Query("SELECT Id, QSODate, QSOTime, CallSign, State, "
                             "printf('%.1f', DigiBand), QSOMode FROM " +
                             log.table + " ORDER BY Id"),
                  expected)
            << log.table;
        EXPECT_THAT(logs.Column("SELECT DISTINCT typeof(DigiBand) FROM " + log.table),
                    ElementsAre("real"));
    }
}

TEST(SampleLoggerTest, ContactsAreRealisticEnoughToExerciseTheSearch) {
    test::TempDir dir;
    const SampleLogger logger = MakeSampleLogger(Options(dir.path(), 1, 2000, 3));
    std::size_t portable = 0, mobile = 0, repeated_same_day = 0;
    std::set<std::string> regions;
    std::map<std::string, int> per_call_and_day;
    for (const SampleContact& c : logger.logs[0].contacts) {
        portable += c.callsign.ends_with("/P");
        mobile += c.callsign.ends_with("/M");
        ASSERT_EQ(c.state.size(), 5u) << c.state;
        EXPECT_EQ(c.state[2], '-');
        EXPECT_TRUE(std::isupper(c.state[0]) && std::isupper(c.state[1]) &&
                    std::isdigit(c.state[3]) && std::isdigit(c.state[4]))
            << c.state;
        regions.insert(c.state.substr(0, 2));
        ASSERT_EQ(c.time.size(), 5u);
        EXPECT_EQ(c.time[2], ':');
        if (++per_call_and_day[c.callsign + DateText(c.date)] == 2) {
            ++repeated_same_day;
        }
    }
    EXPECT_GT(portable, 0u);
    EXPECT_GT(mobile, 0u);
    EXPECT_GT(repeated_same_day, 0u);
    EXPECT_GT(regions.size(), 60u);
}

TEST(SampleLoggerTest, SameSeedGivesTheSameFilesAndAnotherSeedOtherContacts) {
    test::TempDir dir;
    const SampleLogger a = MakeSampleLogger(Options(dir / "a", 2, 300, 42));
    const SampleLogger b = MakeSampleLogger(Options(dir / "b", 2, 300, 42));
    const SampleLogger c = MakeSampleLogger(Options(dir / "c", 2, 300, 43));
    EXPECT_EQ(test::ReadFileBytes(a.logs_db), test::ReadFileBytes(b.logs_db));
    EXPECT_EQ(test::ReadFileBytes(a.awards_db), test::ReadFileBytes(b.awards_db));
    EXPECT_NE(test::ReadFileBytes(a.logs_db), test::ReadFileBytes(c.logs_db));

    DistrictListOptions list;
    list.lines = 50;
    EXPECT_EQ(MakeDistrictList(a, list).Text(), MakeDistrictList(b, list).Text());
    DistrictListOptions other = list;
    other.callsign = "Q1OTHER";
    EXPECT_NE(MakeDistrictList(a, list).Text(), MakeDistrictList(a, other).Text());
}

TEST(SampleLoggerTest, JournalModeOfEachFileIsAsAsked) {
    struct Case {
        JournalMode logs, awards;
        const char* logs_mode;
        const char* awards_mode;
    };
    for (const Case& c : {Case{JournalMode::Delete, JournalMode::Delete, "delete", "delete"},
                          Case{JournalMode::Wal, JournalMode::Delete, "wal", "delete"},
                          Case{JournalMode::Delete, JournalMode::Wal, "delete", "wal"}}) {
        test::TempDir dir;
        SampleLoggerOptions options = Options(dir.path(), 1, 10, 1);
        options.logs_journal = c.logs;
        options.awards_journal = c.awards;
        const SampleLogger logger = MakeSampleLogger(options);
        // Nothing but the two finished files is left in db/ (looked at before a reader opens
        // them, which makes WAL side files of its own).
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path() / "db")) {
            names.insert(entry.path().filename().string());
        }
        EXPECT_EQ(names, (std::set<std::string>{"awards.mdb", "logs.mdb"}));
        EXPECT_THAT(Db(logger.logs_db).Column("PRAGMA journal_mode"), ElementsAre(c.logs_mode));
        EXPECT_THAT(Db(logger.awards_db).Column("PRAGMA journal_mode"), ElementsAre(c.awards_mode));
    }
}

TEST(SampleLoggerTest, ExistingDatabasesAreReplacedOnlyWhenAsked) {
    test::TempDir dir;
    fs::create_directories(dir.path() / "db");
    test::WriteFileBytes(dir.path() / "db" / "awards.mdb", "the user's own data");
    EXPECT_THROW(MakeSampleLogger(Options(dir.path(), 1, 10, 1)), Error);
    EXPECT_EQ(test::ReadFileBytes(dir.path() / "db" / "awards.mdb"), "the user's own data");
    EXPECT_FALSE(fs::exists(dir.path() / "db" / "logs.mdb"));

    SampleLoggerOptions options = Options(dir.path(), 1, 10, 1);
    options.replace_existing = true;
    const SampleLogger logger = MakeSampleLogger(options);
    EXPECT_THAT(Db(logger.awards_db).Column("SELECT COUNT(*) FROM Avtozachet"), ElementsAre("0"));
}

TEST(SampleLoggerTest, InvalidOptionsAreRefused) {
    test::TempDir dir;
    EXPECT_THROW(MakeSampleLogger(Options(dir.path(), 0, 10, 1)), Error);
    EXPECT_THROW(MakeSampleLogger(Options(dir.path(), 1, -1, 1)), Error);
    EXPECT_THROW(MakeSampleLogger(Options({}, 1, 10, 1)), Error);
    EXPECT_FALSE(fs::exists(dir.path() / "db"));
}

// Each line's claimed matches are exactly what a LIKE search of every log table finds.
TEST(SampleLoggerTest, DistrictListLinesMatchExactlyTheContactsTheyClaim) {
    test::TempDir dir;
    const SampleLogger logger = MakeSampleLogger(Options(dir.path(), 3, 3000, 9));
    DistrictListOptions options;
    options.lines = 300;
    options.matching_share = 0.8;
    options.suffixed_share = 0.25;
    const DistrictList list = MakeDistrictList(logger, options);

    ASSERT_EQ(list.lines.size(), 300u);
    std::map<LineKind, int> kinds;
    std::set<std::string> texts;
    Db logs(logger.logs_db);
    for (const DistrictLine& line : list.lines) {
        SCOPED_TRACE(line.text);
        ++kinds[line.kind];
        EXPECT_TRUE(texts.insert(line.text).second) << "duplicate line";
        EXPECT_EQ(line.text, line.district + "," + line.callsign + "," +
                                 Format("%02u.%02u.%04d", unsigned(line.date.day()),
                                        unsigned(line.date.month()), int(line.date.year())));
        EXPECT_EQ(line.callsign.find('/'), std::string::npos);

        std::vector<std::string> found, claimed;
        for (std::size_t l = 0; l < logger.logs.size(); ++l) {
            for (const Row& row :
                 logs.Query("SELECT Id FROM " + logger.logs[l].table +
                                " WHERE QSODate=? AND CallSign LIKE ? AND State = ?",
                            {DateText(line.date), line.callsign + "%", line.district})) {
                found.push_back(logger.logs[l].table + "#" + row[0]);
            }
        }
        for (const ContactRef& ref : line.matches) {
            claimed.push_back(logger.logs[ref.log].table + "#" +
                              std::to_string(logger.logs[ref.log].contacts[ref.contact].id));
        }
        EXPECT_THAT(claimed, UnorderedElementsAreArray(found));
        EXPECT_EQ(line.matches.empty(), line.kind == LineKind::Unmatched);
        if (line.kind == LineKind::Suffixed) {
            EXPECT_TRUE(std::any_of(line.matches.begin(), line.matches.end(), [&](auto ref) {
                return logger.logs[ref.log].contacts[ref.contact].callsign.find('/') !=
                       std::string::npos;
            }));
        }
    }
    EXPECT_EQ(kinds[LineKind::Unmatched], 60);
    EXPECT_EQ(kinds[LineKind::Suffixed], 60);
    EXPECT_EQ(kinds[LineKind::Confirmed], 180);

    // The file form: every line followed by CR LF, nothing else.
    const fs::path file = dir / "list.txt";
    WriteDistrictList(list, file);
    const std::string bytes = test::ReadFileBytes(file);
    EXPECT_EQ(bytes, list.Text());
    EXPECT_TRUE(bytes.ends_with("\r\n"));
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 300);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 300);
}

TEST(SampleLoggerTest, DistrictListFromEmptyLogsHoldsOnlyUnmatchedLines) {
    test::TempDir dir;
    const SampleLogger logger = MakeSampleLogger(Options(dir.path(), 1, 0, 2));
    DistrictListOptions options;
    options.lines = 10;
    const DistrictList list = MakeDistrictList(logger, options);
    EXPECT_EQ(list.lines.size(), 2u);  // the 20% that match nothing; no contact to confirm
    for (const DistrictLine& line : list.lines) {
        EXPECT_EQ(line.kind, LineKind::Unmatched);
    }
}

}  // namespace
}  // namespace telvora::tools
