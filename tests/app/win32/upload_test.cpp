// "Upload log" through the real Win32 window under Wine: the generator's files read through
// ODBC, the window's own controls driven by real input, and the window's services for the run
// (progress, the queue handled between entries, the input still queued at its end, a close
// during the run). The list comes from a stand-in of the HTTPS transport that serves the
// generator's list file; the download itself has tests of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "app/error_handling.h"
#include "districts/http_transport.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "logdb/query.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

namespace fs = std::filesystem;

// Serves one list, whatever the request; `onGet` runs while the download holds the thread.
class ListTransport : public districts::HttpTransport {
  public:
    ListTransport(std::string body, std::vector<std::string>& requests,
                  std::function<void()>& onGet)
        : body_(std::move(body)), requests_(requests), onGet_(onGet) {}

    districts::TransportResponse Get(const districts::TransportRequest& request,
                                     districts::ResponseBody& body) override {
        requests_.push_back(request.url.ToString());
        if (onGet_) {
            onGet_();
        }
        body.Append(body_);
        districts::TransportResponse response;
        response.status = 200;
        return response;
    }

  private:
    std::string body_;
    std::vector<std::string>& requests_;
    std::function<void()>& onGet_;
};

class Win32UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef TELVORA_SAMPLE_LOGGER_DIR
        GTEST_SKIP() << "needs the host's sample-logger generator (TELVORA_HOST_TOOLS_DIR)";
#else
        InstallLoggerCopy(kSampleLogger, dir.path() / "logger");
        list = ReadFileBytes(kSampleLogger / "Q9TEST.csv");
        // The executable's folder gets Telvora.ini and ErrorList.txt; its version record is
        // this test's own.
        fs::create_directories(dir.path() / "bin");
        fs::copy_file(platform::ExecutablePath(), Program());
#endif
    }

    void TearDown() override {
        window.reset();
        Pump();
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quorvex");
    }

    fs::path Program() const {
        return dir.path() / "bin" / "Telvora.exe";
    }
    fs::path ErrorListFile() const {
        return dir.path() / "bin" / "ErrorList.txt";
    }

    app::TfrmMain& Start(const std::string& served) {
        app::MainWindowOptions options;
        options.executablePath = Program();
        options.serviceBase = "https://districts.example";
        // The one place of the download: the stand-in transport until the WinHTTP transport
        // is in the tree (then a NetHTTPClient of its own against the district-list service on
        // loopback, serving `served`).
        options.makeHttpClient = [this, served] {
            return std::make_unique<districts::NetHTTPClient>(
                std::make_unique<ListTransport>(served, requests, onGet));
        };
        options.openErrorList = [this](const fs::path& file) { opened.push_back(file); };
        window = std::make_unique<app::TfrmMain>(std::move(options));
        window->Show();
        Activate(window->Handle());
        Pump(window.get());
        return *window;
    }

    // Types the callsign, ticks every log with a click on its box and picks the first award
    // with the keyboard.
    void FillInputs() {
        app::TfrmMain& frm = *window;
        Click(frm.Edit1, 20, 10, &frm);
        TypeText(L"q9test", &frm);
        for (int i = 0; i < frm.CheckListBox1.Count(); ++i) {
            const RECT box = frm.CheckListBox1.CheckBoxRect(i);
            Click(frm.CheckListBox1.Handle(), (box.left + box.right) / 2,
                  (box.top + box.bottom) / 2, &frm);
            Sleep(GetDoubleClickTime() + 20);
        }
        const RECT text = frm.RxDBLookupCombo2.TextRect();
        Click(frm.RxDBLookupCombo2.Handle(), text.left + 10, 5, &frm);
        PressKey(VK_ESCAPE, false, &frm);
        PressKey(VK_DOWN, false, &frm);
        ASSERT_FALSE(frm.SelectedAwardId().empty());
    }

    // "Upload log" clicked with the mouse; returns when the run has ended.
    void Upload() {
        Click(window->btnUpload, 30, 12, window.get());
        Pump(window.get());
    }

    // The credits in the awards file, through a connection of the test's own.
    std::size_t CreditsStored() const {
        logdb::Connection connection("TestConnection");
        connection.SetConnectionString(logdb::BuildConnectionString(
            platform::PathToUtf8(dir.path() / "logger" / "db" / "awards.mdb")));
        connection.SetLoginPrompt(false);
        connection.Open();
        logdb::Query query("TestQuery", connection);
        query.SetSql({"SELECT count(*) AS n FROM Avtozachet"});
        query.Open();
        return std::stoul(query.FieldAsText("n"));
    }

    std::vector<std::string> CreditedAwards() {
        logdb::Query query("TestQuery", window->Databases().ADOConnection2);
        query.SetSql({"SELECT Awards FROM Avtozachet"});
        query.Open();
        std::vector<std::string> awards;
        for (query.First(); !query.Eof(); query.Next()) {
            awards.push_back(query.FieldAsText("Awards"));
        }
        return awards;
    }

    static int Lines(const std::string& text) {
        int lines = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos;
             at = text.find("\r\n", at + 2)) {
            ++lines;
        }
        return lines;
    }

    TempDir dir;
    app::RecordedMessages boxes;
    std::string list;
    std::vector<std::string> requests;
    std::function<void()> onGet;
    std::vector<fs::path> opened;
    std::unique_ptr<app::TfrmMain> window;
};

