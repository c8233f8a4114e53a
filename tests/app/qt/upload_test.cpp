// "Upload log" through the real window on the offscreen platform: the generator's SQLite
// files, the district-list service on loopback over HTTPS, and the window's own controls.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/message_box.h"
#include "app/qt/check_list_box.h"
#include "app/qt/lookup_combo.h"
#include "app/qt/main_window.h"
#include "app/qt/progress_bar.h"
#include "app_test_support.h"
#include "credit_scene.h"
#include "scoped_env.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;
using tools::LineKind;

class UploadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::QtApp();
        test::WriteRegistry(RegistryFile(), scene.logger.folder);
        fs::create_directories(scene.dir / "bin");
        MainWindowOptions options;
        options.registryFile = RegistryFile();
        options.executablePath = scene.dir / "bin" / "telvora";
        options.serviceBase = scene.service.BaseUrl();
        options.openErrorList = [this](const fs::path& file) { opened.push_back(file); };
        window = std::make_unique<TfrmMain>(std::move(options));
        window->show();
        ASSERT_TRUE(boxes.requests().empty());
    }

    fs::path RegistryFile() const { return scene.dir / "config" / "HKEY_CURRENT_USER.reg"; }
    fs::path ErrorListFile() const { return scene.dir / "bin" / "ErrorList.txt"; }

    // Types the callsign, ticks every log and picks the first award with the keyboard.
    void FillInputs(const std::string& callsign) {
        window->Edit1->setText(QString::fromStdString(callsign));
        for (int i = 0; i < window->CheckListBox1->Count(); ++i) {
            window->CheckListBox1->SetChecked(i, true);
        }
        window->RxDBLookupCombo2->setFocus();
        QTest::keyClick(window->RxDBLookupCombo2, Qt::Key_Down);
        ASSERT_EQ(window->SelectedAwardId(), scene.RdaAwardId());
    }

    void Upload() { QTest::mouseClick(window->btnUpload, Qt::LeftButton); }

    test::CreditScene scene{2, 150};
    RecordedMessages boxes;
    std::vector<fs::path> opened;
    std::unique_ptr<TfrmMain> window;
};

TEST_F(UploadTest, MissingInputsShowTheWarningDialog) {
    scene.ServeGenerated("Q9TEST", 5);
    window->ProgressBar->SetPosition(40);
    Upload();  // nothing filled in
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, "Warning");
    EXPECT_EQ(box.icon, MessageIcon::Warning);
    EXPECT_EQ(box.text, "Check all parametrs.");
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Ok});
    EXPECT_EQ(window->ProgressBar->Position(), 0);
    EXPECT_TRUE(scene.service.Requests().empty());
}

TEST_F(UploadTest, FullRunCreditsAndOpensTheErrorListOnce) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 20, 0.7, 0.3);
    FillInputs("Q9TEST");
    Upload();

    EXPECT_TRUE(boxes.requests().empty());
    size_t matching = 0;
    std::string unmatched;
    for (const auto& line : list.lines) {
        if (line.kind == LineKind::Unmatched) {
            unmatched += " " + line.callsign + " " + line.district + "\r\n";
        } else {
            ++matching;
        }
    }
    ASSERT_FALSE(unmatched.empty());
    EXPECT_EQ(scene.Credits().size(), matching);
    for (const auto& credit : scene.Credits()) {
        EXPECT_EQ(credit.awards, scene.RdaAwardId());
    }
    EXPECT_EQ(opened, std::vector<fs::path>{ErrorListFile()});
    // Each line is "<date> <callsign> <district>" with CR LF; the date's form is the user's.
    std::string withoutDates;
    const std::string written = test::ReadFileBytes(ErrorListFile());
    for (size_t start = 0, end; (end = written.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        const std::string line = written.substr(start, end - start);
        withoutDates += line.substr(line.find(' ')) + "\r\n";
    }
    EXPECT_EQ(withoutDates, unmatched);
    EXPECT_EQ(window->ProgressBar->Position(), 100);

    // The same list again appends nothing.
    Upload();
    EXPECT_EQ(scene.Credits().size(), matching);
    EXPECT_TRUE(boxes.requests().empty());
}

