// The credit run against real SQLite files (generator) and the HTTPS service on loopback,
// driven through a recording stand-in for the window.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include <clocale>
#include <functional>

#include "credit/credit_run.h"
#include "credit/error_list.h"
#include "credit_scene.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/error.h"
#include "test_engines.h"

namespace telvora::credit {
namespace {

using test::CreditScene;
using test::StoredCredit;
using tools::LineKind;

class RecordingWindow : public RunWindow {
  public:
    std::vector<int> progress;
    std::vector<std::string> warnings;
    std::vector<std::filesystem::path> opened;
    std::string awardId;
    int messageCalls = 0;
    bool stop = false;
    std::function<void(int)> onMessages;  // called with the number of the call, from 1

    void SetProgress(int position) override { progress.push_back(position); }
    void ProcessMessages() override {
        ++messageCalls;
        if (onMessages) {
            onMessages(messageCalls);
        }
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    std::string SelectedAwardId() const override { return awardId; }
    void OpenErrorList(const std::filesystem::path& file) override { opened.push_back(file); }
    bool StopRequested() const override { return stop; }
};

// The run over each engine: SQLite, and ODBC through the SQLite driver or the Access driver's
// stand-in.
class CreditRunTest : public testing::TestWithParam<test::TestEngine> {
  protected:
    CreditRunTest() {
        databases.SetEngine(test::UseEngine(GetParam()));
        databases.OpenDatabases({scene.logger.logs_db.string(), scene.logger.awards_db.string()});
        window.awardId = scene.RdaAwardId();
    }

    // Every log ticked, the award shown.
    RunInputs AllLogs(const std::string& callsign) const {
        RunInputs inputs{callsign, {}, "RDA"};
        for (const auto& log : scene.logger.logs) {
            inputs.checkedLogs.push_back(log.name);
        }
        return inputs;
    }

    void Run(const RunInputs& inputs) { run.Execute(inputs, window); }

    std::string RunFailure(const RunInputs& inputs) {
        try {
            Run(inputs);
        } catch (const std::exception& error) {
            return error.what();
        }
        ADD_FAILURE() << "the run did not fail";
        return {};
    }

    const tools::SampleContact& Contact(const tools::ContactRef& ref) const {
        return scene.logger.logs[ref.log].contacts[ref.contact];
    }

    test::ScopedEnv locale{"LC_ALL", "C"};  // the short date is then MM/DD/YY
    CreditScene scene;
    logdb::LoggerDatabases databases;
    districts::NetHTTPClient client;
    std::filesystem::path errorListFile = scene.dir / "ErrorList.txt";
    CreditRun run{databases,
                  [this](const std::string& callsign) {
                      return districts::DownloadDistrictList(client, scene.service.BaseUrl(),
                                                             callsign);
                  },
                  errorListFile};
    RecordingWindow window;
};

TEST_P(CreditRunTest, MissingInputShowsTheWarningAndDoesNothingElse) {
    scene.ServeGenerated("Q9TEST", 10);
    struct Case {
        const char* name;
        RunInputs inputs;
    };
    const Case cases[] = {
        {"no callsign", {"", {"Main"}, "RDA"}},
        {"no award", {"Q9TEST", {"Main"}, ""}},
        {"no log ticked", {"Q9TEST", {}, "RDA"}},
        {"nothing at all", {"", {}, ""}},
    };
    for (const Case& c : cases) {
        window = RecordingWindow{};
        Run(c.inputs);
        EXPECT_EQ(window.warnings, std::vector<std::string>{"Check all parametrs."}) << c.name;
        EXPECT_EQ(window.progress, std::vector<int>{0}) << c.name;
        EXPECT_EQ(window.messageCalls, 0) << c.name;
    }
    EXPECT_TRUE(scene.service.Requests().empty());
    EXPECT_TRUE(scene.Credits().empty());
    EXPECT_FALSE(std::filesystem::exists(errorListFile));
}

TEST_P(CreditRunTest, CallsignIsCheckedUntrimmedAndDownloadedTrimmed) {
    const struct {
        const char* typed;
        const char* sent;
    } cases[] = {{"  Q9TEST \t", "/csv?call=Q9TEST"}, {"   ", "/csv?call="}};
    for (const auto& c : cases) {
        scene.service.ClearRequests();
        Run(AllLogs(c.typed));
        EXPECT_TRUE(window.warnings.empty()) << c.typed;
        ASSERT_EQ(scene.service.Requests().size(), 1u) << c.typed;
        EXPECT_EQ(scene.service.Requests()[0].target, c.sent);
    }
}

TEST_P(CreditRunTest, FullRunCreditsMatchesSkipsCreditedAndListsTheRestInOrder) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 40);
    // One matched contact already holds a credit (of another award): it is skipped.
    const tools::DistrictLine* precredited = nullptr;
    for (const auto& line : list.lines) {
        if (line.kind == LineKind::Confirmed && line.matches.size() == 1) {
            precredited = &line;
            break;
        }
    }
    ASSERT_NE(precredited, nullptr);
    const auto& old = Contact(precredited->matches[0]);
    scene.ExecAwards("INSERT INTO Avtozachet (Awards, CallSign, QSODate, QSOTime) VALUES (999, '" +
                     old.callsign + "', '" + FormatDateTime(AtMidnight(old.date)) + "', '" +
                     old.time + "')");

