// "Upload log" as the shells run it, without a toolkit: the controller over the real credit run
// (the generator's SQLite files, the district-list service on loopback over HTTPS), with a
// shell that records what the window is asked to do and feeds in the user's input where a
// window would handle it: between two entries, and once the run has held the thread to its end.
#include "app/upload_controller.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "credit_scene.h"
#include "districts/net_http_client.h"
#include "logdb/logger_databases.h"
#include "platform/error.h"
#include "scoped_env.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;
using tools::LineKind;

class RecordingShell : public UploadShell {
  public:
    void SetProgress(int position) override { progress.push_back(position); }
    void ProcessMessages() override {
        ++messageCalls;
        if (onMessages) {
            onMessages(messageCalls);
        }
    }
    void HandleQueuedInput() override {
        ++queuedInputCalls;
        if (onQueuedInput) {
            onQueuedInput();
        }
    }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    std::string SelectedAwardId() const override { return awardId; }
    void OpenErrorList(const fs::path& file) override { opened.push_back(file); }
    void ShowFailure(std::exception_ptr failure) override {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            failures.push_back(error.what());
        }
        if (onFailure) {
            onFailure();
        }
    }
    void CloseWindow() override {
        ++closes;
        if (onClose) {
            onClose();
        }
    }

    std::vector<int> progress;
    std::vector<std::string> warnings;
    std::vector<fs::path> opened;
    std::vector<std::string> failures;
    std::string awardId;
    int messageCalls = 0;
    int queuedInputCalls = 0;
    int closes = 0;
    std::function<void(int)> onMessages;  // with the number of the call, from 1
    std::function<void()> onQueuedInput;
    std::function<void()> onFailure;
    std::function<void()> onClose;
};

class UploadControllerTest : public ::testing::Test {
  protected:
    UploadControllerTest() {
        databases.OpenDatabases({scene.logger.logs_db.string(), scene.logger.awards_db.string()});
        shell.awardId = scene.RdaAwardId();
        fs::create_directories(scene.dir / "bin");
    }

    fs::path Executable() const { return scene.dir / "bin" / "telvora"; }
    fs::path ErrorListFile() const { return scene.dir / "bin" / "ErrorList.txt"; }

    // Every log ticked, the award shown.
    credit::RunInputs AllLogs() const {
        credit::RunInputs inputs{"Q9TEST", {}, "RDA"};
        for (const auto& log : scene.logger.logs) {
            inputs.checkedLogs.push_back(log.name);
        }
        return inputs;
    }

    // The click as frmMain handles it: the credit update on the window's inputs.
    bool Click(credit::RunInputs inputs) {
        return upload.Click([this, inputs](credit::RunWindow& window) {
            ++runsStarted;
            RunCreditUpdate(databases, client, scene.service.BaseUrl(), Executable(), inputs,
                            window);
        });
    }
    bool Click() { return Click(AllLogs()); }

    test::CreditScene scene{2, 150};
    logdb::LoggerDatabases databases;
    districts::NetHTTPClient client;
    RecordingShell shell;
    UploadController upload{shell};
    int runsStarted = 0;
};

// The user's formats differ by locale (the error list's dates, numbers read as text); the run
// credits the same in each.
class UploadUnderLocaleTest : public UploadControllerTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(UploadUnderLocaleTest, AClickRunsTheCreditUpdateAndOpensTheErrorListBesideTheProgram) {
    test::ScopedEnv locale("LC_ALL", GetParam());
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 20, 0.7, 0.3);
    std::size_t matching = 0;
    for (const auto& line : list.lines) {
        matching += line.kind != LineKind::Unmatched ? 1 : 0;
    }
    ASSERT_LT(matching, list.lines.size());

    EXPECT_TRUE(Click());
    EXPECT_FALSE(upload.RunInProgress());
    EXPECT_TRUE(shell.failures.empty()) << shell.failures.front();
    EXPECT_EQ(scene.Credits().size(), matching);
    for (const auto& credit : scene.Credits()) {
        EXPECT_EQ(credit.awards, scene.RdaAwardId());
    }
    EXPECT_EQ(shell.opened, std::vector<fs::path>{ErrorListFile()});
    EXPECT_TRUE(fs::exists(ErrorListFile()));
    EXPECT_EQ(shell.progress.front(), 0);
    EXPECT_EQ(shell.progress.back(), 100);
    EXPECT_EQ(shell.messageCalls, static_cast<int>(list.lines.size()));
    EXPECT_EQ(shell.queuedInputCalls, 1);
    EXPECT_EQ(shell.closes, 0);

    // The same list again appends nothing.
    EXPECT_TRUE(Click());
    EXPECT_EQ(scene.Credits().size(), matching);
    EXPECT_EQ(runsStarted, 2);
}

