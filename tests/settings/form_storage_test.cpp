// FormStorage on real settings files, over an in-memory window that behaves
// like the platform's: it moves where it is told and remembers its minimised
// and maximised positions.
#include "settings/form_storage.h"

#include <gtest/gtest.h>
#include <strings.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif
#include <sys/stat.h>

#include <csignal>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "read_only.h"
#include "temp_dir.h"

namespace telvora::settings {
namespace {

namespace fs = std::filesystem;
using platform::Rect;
using platform::WindowPlacement;
using telvora::test::ReadFileBytes;
using telvora::test::TempDir;
using telvora::test::WriteFileBytes;

// The main window at its designed place: outer rectangle 439,274 - 828,511.
class TestWindow : public FormWindow {
  public:
    TestWindow() {
        placement.rcNormalPosition = {439, 274, 828, 511};
        texts["Edit1"] = "";
    }

    std::string ClassName() const override { return "TfrmMain"; }
    WindowPlacement GetWindowPlacement() const override { return placement; }
    void SetWindowPlacement(const WindowPlacement& p) override {
        if (failPlacement) {
            throw Error("placement refused");
        }
        applied.push_back(p);
        placement.ptMinPosition = p.ptMinPosition;
        placement.ptMaxPosition = p.ptMaxPosition;
        placement.rcNormalPosition = p.rcNormalPosition;
    }
    bool IsWindowVisible() const override { return visible; }
    bool HandleAllocated() const override { return handle; }
    bool IsApplicationIconic() const override { return iconic; }
    int ScreenWidth() const override { return screenWidth; }
    int ScreenHeight() const override { return screenHeight; }
    std::optional<std::string> FindComponent(const std::string& name) const override {
        for (const auto& [component, text] : texts) {
            if (strcasecmp(component.c_str(), name.c_str()) == 0) {
                return component;
            }
        }
        return std::nullopt;
    }
    std::string ComponentText(const std::string& component) const override {
        return texts.at(component);
    }
    void SetComponentText(const std::string& component, const std::string& text) override {
        if (failText) {
            throw std::runtime_error("text refused");
        }
        texts.at(component) = text;
    }

    Rect rect() const { return placement.rcNormalPosition; }

    WindowPlacement placement;
    std::vector<WindowPlacement> applied;
    std::map<std::string, std::string> texts;
    bool visible = false;
    bool handle = true;
    bool iconic = false;
    bool failPlacement = false;
    bool failText = false;
    int screenWidth = 1920;
    int screenHeight = 1080;
};

// One run of the program: the window, its FormStorage, and the messages the
// default error handling would have shown.
struct ProgramRun {
    explicit ProgramRun(const fs::path& ini, int pixelsPerInch = 96)
        : storage(window, pixelsPerInch, [this](std::exception_ptr e) {
              try {
                  std::rethrow_exception(e);
              } catch (const std::exception& ex) {
                  messages.push_back(ex.what());
              }
          }) {
        storage.Loaded();
        storage.SetIniFileName(platform::PathToUtf8(ini));
    }
    void Show() {
        storage.FormShow();
        window.visible = true;
    }
    void Close() {
        EXPECT_TRUE(storage.FormCloseQuery());
        window.visible = false;
    }