// A copy installed in a folder the user cannot write writes the error list into the user's own
// state folder and opens it from there, instead of failing with "Cannot create file".
TEST_F(UploadTest, AnInstalledCopyWritesTheErrorListIntoTheUsersFolder) {
    const test::ScopedEnv state("XDG_STATE_HOME", (scene.dir / "home-state").string());
    fs::permissions(scene.dir / "bin",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    scene.ServeGenerated("Q9TEST", 10, 0.5, 0.0);
    FillInputs("Q9TEST");
    Upload();
    fs::permissions(scene.dir / "bin", fs::perms::owner_write, fs::perm_options::add);

    EXPECT_TRUE(boxes.requests().empty());
    const fs::path file = scene.dir / "home-state" / "telvora" / "ErrorList.txt";
    EXPECT_EQ(opened, std::vector<fs::path>{file});
    EXPECT_FALSE(test::ReadFileBytes(file).empty());
    EXPECT_FALSE(fs::exists(ErrorListFile()));
}

TEST_F(UploadTest, AFailureIsShownAndTheWindowStaysUsable) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 2, 1.0, 0.0);
    scene.Serve("Q9TEST", {list.lines[0].text, list.lines[1].text, "D1,C1"});
    FillInputs("Q9TEST");
    Upload();
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests()[0].text, "List index out of bounds (2)");
    EXPECT_EQ(boxes.requests()[0].icon, MessageIcon::Error);
    EXPECT_EQ(scene.Credits().size(), 2u);
    EXPECT_EQ(window->ProgressBar->Position(), 50);
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(window->RunInProgress());

    // Usable: a good list runs afterwards.
    scene.Serve("Q9TEST", {list.lines[0].text});
    Upload();
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(window->ProgressBar->Position(), 100);
}

TEST_F(UploadTest, ASecondClickDuringARunStartsNothing) {
    scene.ServeGenerated("Q9TEST", 6, 0.5, 0.0);
    FillInputs("Q9TEST");
    int clicksDuringRun = 0;
    // Delivered while the run processes pending messages between its entries.
    QTimer::singleShot(0, window.get(), [&] {
        EXPECT_TRUE(window->RunInProgress());
        Upload();
        QTest::keyClick(window->btnUpload, Qt::Key_Space);
        QTest::keyClick(window->btnUpload, Qt::Key_Return);
        ++clicksDuringRun;
    });
    Upload();
    EXPECT_EQ(clicksDuringRun, 1);
    EXPECT_EQ(scene.service.Requests().size(), 1u);
    EXPECT_EQ(scene.Credits().size(), 3u);
    EXPECT_EQ(opened.size(), 1u);
}

TEST_F(UploadTest, InputQueuedWhileTheDownloadHeldTheThreadStartsNothing) {
    FillInputs("Q9TEST");
    // An empty list: the run never lets the window handle its messages, so what the user did
    // during the download is still queued when the run ends.
    int queuedInputHandled = 0;
    district_service::Reply emptyList;
    emptyList.beforeAnswer = [&] {
        QMetaObject::invokeMethod(
            window.get(),
            [&] {
                Upload();
                QTest::keyClick(window->btnUpload, Qt::Key_Space);
                QTest::keyClick(window->btnUpload, Qt::Key_Return);
                ++queuedInputHandled;
            },
            Qt::QueuedConnection);
    };
    scene.service.SetReply("Q9TEST", emptyList);
    Upload();
    QCoreApplication::processEvents();  // whatever is still queued
    EXPECT_EQ(queuedInputHandled, 1);
    EXPECT_EQ(scene.service.Requests().size(), 1u);
    EXPECT_TRUE(boxes.requests().empty());
    EXPECT_TRUE(opened.empty());
}

TEST_F(UploadTest, CloseDuringARunStopsAfterTheCurrentEntryThenCloses) {
    scene.ServeGenerated("Q9TEST", 8, 1.0, 0.0);
    FillInputs("Q9TEST");
    bool closedAtOnce = true;
    QTimer::singleShot(0, window.get(), [&] { closedAtOnce = window->close(); });
    Upload();
    EXPECT_FALSE(closedAtOnce);             // refused while the run goes on
    EXPECT_EQ(scene.Credits().size(), 1u);  // the entry it was on is finished and stored
    EXPECT_FALSE(window->isVisible());      // then the window closed
    EXPECT_TRUE(opened.empty());
    EXPECT_TRUE(boxes.requests().empty());
    // The close saved the settings file, callsign included.
    EXPECT_NE(test::ReadFileBytes(scene.dir / "bin" / "Telvora.ini").find("Edit1_Text=Q9TEST"),
              std::string::npos);
}

TEST_F(UploadTest, ChangingTheAwardDuringARunAppliesToLaterCredits) {
    scene.ServeGenerated("Q9TEST", 4, 1.0, 0.0);
    FillInputs("Q9TEST");
    QTimer::singleShot(0, window.get(),
                       [&] { QTest::keyClick(window->RxDBLookupCombo2, Qt::Key_Down); });
    Upload();
    const auto credits = scene.Credits();
    ASSERT_EQ(credits.size(), 4u);
    EXPECT_EQ(credits[0].awards, scene.RdaAwardId(0));
    EXPECT_EQ(credits[3].awards, scene.RdaAwardId(1));
}

}  // namespace
}  // namespace telvora::app
