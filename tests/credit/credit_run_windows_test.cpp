// The credit run of the Windows build under Wine, end to end without a window: ODBC (Wine's
// odbc32, the host's unixODBC and the Access driver's stand-in) on the generator's files, the list
// downloaded over WinHTTP from the district-list service on loopback. The CTest fixture
// (credit_scene_fixture.sh) made the files and ran the Linux build's run on a copy of them under
// the same locale; this run must give the same credits and the same error list, and a rerun must
// append nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "credit/credit_run.h"
#include "credit/error_list.h"
#include "districts/body_lines.h"
#include "districts/district_entry.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "root_store.h"
#include "sqlite_fixture.h"
#include "temp_dir.h"
#include "test_engines.h"

namespace telvora::credit {
namespace {

namespace fs = std::filesystem;

fs::path FromEnvironment(const char* name) {
    // Read as UTF-16: getenv would hand over the value in the ANSI code page.
    const wchar_t* value = _wgetenv(platform::Wide(name).c_str());
    if (value == nullptr || *value == L'\0') {
        throw std::runtime_error(std::string(name) +
                                 " is not set: the credit scene fixture runs "
                                 "before this test (ctest)");
    }
    return fs::path(value);
}

class QuietWindow : public RunWindow {
  public:
    explicit QuietWindow(std::string awardId) : awardId_(std::move(awardId)) {}
    void SetProgress(int) override {}
    void ProcessMessages() override {}
    void ShowWarning(const std::string& text) override { ADD_FAILURE() << "warning: " << text; }
    std::string SelectedAwardId() const override { return awardId_; }
    void OpenErrorList(const fs::path& file) override { opened.push_back(file); }

    std::vector<fs::path> opened;

  private:
    std::string awardId_;
};

// Avtozachet as stored, every value with its storage class, in the order appended.
std::vector<test::Row> Credits(const fs::path& awards) {
    return test::RawDb(awards).Rows(
        "SELECT Awards, typeof(Awards), CallSign, QSODate, typeof(QSODate), QSOTime, DigiBand, "
        "typeof(DigiBand), QSOMode FROM Avtozachet ORDER BY Id");
}

// The Linux run's error list with each date in this platform's short date form: the user's
// format is each platform's own (Wine's de-DE writes 5.2.2016, glibc's de_DE 05.02.2016; both
// write 05.02.2016 under ru). The Linux lines read "DD.MM.YYYY CALLSIGN DISTRICT".
std::string InThisPlatformsDates(const std::string& linuxList) {
    std::string out;
    for (const std::string_view view : districts::SplitTextLines(linuxList)) {
        const std::string line(view);
        const auto first = line.find(' ');
        const auto second = line.find(' ', first + 1);
        const districts::DistrictEntry entry = districts::ParseDistrictLine(
            line.substr(second + 1) + "," + line.substr(first + 1, second - first - 1) + "," +
            line.substr(0, first));
        out += ErrorListLine(entry) + "\r\n";
    }
    return out;
}

TEST(CreditRunUnderWine, GivesTheLinuxBuildsCreditsAndErrorList) {
    const fs::path scene = FromEnvironment("TELVORA_CREDIT_SCENE");
    const fs::path reference = FromEnvironment("TELVORA_CREDIT_REFERENCE");
    test::UseEngine(test::kAccessOdbcEngine);
    test::TrustInCurrentUserRoot(test::ReadFileBytes(scene / "ca" / "ca.pem"));
    const std::string service =
        std::string(districts::SplitTextLines(test::ReadFileBytes(scene / "service.url"))[0]);

    test::TempDir install;
    fs::create_directories(install / "db");
    for (const char* file : {"logs.mdb", "awards.mdb"}) {
        fs::copy_file(scene / "pristine" / "db" / file, install / "db" / file);
    }
    const fs::path errorList = install / "ErrorList.txt";

    logdb::LoggerDatabases databases;
    databases.OpenDatabases({platform::PathToUtf8(install / "db" / "logs.mdb"),
                             platform::PathToUtf8(install / "db" / "awards.mdb")});
    databases.ReadAwards();
    QuietWindow window(databases.CurrentAwardId());
    districts::NetHTTPClient client;
    CreditRun run(
        databases,
        [&](const std::string& callsign) {
            return districts::DownloadDistrictList(client, service, callsign);
        },
        errorList);
    const RunInputs inputs{"Q9TEST", databases.ReadLogNames(), "RDA"};

    run.Execute(inputs, window);
    const auto expected = Credits(reference / "db" / "awards.mdb");
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(Credits(install / "db" / "awards.mdb"), expected);
    EXPECT_EQ(test::ReadFileBytes(errorList),
              InThisPlatformsDates(test::ReadFileBytes(reference / "ErrorList.txt")));
    EXPECT_EQ(window.opened, std::vector<fs::path>{errorList});

    // Every statement reached the Access driver's stand-in through the wide functions, as on
    // Windows, in the run's own forms: one insert per credit.
    std::size_t inserts = 0;
    for (const char* file : {"logs.mdb", "awards.mdb"}) {
        const auto received = test::StatementsReceived(install / "db" / file);
        EXPECT_FALSE(received.empty()) << file;
        for (const auto& statement : received) {
            EXPECT_EQ(statement.function, "SQLPrepareW") << statement.text;
            EXPECT_TRUE(statement.text.starts_with("SELECT *") ||
                        statement.text.starts_with("INSERT INTO `Avtozachet` ("))
                << statement.text;
            inserts += statement.text.starts_with("INSERT INTO") ? 1 : 0;
        }
    }
    EXPECT_EQ(inserts, expected.size());

    // A rerun of the same list appends nothing.
    run.Execute(inputs, window);
    EXPECT_EQ(Credits(install / "db" / "awards.mdb"), expected);
}

}  // namespace
}  // namespace telvora::credit