    TestWindow window;
    std::vector<std::string> messages;
    FormStorage storage;
};

const char kFirstCloseFile[] =
    "[TfrmMain]\r\n"
    "FormVersion=0\r\n"
    "Flags=0\r\n"
    "ShowCmd=1\r\n"
    "PixelsPerInch=96\r\n"
    "MinMaxPos(1920x1080)=-1,-1,-1,-1\r\n"
    "MinMaxPos=-1,-1,-1,-1\r\n"
    "NormPos(1920x1080)=439,274,828,511\r\n"
    "NormPos=439,274,828,511\r\n"
    "Visible=0\r\n"
    "Edit1_Text=\r\n";

class FormStorageTest : public ::testing::Test {
  protected:
    fs::path ini() const { return dir_ / "Telvora.ini"; }
    TempDir dir_;
};

TEST_F(FormStorageTest, FirstCloseWritesTheTenKeysInOrder) {
    ProgramRun run(ini());
    run.Show();
    EXPECT_EQ(run.window.rect(), (Rect{439, 274, 828, 511}));
    EXPECT_EQ(run.window.texts["Edit1"], "");
    EXPECT_TRUE(run.storage.Restored());
    run.Close();
    EXPECT_TRUE(run.storage.Saved());
    run.storage.FormDestroy();  // already saved: nothing more
    EXPECT_EQ(ReadFileBytes(ini()), kFirstCloseFile);
    EXPECT_TRUE(run.messages.empty());
}

TEST_F(FormStorageTest, RestoreTidiesMaximisedPositionWhileHidden) {
    ProgramRun run(ini());
    run.window.placement.ptMaxPosition = {50, 60};
    run.window.placement.showCmd = platform::kSwShowNormal;
    run.Show();
    ASSERT_FALSE(run.window.applied.empty());
    const WindowPlacement& tidy = run.window.applied.back();
    EXPECT_EQ(tidy.ptMaxPosition, (platform::Point{-1, -1}));
    EXPECT_EQ(tidy.showCmd, platform::kSwHide);  // moved, not shown
}

TEST_F(FormStorageTest, DestructionWithoutCloseSavesVisibleOne) {
    ProgramRun run(ini());
    run.Show();
    run.storage.FormDestroy();
    EXPECT_FALSE(run.storage.Destroying());
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Visible", ""), "1");
    EXPECT_TRUE(run.storage.Saved());
}

TEST_F(FormStorageTest, DestroyingIsSetOnlyDuringThatSave) {
    struct Probe : TestWindow {
        FormStorage* storage = nullptr;
        mutable std::vector<bool> seen;
        WindowPlacement GetWindowPlacement() const override {
            seen.push_back(storage->Destroying());
            return TestWindow::GetWindowPlacement();
        }
    } window;
    FormStorage storage(window, 96, nullptr);
    window.storage = &storage;
    storage.Loaded();
    storage.SetIniFileName(platform::PathToUtf8(ini()));
    storage.FormShow();
    window.seen.clear();
    storage.FormDestroy();
    EXPECT_EQ(window.seen, std::vector<bool>{true});
    EXPECT_FALSE(storage.Destroying());
}

TEST_F(FormStorageTest, NothingIsWrittenWithoutRestore) {
    ProgramRun run(ini());
    run.Close();
    run.storage.FormDestroy();
    EXPECT_FALSE(fs::exists(ini()));
    EXPECT_FALSE(run.storage.Saved());
}

TEST_F(FormStorageTest, CloseWithoutNativeWindowDoesNotSave) {
    ProgramRun run(ini());
    run.Show();
    run.window.handle = false;
    run.Close();
    EXPECT_FALSE(fs::exists(ini()));
    run.storage.FormDestroy();  // not saved yet, so destruction saves
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Visible", ""), "1");
}

TEST_F(FormStorageTest, ShowAgainClearsSavedSoDestructionSavesAgain) {
    ProgramRun run(ini());
    run.Show();
    run.Close();
    run.Show();
    EXPECT_FALSE(run.storage.Saved());
    run.storage.FormDestroy();
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Visible", ""), "1");
}

TEST_F(FormStorageTest, MinimisedApplicationSavesShowCmdTwo) {
    ProgramRun run(ini());
    run.Show();
    run.window.iconic = true;
    run.Close();
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "ShowCmd", ""), "2");
}

TEST_F(FormStorageTest, CloseAndNewStartBringBackPositionAndCallsign) {
    {
        ProgramRun run(ini());
        run.Show();
        run.window.placement.rcNormalPosition = {10, 20, 399, 257};
        run.window.texts["Edit1"] = "  R1ABC ";
        run.Close();
        run.storage.FormDestroy();
    }
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Edit1_Text", ""), "R1ABC");
    ProgramRun next(ini());
    next.Show();
    EXPECT_EQ(next.window.rect(), (Rect{10, 20, 399, 257}));
    EXPECT_EQ(next.window.texts["Edit1"], "R1ABC");
}

// Callsigns that must read back exactly as they were saved (after trimming).
class CallsignRoundTripTest
    : public FormStorageTest,
      public ::testing::WithParamInterface<std::pair<std::string, std::string>> {};