TEST_F(Win32UploadTest, StartUpFillsBothListsFromTheLoggersFilesAndShowsTheVersionInBold) {
    app::TfrmMain& frm = Start(list);
    EXPECT_TRUE(boxes.requests().empty()) << boxes.requests().front().text;
    EXPECT_EQ(frm.CheckListBox1.Count(), 3);
    for (int i = 0; i < frm.CheckListBox1.Count(); ++i) {
        EXPECT_FALSE(frm.CheckListBox1.ItemText(i).empty());
        EXPECT_FALSE(frm.CheckListBox1.Checked(i)) << "added unchecked";
    }
    EXPECT_TRUE(frm.RxDBLookupCombo2.CanDropDown());
    EXPECT_EQ(frm.RxDBLookupCombo2.Value(), "");
    EXPECT_EQ(frm.SelectedAwardId(), "");
    EXPECT_EQ(frm.StatusText(), "v1.0.2.2");
    const auto font = reinterpret_cast<HFONT>(SendMessageW(frm.StatusBar, WM_GETFONT, 0, 0));
    EXPECT_EQ(app::FontDescription(font).lfWeight, FW_BOLD);
}

TEST_F(Win32UploadTest, RunCreditsWritesTheErrorListOpensItOnceAndARerunAddsNothing) {
    app::TfrmMain& frm = Start(list);
    FillInputs();
    const std::size_t before = CreditedAwards().size();
    Upload();
    EXPECT_TRUE(boxes.requests().empty());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests.front(), "https://districts.example:443/csv?call=Q9TEST");
    const std::vector<std::string> credited = CreditedAwards();
    ASSERT_GT(credited.size(), before);
    for (std::size_t i = before; i < credited.size(); ++i) {
        EXPECT_EQ(credited[i], frm.SelectedAwardId());
    }
    EXPECT_EQ(frm.ProgressBar.Position(), 100);
    EXPECT_EQ(opened, std::vector<fs::path>{ErrorListFile()});
    const std::string errors = ReadFileBytes(ErrorListFile());
    EXPECT_GT(Lines(errors), 0);
    EXPECT_LT(Lines(errors), Lines(list));

    Upload();
    EXPECT_EQ(CreditedAwards().size(), credited.size()) << "the same list again appends nothing";
    EXPECT_EQ(ReadFileBytes(ErrorListFile()), errors);
    EXPECT_EQ(opened.size(), 2u);
}

TEST_F(Win32UploadTest, ClickAndKeysDuringARunStartNothing) {
    app::TfrmMain& frm = Start(list);
    FillInputs();
    // Real input that arrives while the download holds the thread: handled between entries.
    onGet = [&] {
        const POINT button = ScreenPoint(frm.btnUpload, 30, 12);
        SendMouseAt(button, MOUSEEVENTF_LEFTDOWN);
        SendMouseAt(button, MOUSEEVENTF_LEFTUP);
        SendKey(VK_SPACE, false);
        SendKey(VK_SPACE, true);
        SendKey(VK_RETURN, false);
        SendKey(VK_RETURN, true);
    };
    Upload();
    EXPECT_FALSE(frm.RunInProgress());
    EXPECT_EQ(requests.size(), 1u) << "one run, one download";
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_TRUE(boxes.requests().empty());
}