    Run(AllLogs("Q9TEST"));

    std::vector<std::string> expectedErrors;
    size_t expectedCredits = 1;
    for (const auto& line : list.lines) {
        if (line.kind == LineKind::Unmatched) {
            char date[16];
            std::snprintf(date, sizeof date, "%02u/%02u/%02d", unsigned(line.date.month()),
                          unsigned(line.date.day()), int(line.date.year()) % 100);
            expectedErrors.push_back(std::string(date) + " " + line.callsign + " " + line.district);
        } else if (&line != precredited) {
            ++expectedCredits;
        }
    }
    ASSERT_FALSE(expectedErrors.empty());

    const std::vector<StoredCredit> credits = scene.Credits();
    ASSERT_EQ(credits.size(), expectedCredits);
    // Every new credit copies a contact the line matches, under the chosen award.
    size_t next = 1;
    for (const auto& line : list.lines) {
        if (line.kind == LineKind::Unmatched || &line == precredited) {
            continue;
        }
        const StoredCredit& credit = credits[next++];
        EXPECT_EQ(credit.awards, window.awardId);
        bool copiesAMatch = false;
        for (const auto& ref : line.matches) {
            const auto& contact = Contact(ref);
            copiesAMatch |= credit.callsign == contact.callsign &&
                            credit.qsoDate == FormatDateTime(AtMidnight(contact.date)) &&
                            credit.qsoTime == contact.time && credit.qsoMode == contact.mode;
        }
        EXPECT_TRUE(copiesAMatch) << line.text;
    }

    std::string expectedFile;
    for (const auto& line : expectedErrors) {
        expectedFile += line + "\r\n";
    }
    EXPECT_EQ(test::ReadFileBytes(errorListFile), expectedFile);
    EXPECT_EQ(window.opened, std::vector<std::filesystem::path>{errorListFile});
    EXPECT_EQ(window.progress.back(), 100);
    EXPECT_EQ(window.messageCalls, int(list.lines.size()));

