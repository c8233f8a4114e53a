// Telvora.exe as a whole under Wine: the real executable run as a child process (its exit code,
// the boxes it shows, the settings file beside it), and a failure while the window's
// components are built, which ends the program with the "Application Error" box and exit code 1.
#include "app/win32/program.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <sstream>

#include "app/message_box.h"
#include "districts/net_http_client.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

namespace fs = std::filesystem;

struct ChildRun {
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<std::string> boxes;  // caption TAB icon TAB text TAB buttons
};

// Runs `program` in its own folder with every box logged and answered at once, closing its
// window as soon as it has been shown; with `show`, started with that show command, as a
// shortcut's "Run:" setting starts it.
ChildRun RunClosingAfterShow(const fs::path& program, std::optional<WORD> show = std::nullopt) {
    const fs::path log = program.parent_path() / "boxes.log";
    SetEnvironmentVariableW(L"TELVORA_TEST_MESSAGE_LOG", log.c_str());
    SetEnvironmentVariableW(L"TELVORA_TEST_CLOSE_AFTER_SHOW", L"1");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (show) {
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = *show;
    }
    PROCESS_INFORMATION process{};
    std::wstring commandLine = L"\"" + program.wstring() + L"\"";
    const BOOL started =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       program.parent_path().c_str(), &startup, &process);
    SetEnvironmentVariableW(L"TELVORA_TEST_MESSAGE_LOG", nullptr);
    SetEnvironmentVariableW(L"TELVORA_TEST_CLOSE_AFTER_SHOW", nullptr);
    ChildRun run;
    if (!started) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return run;
    }
    // A guard against a child that never ends (a box that would wait for a user): not a
    // measure of speed.
    if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 255);
        ADD_FAILURE() << "Telvora.exe did not end";
    }
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::istringstream lines(fs::exists(log) ? ReadFileBytes(log) : "");
    for (std::string line; std::getline(lines, line);) {
        run.boxes.push_back(line);
    }
    return run;
}

TEST(Win32ProgramTest, StartsShowsItsWindowAndClosesWithExitCodeZero) {
    TempDir dir;
    // The title follows the executable's name: TELVORA.EXE captions its boxes Telvora.
    const fs::path program = dir.path() / "TELVORA.EXE";
    fs::copy_file(platform::PathFromUtf8(TELVORA_EXECUTABLE), program);
    const ChildRun run = RunClosingAfterShow(program);
    EXPECT_EQ(run.exitCode, 0u);
    // No logger here: the databases' failure is shown once, and the window goes on.
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes.front().rfind("Telvora\terror\t", 0), 0u) << run.boxes.front();
    // The visual style was found: no "Error" dialog. The close saved the settings beside it.
    const std::string ini = ReadFileBytes(dir.path() / "Telvora.ini");
    EXPECT_EQ(ini.rfind("[TfrmMain]\r\nFormVersion=0\r\n", 0), 0u) << ini;
    EXPECT_NE(ini.find("\r\nNormPos=439,274,"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nEdit1_Text=\r\n"), std::string::npos) << ini;
}

// Telvora.exe where a Russian user keeps it (a folder named in Cyrillic: TempDir's), started
// from a shortcut with each "Run:" setting, over a copy of the logger: the place and the callsign
// come back before the window appears, and the close saves them with the window's state.
struct ShortcutStart {
    const char* name;
    WORD show;
    const char* savedShowCmd;
};

class Win32ProgramStartTest : public ::testing::TestWithParam<ShortcutStart> {};

TEST_P(Win32ProgramStartTest, RestoresTheSettingsAndSavesThemAtTheCloseWithNoBox) {
#ifndef TELVORA_SAMPLE_LOGGER_DIR
    GTEST_SKIP() << "needs the host's sample-logger generator (TELVORA_HOST_TOOLS_DIR)";
#else
    TempDir dir;
    InstallLoggerCopy(kSampleLogger, dir.path() / "logger");
    const fs::path folder = dir.path() / platform::PathFromUtf8("Иван") / "Documents" / "Telvora";
    fs::create_directories(folder);
    const fs::path program = folder / "Telvora.exe";
    fs::copy_file(platform::PathFromUtf8(TELVORA_EXECUTABLE), program);
    WriteFileBytes(folder / "Telvora.ini",
                   "[TfrmMain]\r\nNormPos=200,150,0,0\r\nEdit1_Text=UA1ABC\r\n");

    const ChildRun run = RunClosingAfterShow(program, GetParam().show);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quorvex");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty()) << run.boxes.front();
    // Saved only after a restore; the callsign saved is the one restored into the box.
    const std::string ini = ReadFileBytes(folder / "Telvora.ini");
    EXPECT_NE(ini.find("\r\nFormVersion=0\r\n"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nShowCmd=" + std::string(GetParam().savedShowCmd) + "\r\n"),
              std::string::npos)
        << ini;
    EXPECT_NE(ini.find("\r\nNormPos=200,150,"), std::string::npos) << ini;
    EXPECT_NE(ini.find("\r\nEdit1_Text=UA1ABC\r\n"), std::string::npos) << ini;
#endif
}

INSTANTIATE_TEST_SUITE_P(Shortcut, Win32ProgramStartTest,
                         ::testing::Values(ShortcutStart{"Normal", SW_SHOWNORMAL, "1"},
                                           ShortcutStart{"Maximized", SW_SHOWMAXIMIZED, "3"},
                                           ShortcutStart{"Minimized", SW_SHOWMINNOACTIVE, "2"}),
                         [](const auto& info) { return std::string(info.param.name); });

// The size of the running executable's image, from its PE header.
std::uintptr_t ImageSize() {
    const auto* base = reinterpret_cast<const unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    return nt->OptionalHeader.SizeOfImage;
}

TEST(Win32ProgramTest, FailureWhileTheComponentsAreBuiltEndsWithTheApplicationErrorBox) {
    TempDir dir;
    app::RecordedMessages boxes;
    app::MainWindowOptions options;
    options.executablePath = dir.path() / "Telvora.exe";
    options.serviceBase = "https://127.0.0.1:9";
    options.makeHttpClient = []() -> std::unique_ptr<districts::NetHTTPClient> {
        throw Error("Error obtaining session handle");
    };
    EXPECT_EQ(app::RunProgram(SW_SHOWNORMAL, options), 1);
    EXPECT_EQ(FindWindowW(L"TfrmMain", nullptr), nullptr) << "the window never appears";

    ASSERT_EQ(boxes.requests().size(), 1u);
    const app::MessageRequest& box = boxes.requests().front();
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.icon, app::MessageIcon::Error);
    EXPECT_EQ(box.owner, nullptr) << "task-modal";
    const std::string module = platform::PathToUtf8(platform::ExecutablePath().filename());
    const std::regex form(
        "Exception telvora::Error in module (.+) at ([0-9A-F]{8})\\.\n"
        "Error obtaining session handle\\.");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(box.text, match, form)) << box.text;
    EXPECT_EQ(match[1].str(), module) << "the module of the code that threw";
    const std::uintptr_t offset = std::stoul(match[2].str(), nullptr, 16);
    EXPECT_GT(offset, 0u);
    EXPECT_LT(offset, ImageSize()) << "an offset inside that module";
}

}  // namespace
}  // namespace telvora::test