INSTANTIATE_TEST_SUITE_P(Locales, UploadUnderLocaleTest,
                         ::testing::Values("C", "ru_RU.UTF-8", "de_DE.UTF-8"));

TEST_F(UploadControllerTest, MissingInputsShowTheWarningAndTheNextClickRunsAgain) {
    scene.ServeGenerated("Q9TEST", 5);
    EXPECT_TRUE(Click({"Q9TEST", {}, "RDA"}));
    EXPECT_EQ(shell.warnings, std::vector<std::string>{"Check all parametrs."});
    EXPECT_EQ(shell.progress, std::vector<int>{0});
    EXPECT_TRUE(scene.service.Requests().empty());
    EXPECT_FALSE(upload.RunInProgress());
    EXPECT_TRUE(Click());
    EXPECT_EQ(scene.service.Requests().size(), 1u);
}

TEST_F(UploadControllerTest, ASecondClickDuringARunStartsNothing) {
    scene.ServeGenerated("Q9TEST", 6, 0.5, 0.0);
    std::vector<bool> refused;
    shell.onMessages = [&](int call) {
        EXPECT_TRUE(upload.RunInProgress());
        if (call <= 2) {
            // A mouse click, then Space: each a click of the button.
            refused.push_back(!Click());
            refused.push_back(!Click());
        }
    };
    EXPECT_TRUE(Click());
    EXPECT_EQ(refused, (std::vector<bool>{true, true, true, true}));
    EXPECT_EQ(runsStarted, 1);
    EXPECT_EQ(scene.service.Requests().size(), 1u);
    EXPECT_EQ(scene.Credits().size(), 3u);
    EXPECT_EQ(shell.opened.size(), 1u);
    EXPECT_FALSE(upload.RunInProgress());
}

TEST_F(UploadControllerTest, InputQueuedWhileTheRunHeldTheThreadStartsNothing) {
    // An empty list: the run never lets the window handle its messages, so the user's click
    // during the download is still queued when the run ends.
    scene.Serve("Q9TEST", {});
    bool refused = false;
    shell.onQueuedInput = [&] {
        EXPECT_TRUE(upload.RunInProgress());
        refused = !Click();
    };
    EXPECT_TRUE(Click());
    EXPECT_TRUE(refused);
    EXPECT_EQ(runsStarted, 1);
    EXPECT_EQ(shell.messageCalls, 0);
    EXPECT_EQ(scene.service.Requests().size(), 1u);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_FALSE(upload.RunInProgress());
    // Once handled, a new click runs.
    shell.onQueuedInput = nullptr;
    EXPECT_TRUE(Click());
    EXPECT_EQ(runsStarted, 2);
}

