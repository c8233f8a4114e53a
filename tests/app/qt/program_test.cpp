// The program as a whole: the real executable run as a child process on the offscreen
// platform (exit codes, the boxes it shows), and the start-up failure that ends it with
// the "Application Error" box.
#include "app/qt/program.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "app/message_box.h"
#include "app_test_support.h"
#include "districts/net_http_client.h"
#include "platform/error.h"
#include "sample_logger/sample_logger.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
    int exitCode = -1;
    std::vector<std::string> boxes;  // caption TAB icon TAB text TAB buttons
};

// Runs build/bin/telvora with the registry of `config`, in `workDir`, closing its window as
// soon as it has been shown, and every box answered at once and logged.
ChildRun RunTelvora(const fs::path& config, const fs::path& workDir) {
    const fs::path log = workDir / "boxes.log";
    fs::remove(log);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(workDir.c_str()) != 0) {
            _exit(126);
        }
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        setenv("TELVORA_TEST_MESSAGE_LOG", log.c_str(), 1);
        setenv("TELVORA_TEST_CLOSE_AFTER_SHOW", "1", 1);
        execl(TELVORA_EXECUTABLE, TELVORA_EXECUTABLE, static_cast<char*>(nullptr));
        _exit(127);
    }
    ChildRun run;
    if (pid < 0) {
        return run;
    }
    // A guard against a child that never ends (a box that would wait for a user): not a
    // measure of speed.
    int status = 0;
    for (int waited = 0;; ++waited) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (waited > 2400) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "telvora did not end";
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::istringstream lines(test::ReadFileBytes(log));
    for (std::string line; std::getline(lines, line);) {
        run.boxes.push_back(line);
    }
    return run;
}

class ProgramTest : public ::testing::Test {
  protected:
    fs::path Registry() const { return dir / "config" / "telvora" / "HKEY_CURRENT_USER.reg"; }
    test::TempDir dir;
};

TEST_F(ProgramTest, ANormalCloseEndsWithExitCodeZero) {
    tools::SampleLoggerOptions options;
    options.folder = dir / "logger";
    options.contacts_per_log = 10;
    const tools::SampleLogger logger = tools::MakeSampleLogger(options);
    test::WriteRegistry(Registry(), logger.folder);

    const ChildRun run = RunTelvora(dir / "config", dir.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.boxes.empty()) << run.boxes.front();
}

TEST_F(ProgramTest, WithTheLogsDatabaseMissingOneBoxThenTheWindowAndExitCodeZero) {
    const test::LoggerFiles files = test::MakeLoggerFolder(dir / "logger");
    test::WriteAwardsDatabase(files.awards, {{"1", "RDA"}});
    test::WriteRegistry(Registry(), files.folder);

    const ChildRun run = RunTelvora(dir / "config", dir.path());
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 1u);
    // Captioned with the application title of the executable "telvora".
    EXPECT_EQ(run.boxes[0].rfind("telvora\terror\t", 0), 0u) << run.boxes[0];
    EXPECT_NE(run.boxes[0].find("logs.mdb"), std::string::npos) << run.boxes[0];
    EXPECT_EQ(run.boxes[0].substr(run.boxes[0].size() - 3), "\tOK");
}

TEST_F(ProgramTest, WithoutTheLoggersKeyTheKeyIsCreatedAndTheRelativePathsTried) {
    const ChildRun run = RunTelvora(dir / "config", dir.path());
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_NE(run.boxes[0].find("logs.mdb"), std::string::npos) << run.boxes[0];
    const std::string registry = test::ReadFileBytes(Registry());
    EXPECT_NE(registry.find("[HKEY_CURRENT_USER\\Software\\Quorvex]"), std::string::npos)
        << registry;
}

TEST_F(ProgramTest, AFailureWhileTheComponentsAreBuiltEndsWithTheApplicationErrorBox) {
    RecordedMessages boxes;
    MainWindowOptions options;
    options.registryFile = Registry();
    options.executablePath = dir / "telvora";
    bool shown = false;
    options.makeHttpClient = [&]() -> std::unique_ptr<districts::NetHTTPClient> {
        const QWidgetList windows = QApplication::topLevelWidgets();
        shown =
            std::any_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); });
        throw Error("Error obtaining session handle");
    };
    int argc = 1;
    char name[] = "TELVORA.EXE";
    char* argv[] = {name, nullptr};

    EXPECT_EQ(RunProgram(argc, argv, std::move(options)), 1);

    EXPECT_FALSE(shown);
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Ok});
    EXPECT_EQ(box.owner, nullptr);
    // The type, the module holding the code that threw (this test program) and its offset.
    const std::string start = "Exception telvora::Error in module app_qt_program_test at ";
    ASSERT_EQ(box.text.rfind(start, 0), 0u) << box.text;
    EXPECT_EQ(box.text.substr(start.size() + 8), ".\nError obtaining session handle.");
}

}  // namespace
}  // namespace telvora::app
