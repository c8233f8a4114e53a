// telvora-credit-run --install DIR --service URL --callsign CALL [--error-list FILE]
//
// "Upload log" without a window: every log of the installation ticked, the first RDA award of
// the awards list chosen, the list downloaded from the service at URL ("https://host:port").
// The credits go into DIR/db/awards.mdb, the unmatched entries into FILE (default
// DIR/ErrorList.txt). It prints how many credits the table holds afterwards; a failure prints
// its message and exits with 1.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "credit/credit_run.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/paths.h"

namespace {

using namespace telvora;

class QuietWindow : public credit::RunWindow {
  public:
    explicit QuietWindow(std::string awardId) : awardId_(std::move(awardId)) {}
    void SetProgress(int) override {}
    void ProcessMessages() override {}
    void ShowWarning(const std::string& text) override { throw std::runtime_error(text); }
    std::string SelectedAwardId() const override { return awardId_; }
    void OpenErrorList(const std::filesystem::path&) override {}

  private:
    std::string awardId_;
};

int Usage() {
    std::fputs(
        "usage: telvora-credit-run --install DIR --service URL --callsign CALL "
        "[--error-list FILE]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options = {
        {"--install", ""}, {"--service", ""}, {"--callsign", ""}, {"--error-list", ""}};
    for (int i = 1; i < argc; i += 2) {
        const auto option = options.find(argv[i]);
        if (option == options.end() || i + 1 >= argc) {
            return Usage();
        }
        option->second = argv[i + 1];
    }
    const std::string& service = options["--service"];
    const std::string& callsign = options["--callsign"];
    const std::string& errorList = options["--error-list"];
    if (options["--install"].empty() || service.empty() || callsign.empty()) {
        return Usage();
    }
    const std::filesystem::path folder = platform::PathFromUtf8(options["--install"]);
    try {
        logdb::LoggerDatabases databases;
        databases.OpenDatabases({platform::PathToUtf8(folder / "db" / "logs.mdb"),
                                 platform::PathToUtf8(folder / "db" / "awards.mdb")});
        databases.ReadAwards();
        QuietWindow window(databases.CurrentAwardId());
        districts::NetHTTPClient client;
        credit::CreditRun run(
            databases,
            [&](const std::string& call) {
                return districts::DownloadDistrictList(client, service, call);
            },
            errorList.empty() ? folder / "ErrorList.txt" : platform::PathFromUtf8(errorList));
        run.Execute({callsign, databases.ReadLogNames(), "RDA"}, window);

        logdb::Query count("count", databases.ADOConnection2);
        count.SetSql({"SELECT count(*) AS n FROM Avtozachet"});
        count.Open();
        std::printf("%s credits\n", count.FieldAsText("n").c_str());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "telvora-credit-run: %s\n", error.what());
        return 1;
    }
    return 0;
}