TEST_P(CallsignRoundTripTest, ReadsBackUnchanged) {
    const auto& [typed, expected] = GetParam();
    {
        ProgramRun run(ini());
        run.Show();
        run.window.texts["Edit1"] = typed;
        run.Close();
    }
    ProgramRun next(ini());
    next.Show();
    EXPECT_EQ(next.window.texts["Edit1"], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CallsignRoundTripTest,
    ::testing::Values(std::pair<std::string, std::string>{"R1ABC", "R1ABC"},
                      std::pair<std::string, std::string>{"\"R1ABC\"", "\"R1ABC\""},
                      std::pair<std::string, std::string>{"'R1ABC'", "'R1ABC'"},
                      std::pair<std::string, std::string>{"\"", "\""},
                      std::pair<std::string, std::string>{"\"R1ABC", "\"R1ABC"},
                      std::pair<std::string, std::string>{"  \"R1 ABC\"  ", "\"R1 ABC\""},
                      std::pair<std::string, std::string>{"UA9/R1ABC/P", "UA9/R1ABC/P"},
                      std::pair<std::string, std::string>{"", ""}));

TEST_F(FormStorageTest, QuotedCallsignIsWrittenInOneMorePair) {
    ProgramRun run(ini());
    run.Show();
    run.window.texts["Edit1"] = "\"R1ABC\"";
    run.Close();
    EXPECT_NE(ReadFileBytes(ini()).find("\r\nEdit1_Text=\"\"R1ABC\"\"\r\n"), std::string::npos);
}

// Restore cases: the file as found, and where the window and the callsign end up.
struct RestoreCase {
    const char* name;
    std::string file;
    Rect rect;             // the window's normal rectangle after the show
    std::string callsign;  // Edit1 after the show (it was "OLD" before)
};

class RestoreTest : public FormStorageTest, public ::testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTest, AppliesWhatTheFileHolds) {
    const RestoreCase& c = GetParam();
    WriteFileBytes(ini(), c.file);
    ProgramRun run(ini());
    run.window.texts["Edit1"] = "OLD";
    run.Show();
    EXPECT_EQ(run.window.rect(), c.rect);
    EXPECT_EQ(run.window.texts["Edit1"], c.callsign);
    EXPECT_TRUE(run.storage.Restored());
    EXPECT_TRUE(run.messages.empty());
}