    // As the Access driver's stand-in received them: one contact search per line, every log
    // table quoted, one credit check per contact found and one insert per credit.
    if (GetParam().jet) {
        std::vector<std::string> searches;
        for (const auto& received : test::StatementsReceived(scene.logger.logs_db)) {
            if (!received.text.starts_with("SELECT * FROM Aconfig")) {
                searches.push_back(received.text);
            }
        }
        std::vector<std::string> expectedSearches;
        for (const auto& line : list.lines) {
            std::string text;
            for (const auto& log : scene.logger.logs) {
                text += (text.empty() ? "SELECT * FROM `" : " UNION ALL SELECT * FROM `") +
                        log.table + "` WHERE QSODate=? AND CallSign LIKE '" + line.callsign +
                        "%' AND State = '" + line.district + "'";
            }
            expectedSearches.push_back(text + "\r\n");
        }
        EXPECT_EQ(searches, expectedSearches);
        std::size_t checks = 0, inserts = 0;
        for (const auto& received : test::StatementsReceived(scene.logger.awards_db)) {
            checks += received.text.starts_with(
                "SELECT * \r\nFROM Avtozachet\r\nWHERE QSODate =? "
                "and CallSign = '");
            inserts += received.text ==
                       "INSERT INTO `Avtozachet` (`Awards`, `CallSign`, `QSODate`, `QSOTime`, "
                       "`DigiBand`, `QSOMode`) VALUES (?, ?, ?, ?, ?, ?)";
        }
        EXPECT_EQ(checks, list.lines.size() - expectedErrors.size());
        EXPECT_EQ(inserts, expectedCredits - 1);
    }
}

// A line without a callsign names no contact: it credits none, though every contact of its day
// and district would match an empty prefix, and goes to the error list.
TEST_P(CreditRunTest, AnEntryWithoutACallsignMatchesNothing) {
    const auto& contact = scene.logger.logs[0].contacts[0];
    char date[16];
    std::snprintf(date, sizeof date, "%02u.%02u.%04d", unsigned(contact.date.day()),
                  unsigned(contact.date.month()), int(contact.date.year()));
    scene.Serve("Q9TEST", {contact.state + ",," + date});
    Run(AllLogs("Q9TEST"));
    EXPECT_TRUE(scene.Credits().empty());
    char shortDate[16];
    std::snprintf(shortDate, sizeof shortDate, "%02u/%02u/%02d", unsigned(contact.date.month()),
                  unsigned(contact.date.day()), int(contact.date.year()) % 100);
    EXPECT_EQ(test::ReadFileBytes(errorListFile),
              std::string(shortDate) + "  " + contact.state + "\r\n");
}

TEST_P(CreditRunTest, RerunAppendsNothingAgainAlsoForSuffixedContacts) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 30, 1.0, 0.5);
    bool hasSuffixed = false;
    for (const auto& line : list.lines) {
        hasSuffixed |= line.kind == LineKind::Suffixed;
    }
    ASSERT_TRUE(hasSuffixed);

    Run(AllLogs("Q9TEST"));
    const auto first = scene.Credits();
    ASSERT_EQ(first.size(), list.lines.size());
    Run(AllLogs("Q9TEST"));
    EXPECT_EQ(scene.Credits(), first);
    EXPECT_FALSE(std::filesystem::exists(errorListFile));
}

// The award's core users run Russian and German desktops, whose numbers have a decimal comma.
// The window's toolkit sets the process's locale from the environment at start-up, as here.
TEST_P(CreditRunTest, CommaLocalesCreditTheSameRowsAsC) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 30, 0.8, 0.25);
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::vector<std::vector<StoredCredit>> credited;
    for (const char* name : {"C", "de_DE.UTF-8", "ru_RU.UTF-8"}) {
        SCOPED_TRACE(name);
        test::ScopedEnv lcAll("LC_ALL", name);
        std::setlocale(LC_ALL, "");
        scene.ExecAwards("DELETE FROM Avtozachet");
        window = RecordingWindow{};
        window.awardId = scene.RdaAwardId();
        EXPECT_NO_THROW(Run(AllLogs("Q9TEST")));
        credited.push_back(scene.Credits());
        Run(AllLogs("Q9TEST"));  // a rerun appends nothing
        EXPECT_EQ(scene.Credits(), credited.back());
    }
    std::setlocale(LC_ALL, previous.c_str());
    ASSERT_EQ(credited[0].size(), 24u);
    EXPECT_EQ(credited[1], credited[0]);
    EXPECT_EQ(credited[2], credited[0]);
}

