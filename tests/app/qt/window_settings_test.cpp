// Telvora.ini through the real main window: a close and a new start bring back the position
// and the callsign, also when the window's creation handler failed.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/message_box.h"
#include "app/qt/main_window.h"
#include "app_test_support.h"
#include "sample_logger/sample_logger.h"
#include "scoped_env.h"

namespace telvora::app {
namespace {

namespace fs = std::filesystem;

class WindowSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::QtApp();
        fs::create_directories(dir / "bin");
    }

    fs::path RegistryFile() const { return dir / "config" / "HKEY_CURRENT_USER.reg"; }
    fs::path IniFile() const { return dir / "bin" / "Telvora.ini"; }

    std::unique_ptr<TfrmMain> StartAndShow() {
        MainWindowOptions options;
        options.registryFile = RegistryFile();
        options.executablePath = dir / "bin" / "telvora";
        auto window = std::make_unique<TfrmMain>(std::move(options));
        window->show();
        return window;
    }

    test::TempDir dir;
    RecordedMessages boxes;
};

TEST_F(WindowSettingsTest, CloseAndNewStartBringBackPositionAndCallsign) {
    tools::SampleLoggerOptions options;
    options.folder = dir / "logger";
    options.logs = 1;
    options.contacts_per_log = 5;
    test::WriteRegistry(RegistryFile(), tools::MakeSampleLogger(options).folder);

    {
        auto window = StartAndShow();
        EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(439, 274));
        EXPECT_TRUE(window->Edit1->text().isEmpty());
        window->move(120, 160);
        window->Edit1->setText("  Q1ABC/P ");
        window->close();
    }
    const std::string ini = test::ReadFileBytes(IniFile());
    EXPECT_EQ(ini.rfind("[TfrmMain]\r\nFormVersion=0\r\n", 0), 0u) << ini;
    EXPECT_NE(ini.find("Visible=0\r\nEdit1_Text=Q1ABC/P\r\n"), std::string::npos) << ini;

    auto again = StartAndShow();
    EXPECT_EQ(again->frameGeometry().topLeft(), QPoint(120, 160));
    EXPECT_EQ(again->Edit1->text(), "Q1ABC/P");
    EXPECT_TRUE(boxes.requests().empty());
}

// A copy installed in a folder the user cannot write keeps Telvora.ini in the user's own
// folder: no "Unable to write" box at the close, and the next start brings it back.
TEST_F(WindowSettingsTest, AnInstalledCopyKeepsItsSettingsInTheUsersFolder) {
    const test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "home-config").string());
    tools::SampleLoggerOptions options;
    options.folder = dir / "logger";
    options.logs = 1;
    options.contacts_per_log = 5;
    test::WriteRegistry(RegistryFile(), tools::MakeSampleLogger(options).folder);
    fs::permissions(dir / "bin",
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    {
        auto window = StartAndShow();
        window->move(120, 160);
        window->Edit1->setText("Q1ABC");
        window->close();
    }
    EXPECT_TRUE(boxes.requests().empty());
    EXPECT_FALSE(fs::exists(IniFile()));
    const fs::path ini = dir / "home-config" / "telvora" / "Telvora.ini";
    EXPECT_NE(test::ReadFileBytes(ini).find("Edit1_Text=Q1ABC\r\n"), std::string::npos);

    auto again = StartAndShow();
    EXPECT_EQ(again->frameGeometry().topLeft(), QPoint(120, 160));
    EXPECT_EQ(again->Edit1->text(), "Q1ABC");
    again->close();
    EXPECT_TRUE(boxes.requests().empty());
    fs::permissions(dir / "bin", fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(WindowSettingsTest, AWindowWhoseCreationFailedIsStillRestoredAndSaved) {
    test::WriteFileBytes(IniFile(), "[TfrmMain]\r\nNormPos=50,60,0,0\r\nEdit1_Text=R2D\r\n");
    test::WriteRegistry(RegistryFile(), dir / "no-logger");  // logs database missing

    auto window = StartAndShow();
    ASSERT_EQ(boxes.requests().size(), 1u);  // the open failure, shown once
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->frameGeometry().topLeft(), QPoint(50, 60));
    EXPECT_EQ(window->Edit1->text(), "R2D");
    window->close();
    // Keys already there are replaced in place, the others appended.
    const std::string ini = test::ReadFileBytes(IniFile());
    EXPECT_EQ(ini.rfind("[TfrmMain]\r\nNormPos=50,60,", 0), 0u) << ini;
    EXPECT_NE(ini.find("\r\nEdit1_Text=R2D\r\nFormVersion=0\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nVisible=0\r\n"), std::string::npos) << ini;
}

}  // namespace
}  // namespace telvora::app