const Rect kDesigned{439, 274, 828, 511};

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    ::testing::Values(
        RestoreCase{"no_section", "[Other]\r\nNormPos=1,2,3,4\r\n", kDesigned, "OLD"},
        RestoreCase{"full",
                    "[TfrmMain]\r\nNormPos=100,200,489,437\r\nEdit1_Text=R1ABC\r\n",
                    {100, 200, 489, 437},
                    "R1ABC"},
        RestoreCase{"other_size_keeps_own_size",
                    "[TfrmMain]\r\nNormPos=100,200,900,900\r\n",
                    {100, 200, 489, 437},
                    "OLD"},
        RestoreCase{"two_words", "[TfrmMain]\r\nNormPos=100,200\r\n", {100, 200, 489, 437}, "OLD"},
        RestoreCase{"suffixed_wins",
                    "[TfrmMain]\r\nNormPos(1920x1080)=5,6,7,8\r\nNormPos=100,200,1,1\r\n",
                    {5, 6, 394, 243},
                    "OLD"},
        RestoreCase{"other_resolution_uses_plain",
                    "[TfrmMain]\r\nNormPos(1280x1024)=5,6,7,8\r\nNormPos=100,200,1,1\r\n",
                    {100, 200, 489, 437},
                    "OLD"},
        RestoreCase{"empty_suffixed_uses_plain",
                    "[TfrmMain]\r\nNormPos(1920x1080)=\r\nNormPos=100,200\r\n",
                    {100, 200, 489, 437},
                    "OLD"},
        RestoreCase{"words_any_separators",
                    "[TfrmMain]\r\nNormPos= 100, ,200,,\r\n",
                    {100, 200, 489, 437},
                    "OLD"},
        RestoreCase{"hex_words", "[TfrmMain]\r\nNormPos=$64,0xC8\r\n", {100, 200, 489, 437}, "OLD"},
        RestoreCase{"malformed_word_keeps_current",
                    "[TfrmMain]\r\nNormPos=abc,200\r\n",
                    {439, 200, 828, 437},
                    "OLD"},
        RestoreCase{
            "negative_position", "[TfrmMain]\r\nNormPos=-300,-20\r\n", {-300, -20, 89, 217}, "OLD"},
        RestoreCase{"same_pixels_per_inch",
                    "[TfrmMain]\r\nPixelsPerInch=96\r\nNormPos=1,2\r\n",
                    {1, 2, 390, 239},
                    "OLD"},
        RestoreCase{"pixels_per_inch_hex",
                    "[TfrmMain]\r\nPixelsPerInch=0x60\r\nNormPos=1,2\r\n",
                    {1, 2, 390, 239},
                    "OLD"},
        RestoreCase{"other_pixels_per_inch_keeps_place_not_callsign",
                    "[TfrmMain]\r\nPixelsPerInch=120\r\nNormPos=1,2\r\nEdit1_Text=R1ABC\r\n",
                    kDesigned, "R1ABC"},
        RestoreCase{"malformed_pixels_per_inch_is_current",
                    "[TfrmMain]\r\nPixelsPerInch=ninety\r\nNormPos=1,2\r\n",
                    {1, 2, 390, 239},
                    "OLD"},
        RestoreCase{"only_min_max_stays", "[TfrmMain]\r\nMinMaxPos=1,2,3,4\r\n", kDesigned, "OLD"},
        RestoreCase{"form_version_negative_restores_nothing",
                    "[TfrmMain]\r\nFormVersion=-1\r\nNormPos=1,2\r\nEdit1_Text=R1ABC\r\n",
                    kDesigned, "OLD"},
        RestoreCase{"form_version_hex",
                    "[TfrmMain]\r\nFormVersion=0x10\r\nNormPos=1,2\r\n",
                    {1, 2, 390, 239},
                    "OLD"},
        RestoreCase{"form_version_malformed_is_zero",
                    "[TfrmMain]\r\nFormVersion=new\r\nNormPos=1,2\r\n",
                    {1, 2, 390, 239},
                    "OLD"},
        RestoreCase{"callsign_trimmed", "[TfrmMain]\r\nEdit1_Text=\"  R1ABC \t\"\r\n", kDesigned,
                    "R1ABC"},
        RestoreCase{"callsign_empty", "[TfrmMain]\r\nEdit1_Text=\r\n", kDesigned, ""},
        RestoreCase{"callsign_cut_to_2047",
                    "[TfrmMain]\r\nEdit1_Text=" + std::string(3000, 'R') + "\r\n", kDesigned,
                    std::string(2047, 'R')},
        RestoreCase{"names_any_case",
                    "[tfrmmain]\r\nnormpos=1,2\r\nEDIT1_TEXT=R1ABC\r\n",
                    {1, 2, 390, 239},
                    "R1ABC"},
        RestoreCase{"overflowing_right_not_applied", "[TfrmMain]\r\nNormPos=2147483600,2\r\n",
                    kDesigned, "OLD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormStorageTest, FlagsAndMinimisedPositionArePassedBack) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nFlags=2\r\nMinMaxPos=7,8,9,10\r\nNormPos=1,2\r\n");
    ProgramRun run(ini());
    run.Show();
    ASSERT_EQ(run.window.applied.size(), 2u);  // the position, then the tidy step
    EXPECT_EQ(run.window.applied[0].flags, 2u);
    EXPECT_EQ(run.window.applied[0].ptMinPosition, (platform::Point{7, 8}));
    EXPECT_EQ(run.window.applied[0].ptMaxPosition, (platform::Point{9, 10}));
    EXPECT_EQ(run.window.applied[1].ptMaxPosition, (platform::Point{-1, -1}));
    run.Close();
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "MinMaxPos", ""), "7,8,-1,-1");
}