TEST_P(CreditRunTest, ProgressFollowsTheEntries) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 3, 1.0, 0.0);
    std::vector<std::string> lines;
    for (const auto& line : list.lines) {
        lines.push_back(line.text);
    }
    const struct {
        const char* name;
        std::vector<std::string> lines;
        std::vector<int> progress;
    } cases[] = {
        {"three lines", lines, {0, 0, 50, 100}},
        {"one line", {lines[0]}, {0, 100}},
        {"no lines", {}, {0}},
    };
    for (const auto& c : cases) {
        scene.Serve("Q9TEST", c.lines);
        window = RecordingWindow{};
        window.awardId = scene.RdaAwardId();
        Run(AllLogs("Q9TEST"));
        EXPECT_EQ(window.progress, c.progress) << c.name;
        EXPECT_TRUE(window.opened.empty()) << c.name;
    }
}

TEST_P(CreditRunTest, BadLineStopsTheRunKeepingEarlierCreditsAndNoErrorList) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 2, 1.0, 0.0);
    scene.Serve("Q9TEST",
                {list.lines[0].text, "QQ-99,N0BODY,01.01.2001", "D1,C1", list.lines[1].text});

    EXPECT_EQ(RunFailure(AllLogs("Q9TEST")), "List index out of bounds (2)");
    EXPECT_EQ(scene.Credits().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(errorListFile));
    EXPECT_TRUE(window.opened.empty());
    EXPECT_EQ(window.progress, (std::vector<int>{0, 0, 33}));
}

TEST_P(CreditRunTest, AwardChangedDuringTheRunAppliesToLaterCredits) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 4, 1.0, 0.0);
    const std::string second = scene.RdaAwardId(1);
    window.onMessages = [&](int call) {
        if (call == 2) {
            window.awardId = second;
        }
    };
    Run(AllLogs("Q9TEST"));
    const auto credits = scene.Credits();
    ASSERT_EQ(credits.size(), 4u);
    EXPECT_EQ(credits[0].awards, scene.RdaAwardId());
    EXPECT_EQ(credits[1].awards, scene.RdaAwardId());
    EXPECT_EQ(credits[2].awards, second);
    EXPECT_EQ(credits[3].awards, second);
}

TEST_P(CreditRunTest, StopRequestEndsTheRunAfterTheCurrentEntry) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 6, 0.5, 0.0);
    size_t matchedInFirstTwo = 0;
    for (size_t i = 0; i < 2; ++i) {
        matchedInFirstTwo += list.lines[i].kind != LineKind::Unmatched;
    }
    window.onMessages = [&](int call) { window.stop = call == 2; };
    Run(AllLogs("Q9TEST"));
    EXPECT_EQ(window.messageCalls, 2);
    EXPECT_EQ(scene.Credits().size(), matchedInFirstTwo);  // the finished entries stay credited
    EXPECT_TRUE(window.opened.empty());
    EXPECT_FALSE(std::filesystem::exists(errorListFile));
}

TEST_P(CreditRunTest, StopRequestDuringTheLastEntryStillCompletesTheRun) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 4, 0.5, 0.0);
    window.onMessages = [&](int call) { window.stop = call == int(list.lines.size()); };
    Run(AllLogs("Q9TEST"));
    EXPECT_EQ(window.progress.back(), 100);
    EXPECT_EQ(window.opened, std::vector<std::filesystem::path>{errorListFile});
}

TEST_P(CreditRunTest, AllMatchedLeavesAnOlderErrorListAlone) {
    scene.ServeGenerated("Q9TEST", 5, 1.0, 0.2);
    test::WriteFileBytes(errorListFile, "old\r\n");
    Run(AllLogs("Q9TEST"));
    EXPECT_EQ(test::ReadFileBytes(errorListFile), "old\r\n");
    EXPECT_TRUE(window.opened.empty());
}