TEST_F(UploadControllerTest, ACloseDuringARunStopsAfterTheCurrentEntryThenClosesTheWindow) {
    scene.ServeGenerated("Q9TEST", 8, 1.0, 0.0);
    std::vector<bool> allowed;
    shell.onMessages = [&](int call) {
        if (call == 1) {
            allowed.push_back(upload.CloseRequested());
            allowed.push_back(upload.CloseRequested());  // asked twice: closed once
        }
    };
    bool runningAtClose = true;
    shell.onClose = [&] { runningAtClose = upload.RunInProgress(); };
    EXPECT_TRUE(Click());
    EXPECT_EQ(allowed, (std::vector<bool>{false, false}));
    EXPECT_EQ(scene.Credits().size(), 1u);  // the entry it was on is finished and stored
    EXPECT_EQ(shell.messageCalls, 1);
    EXPECT_EQ(shell.closes, 1);
    EXPECT_FALSE(runningAtClose);       // the close goes through as any close
    EXPECT_TRUE(shell.opened.empty());  // the partial error list is not written
    EXPECT_FALSE(fs::exists(ErrorListFile()));
    EXPECT_FALSE(upload.StopRequested());
    // Without a run, a close is allowed at once and the controller closes nothing itself.
    EXPECT_TRUE(upload.CloseRequested());
    EXPECT_EQ(shell.closes, 1);
}

TEST_F(UploadControllerTest, AFailureIsShownWhileTheRunStillHoldsTheButtonThenTheWindowIsUsable) {
    const tools::DistrictList list = scene.ServeGenerated("Q9TEST", 2, 1.0, 0.0);
    scene.Serve("Q9TEST", {list.lines[0].text, list.lines[1].text, "D1,C1"});
    bool refusedDuringBox = false;
    shell.onFailure = [&] {
        // The error box is modal and runs its own loop: a click there starts nothing.
        EXPECT_TRUE(upload.RunInProgress());
        refusedDuringBox = !Click();
    };
    EXPECT_TRUE(Click());
    EXPECT_EQ(shell.failures, std::vector<std::string>{"List index out of bounds (2)"});
    EXPECT_TRUE(refusedDuringBox);
    EXPECT_EQ(scene.Credits().size(), 2u);  // credits before the failure stay
    EXPECT_EQ(shell.progress.back(), 50);
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_EQ(shell.queuedInputCalls, 1);
    EXPECT_FALSE(upload.RunInProgress());

    // Usable: a good list runs afterwards.
    shell.onFailure = nullptr;
    scene.Serve("Q9TEST", {list.lines[0].text});
    EXPECT_TRUE(Click());
    EXPECT_EQ(shell.failures.size(), 1u);
    EXPECT_EQ(shell.progress.back(), 100);
}

TEST_F(UploadControllerTest, ACloseAskedForWhileTheFailureIsShownClosesTheWindowAfterIt) {
    scene.Serve("Q9TEST", {"D1,C1"});
    std::vector<bool> allowed;
    shell.onFailure = [&] { allowed.push_back(upload.CloseRequested()); };
    EXPECT_TRUE(Click());
    EXPECT_EQ(shell.failures.size(), 1u);
    EXPECT_EQ(allowed, std::vector<bool>{false});
    EXPECT_EQ(shell.closes, 1);
    EXPECT_FALSE(upload.RunInProgress());
}

TEST_F(UploadControllerTest, AFailureWhileTheQueuedInputIsHandledLeavesTheButtonUsable) {
    scene.Serve("Q9TEST", {});
    shell.onQueuedInput = [] { throw Error("Queued handler failed"); };
    EXPECT_TRUE(Click());
    EXPECT_EQ(shell.failures, std::vector<std::string>{"Queued handler failed"});
    EXPECT_FALSE(upload.RunInProgress());
    shell.onQueuedInput = nullptr;
    EXPECT_TRUE(Click());
    EXPECT_EQ(runsStarted, 2);
}

TEST_F(UploadControllerTest, TheAwardChosenDuringARunAppliesToTheLaterCredits) {
    scene.ServeGenerated("Q9TEST", 4, 1.0, 0.0);
    shell.onMessages = [&](int call) {
        if (call == 1) {
            shell.awardId = scene.RdaAwardId(1);
        }
    };
    EXPECT_TRUE(Click());
    const auto credits = scene.Credits();
    ASSERT_EQ(credits.size(), 4u);
    EXPECT_EQ(credits[0].awards, scene.RdaAwardId(0));
    EXPECT_EQ(credits[1].awards, scene.RdaAwardId(1));
    EXPECT_EQ(credits[3].awards, scene.RdaAwardId(1));
}

}  // namespace
}  // namespace telvora::app