TEST_F(FormStorageTest, NegativeFormVersionIsRewrittenAsZero) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nFormVersion=-1\r\n");
    ProgramRun run(ini());
    run.Show();
    run.Close();
    EXPECT_EQ(ReadFileBytes(ini()), kFirstCloseFile);
}

TEST_F(FormStorageTest, SaveKeepsOtherSectionsAndKeys) {
    WriteFileBytes(ini(),
                   "; notes\r\n[Other]\r\nA=1\r\n\r\n[TfrmMain]\r\nMine=keep\r\n"
                   "NormPos=1,2,390,239\r\n");
    ProgramRun run(ini());
    run.Show();
    run.Close();
    const std::string after = ReadFileBytes(ini());
#ifdef _WIN32
    // The platform's profile writer (Wine's, where these tests run) writes the file anew from
    // what it read: sections and keys stay, the blank line between them does not.
    const char* const kept = "; notes\r\n[Other]\r\nA=1\r\n[TfrmMain]\r\nMine=keep\r\n";
#else
    const char* const kept = "; notes\r\n[Other]\r\nA=1\r\n\r\n[TfrmMain]\r\nMine=keep\r\n";
#endif
    EXPECT_EQ(after, std::string(kept) +
                         "NormPos=1,2,390,239\r\n"
                         "FormVersion=0\r\nFlags=0\r\nShowCmd=1\r\nPixelsPerInch=96\r\n"
                         "MinMaxPos(1920x1080)=-1,-1,-1,-1\r\nMinMaxPos=-1,-1,-1,-1\r\n"
                         "NormPos(1920x1080)=1,2,390,239\r\nVisible=0\r\nEdit1_Text=\r\n");
}

TEST_F(FormStorageTest, ResolutionChangeKeepsEachScreensPosition) {
    {
        ProgramRun run(ini());
        run.Show();
        run.window.placement.rcNormalPosition = {1500, 800, 1889, 1037};
        run.Close();
    }
    {
        ProgramRun small(ini());
        small.window.screenWidth = 1024;
        small.window.screenHeight = 768;
        small.Show();  // no key for 1024x768: the plain key, the last saved place
        EXPECT_EQ(small.window.rect(), (Rect{1500, 800, 1889, 1037}));
        small.window.placement.rcNormalPosition = {30, 40, 419, 277};
        small.Close();
    }
    ProgramRun big(ini());
    big.Show();
    EXPECT_EQ(big.window.rect(), (Rect{1500, 800, 1889, 1037}));
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "NormPos", ""), "30,40,419,277");
}

TEST_F(FormStorageTest, ReadOnlyFileShowsMessageAtCloseAndAgainAtDestruction) {
    WriteFileBytes(ini(), kFirstCloseFile);
    ASSERT_TRUE(test::MakeReadOnly(ini()));
    ProgramRun run(ini());
    run.window.texts["Edit1"] = "R1ABC";
    run.Show();
    run.Close();
    const std::string message = "Unable to write to " + platform::PathToUtf8(ini());
    EXPECT_EQ(run.messages, std::vector<std::string>{message});
    EXPECT_FALSE(run.storage.Saved());
    run.storage.FormDestroy();
    EXPECT_EQ(run.messages, (std::vector<std::string>{message, message}));
    EXPECT_EQ(ReadFileBytes(ini()), kFirstCloseFile);
}

#ifndef _WIN32
// A folder's read-only attribute does not keep Windows from creating a file in it; on Linux a
// folder without write permission does.
TEST_F(FormStorageTest, ReadOnlyFolderWithoutFileShowsMessageAndCreatesNothing) {
    const fs::path folder = dir_ / "ro";
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    ProgramRun run(folder / "Telvora.ini");
    run.Show();
    run.Close();
    run.storage.FormDestroy();
    EXPECT_EQ(run.messages.size(), 2u);
    EXPECT_FALSE(fs::exists(folder / "Telvora.ini"));
}