TEST_P(CreditRunTest, UnwritableErrorListEndsTheRunWithItsMessage) {
    scene.ServeGenerated("Q9TEST", 5, 0.4, 0.0);
    // A folder in the file's place cannot be opened for writing, root or not.
    std::filesystem::create_directory(errorListFile);
    EXPECT_EQ(RunFailure(AllLogs("Q9TEST")),
              "Cannot create file \"" + errorListFile.string() + "\". Is a directory");
    EXPECT_TRUE(window.opened.empty());
    EXPECT_EQ(scene.Credits().size(), 2u);
}

TEST_P(CreditRunTest, DownloadFailureEndsTheRunBeforeAnyEntry) {
    scene.service.SetReply("Q9TEST", {.status = 200, .body = "x", .cutAfterBytes = 0});
    const std::string message = RunFailure(AllLogs("Q9TEST"));
    EXPECT_EQ(message.rfind("Error reading data: (", 0), 0u) << message;
    EXPECT_EQ(window.progress, std::vector<int>{0});
    EXPECT_TRUE(scene.Credits().empty());
}

INSTANTIATE_TEST_SUITE_P(Engines, CreditRunTest, test::BuiltEngines(), test::EngineName);

TEST(ErrorListFile, LinesInTheUsersShortDateFormatWithCrLf) {
    const districts::DistrictEntry entry{"TB-02", "Q1ABC/P", std::chrono::year{2019} / 3 / 5};
    for (const auto& [locale, line] :
         {std::pair{"C", "03/05/19 Q1ABC/P TB-02"}, {"ru_RU.UTF-8", "05.03.2019 Q1ABC/P TB-02"}}) {
        test::ScopedEnv lcAll("LC_ALL", locale);
        EXPECT_EQ(ErrorListLine(entry), line);
    }

    test::TempDir dir;
    WriteErrorList(dir / "ErrorList.txt", {"a b", "c"});
    EXPECT_EQ(test::ReadFileBytes(dir / "ErrorList.txt"), "a b\r\nc\r\n");
    // Overwritten whole.
    WriteErrorList(dir / "ErrorList.txt", {"d"});
    EXPECT_EQ(test::ReadFileBytes(dir / "ErrorList.txt"), "d\r\n");
}

// The message of a failed WriteErrorList, empty when it wrote the file.
std::string WriteFailure(const std::filesystem::path& file, const std::vector<std::string>& lines) {
    try {
        WriteErrorList(file, lines);
    } catch (const std::exception& error) {
        return error.what();
    }
    return {};
}

// A rewrite that fails leaves the previous list whole, writes through no link, and leaves no
// file of its own behind.
TEST(ErrorListFile, AFailedRewriteKeepsTheOldListWhole) {
    test::TempDir dir;
    const std::filesystem::path file = dir / "ErrorList.txt";
    WriteErrorList(file, {"old"});

    // A disk that fills up, as a file-size limit of 64 KiB stands in for it (in a child process,
    // whose limit then ends with it).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const std::string message =
            WriteFailure(file, std::vector<std::string>(20000, "01/02/24 Q1ABC TB-02"));
        ::_exit(message.find("File too large") != std::string::npos ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "no \"File too large\"";
    EXPECT_EQ(test::ReadFileBytes(file), "old\r\n");

    // Marked read-only by the user: refused, as on Windows, and left as it is.
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(WriteFailure(file, {"new"}),
              "Cannot create file \"" + file.string() + "\". Permission denied");
    EXPECT_EQ(test::ReadFileBytes(file), "old\r\n");
    std::filesystem::remove(file);

    // A link planted at the name is replaced by the list; what it pointed to is untouched.
    const std::filesystem::path victim = dir / "victim.txt";
    test::WriteFileBytes(victim, "keep");
    std::filesystem::create_symlink(victim, file);
    EXPECT_EQ(WriteFailure(file, {"new"}), "");
    EXPECT_EQ(test::ReadFileBytes(victim), "keep");
    EXPECT_FALSE(std::filesystem::is_symlink(file));
    EXPECT_EQ(test::ReadFileBytes(file), "new\r\n");

    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        left.push_back(entry.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"ErrorList.txt", "victim.txt"}));
}

}  // namespace
}  // namespace telvora::credit