TEST_F(Win32UploadTest, InputStillQueuedWhenAnEmptyListEndsTheRunStartsNothing) {
    app::TfrmMain& frm = Start("");
    FillInputs();
    onGet = [&] {
        const POINT button = ScreenPoint(frm.btnUpload, 30, 12);
        SendMouseAt(button, MOUSEEVENTF_LEFTDOWN);
        SendMouseAt(button, MOUSEEVENTF_LEFTUP);
    };
    Upload();
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_TRUE(opened.empty()) << "no lines, no error list";
    EXPECT_EQ(frm.ProgressBar.Position(), 0);
    EXPECT_TRUE(boxes.requests().empty());
}

TEST_F(Win32UploadTest, CloseDuringARunStopsAfterTheCurrentEntryAndThenCloses) {
    app::TfrmMain& frm = Start(list);
    FillInputs();
    const std::size_t before = CreditedAwards().size();
    onGet = [&] { PostMessageW(frm.Handle(), WM_CLOSE, 0, 0); };
    Upload();
    EXPECT_TRUE(frm.Closed()) << "closed once the run had stopped";
    EXPECT_LE(CreditedAwards().size(), before + 1) << "only the entry it was on";
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(fs::exists(ErrorListFile())) << "the partial error list is not written";
    const std::string ini = ReadFileBytes(dir.path() / "bin" / "Telvora.ini");
    EXPECT_NE(ini.find("\r\nEdit1_Text=Q9TEST\r\n"), std::string::npos) << ini;
}

TEST_F(Win32UploadTest, EndOfTheSessionDuringARunStopsItAfterTheCurrentEntryAndClosesCleanly) {
    app::TfrmMain& frm = Start(list);
    FillInputs();
    const std::size_t before = CreditsStored();
    // The system's messages come from another thread, as at a logoff: the query, then the end.
    LRESULT allowed = FALSE;
    std::thread logoff;
    onGet = [&] {
        logoff = std::thread([&allowed, hwnd = frm.Handle()] {
            allowed = SendMessageW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF);
            SendMessageW(hwnd, WM_ENDSESSION, allowed, ENDSESSION_LOGOFF);
        });
    };
    Upload();
    logoff.join();
    onGet = nullptr;
    Pump(window.get());
    EXPECT_EQ(allowed, TRUE) << "the logoff is not held up";
    EXPECT_TRUE(frm.Closed()) << "closed once the run had stopped";
    EXPECT_FALSE(frm.Databases().ADOConnection1.Connected());
    EXPECT_FALSE(frm.Databases().ADOConnection2.Connected());
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(fs::exists(ErrorListFile())) << "the partial error list is not written";
    const std::string ini = ReadFileBytes(dir.path() / "bin" / "Telvora.ini");
    EXPECT_NE(ini.find("\r\nEdit1_Text=Q9TEST\r\n"), std::string::npos) << ini;
    const std::size_t stopped = CreditsStored();
    EXPECT_LE(stopped, before + 1) << "only the entry it was on";

    // The next start's run adds the rest, and only once.
    window.reset();
    Pump();
    SetWindowTextW(Start(list).Edit1, L"");  // the callsign the close saved is typed again
    FillInputs();
    Upload();
    const std::size_t rerun = CreditsStored();
    EXPECT_GT(rerun, stopped);
    EXPECT_EQ(opened.size(), 1u);
    Upload();
    EXPECT_EQ(CreditsStored(), rerun);
    EXPECT_TRUE(boxes.requests().empty());
}

TEST_F(Win32UploadTest, AFailureOfTheRunIsShownAndTheWindowStaysUsable) {
    app::TfrmMain& frm = Start(list.substr(0, list.find("\r\n") + 2) + "D1,C1\r\n");
    FillInputs();
    Upload();
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests().front().text, "List index out of bounds (2)");
    EXPECT_EQ(boxes.requests().front().caption, app::ApplicationTitle());
    EXPECT_EQ(frm.ProgressBar.Position(), 0) << "stopped at the second of two entries";
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(frm.RunInProgress());
    Click(frm.Edit1, 20, 10, &frm);
    PressKey(VK_END, false, &frm);  // the click left the caret before the centred text
    TypeText(L"/p", &frm);
    EXPECT_EQ(app::WindowText(frm.Edit1), "Q9TEST/P");
}

}  // namespace
}  // namespace telvora::test