// A write that fails half way (the file-size limit stands in for a full disk)
// ends the save there: the keys before it stay written, the rest are not.
TEST_F(FormStorageTest, FailedWriteEndsSaveAtThatKey) {
    ProgramRun run(ini());
    run.Show();

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 60;  // room for the section and three keys
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    run.Close();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadFileBytes(ini()), "[TfrmMain]\r\nFormVersion=0\r\nFlags=0\r\nShowCmd=1\r\n");
    EXPECT_EQ(run.messages,
              std::vector<std::string>{"Unable to write to " + platform::PathToUtf8(ini())});
    EXPECT_FALSE(run.storage.Saved());
    run.storage.FormDestroy();  // tried again, now with room
    EXPECT_TRUE(run.storage.Saved());
    EXPECT_EQ(platform::ReadProfileValue(ini(), "TfrmMain", "Visible", ""), "1");
}
#endif

TEST_F(FormStorageTest, CallsignErrorsAreIgnoredSilently) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nNormPos=1,2\r\nEdit1_Text=R1ABC\r\n");
    ProgramRun run(ini());
    run.window.failText = true;
    run.Show();
    EXPECT_TRUE(run.messages.empty());
    EXPECT_TRUE(run.storage.Restored());
    EXPECT_EQ(run.window.rect(), (Rect{1, 2, 390, 239}));
    EXPECT_EQ(run.window.applied.size(), 2u);  // the tidy step still ran
}

TEST_F(FormStorageTest, RestoreFailureGoesToHandlerAndShowGoesOn) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nNormPos=1,2\r\n");
    ProgramRun run(ini());
    run.window.failPlacement = true;
    run.Show();
    EXPECT_EQ(run.messages, std::vector<std::string>{"placement refused"});
}

TEST_F(FormStorageTest, InactiveStorageLeavesWindowAndFileAlone) {
    WriteFileBytes(ini(), "[TfrmMain]\r\nNormPos=1,2\r\n");
    ProgramRun run(ini());
    run.storage.SetActive(false);
    run.Show();
    run.Close();
    run.storage.FormDestroy();
    EXPECT_EQ(run.window.rect(), kDesigned);
    EXPECT_TRUE(run.window.applied.empty());
    EXPECT_EQ(ReadFileBytes(ini()), "[TfrmMain]\r\nNormPos=1,2\r\n");
}

TEST_F(FormStorageTest, SectionIsNamedAfterWindowClassUnlessSet) {
    ProgramRun run(ini());
    EXPECT_EQ(run.storage.IniSection(), "TfrmMain");
    run.storage.SetIniSection("Other");
    EXPECT_EQ(run.storage.IniSection(), "Other");
}

struct PropsCase {
    const char* name;
    std::vector<std::string> entries;
    std::vector<std::string> resolved;  // "Component.Property"
};

class StoredPropsTest : public ::testing::TestWithParam<PropsCase> {};

TEST_P(StoredPropsTest, ResolvesAgainstWindowComponents) {
    TestWindow window;
    FormStorage storage(window, 96, nullptr);
    storage.SetStoredProps(GetParam().entries);
    storage.Loaded();
    std::vector<std::string> resolved;
    for (const auto& prop : storage.ResolvedProps()) {
        resolved.push_back(prop.component + "." + prop.property);
    }
    EXPECT_EQ(resolved, GetParam().resolved);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredPropsTest,
    ::testing::Values(PropsCase{"default", {"Edit1.Text"}, {"Edit1.Text"}},
                      PropsCase{"trimmed_any_case", {" edit1 . TEXT "}, {"Edit1.Text"}},
                      PropsCase{"no_dot", {"Edit1Text"}, {}},
                      PropsCase{"empty_component", {" .Text"}, {}},
                      PropsCase{"empty_property", {"Edit1. "}, {}},
                      PropsCase{"unknown_component", {"Edit2.Text"}, {}},
                      PropsCase{"unknown_property", {"Edit1.Color"}, {}},
                      PropsCase{"split_at_first_dot", {"Edit1.Text.Length"}, {}},
                      PropsCase{"good_kept_among_bad", {"x", "Edit1.Text", "y.z"}, {"Edit1.Text"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StoredPropsDefault, IsTheCallsignBox) {
    TestWindow window;
    FormStorage storage(window, 96, nullptr);
    EXPECT_EQ(storage.StoredProps(), std::vector<std::string>{"Edit1.Text"});
}

}  // namespace
}  // namespace telvora::settings
