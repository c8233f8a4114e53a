// Where Telvora.ini and ErrorList.txt go: beside the executable in a folder of the user's own,
// in the user's own folders for a copy installed where the user cannot (or should not) write.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/user_files.h"
#include "scoped_env.h"
#include "temp_dir.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;

TEST(UserFilesTest, BesideTheExecutableOnlyInAFolderOfTheUsersOwn) {
    test::TempDir dir;
    const test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    const test::ScopedEnv state("XDG_STATE_HOME", (dir / "state").string());
    fs::create_directories(dir / "own");
    ASSERT_EQ(::chmod((dir / "own").c_str(), 0755), 0);
    fs::create_directories(dir / "shared");
    ASSERT_EQ(::chmod((dir / "shared").c_str(), 0777), 0);
    fs::create_directories(dir / "group");
    ASSERT_EQ(::chmod((dir / "group").c_str(), 0775), 0);
    fs::create_directories(dir / "readonly");
    ASSERT_EQ(::chmod((dir / "readonly").c_str(), 0555), 0);
    fs::create_directories(dir / "others");
    ASSERT_EQ(::chown((dir / "others").c_str(), 65534, 65534), 0);  // as CI runs: root

    struct Case {
        const char* what;
        fs::path executable;
        bool beside;
    };
    const Case cases[] = {
        {"a folder of the user's own (a build tree, an unpacked archive)", dir / "own" / "telvora",
         true},
        {"a folder without write permission, root or not", dir / "readonly" / "telvora", false},
        {"a folder of another user", dir / "others" / "telvora", false},
        {"a folder every user may write: another could plant a link there",
         dir / "shared" / "telvora", false},
        {"a folder the user's group may write", dir / "group" / "telvora", false},
        {"a system folder (a package's)", "/usr/bin/telvora", false},
        {"a folder that is not there: named as it is", dir / "gone" / "telvora", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = c.executable.parent_path();
        EXPECT_EQ(SettingsFile(c.executable),
                  c.beside ? folder / "Telvora.ini" : dir / "config" / "telvora" / "Telvora.ini");
        EXPECT_EQ(ErrorListFile(c.executable), c.beside
                                                   ? folder / "ErrorList.txt"
                                                   : dir / "state" / "telvora" / "ErrorList.txt");
    }
    // The user's folders are made for the files to go in.
    EXPECT_TRUE(fs::is_directory(dir / "config" / "telvora"));
    EXPECT_TRUE(fs::is_directory(dir / "state" / "telvora"));
    ::chmod((dir / "readonly").c_str(), 0755);
}

TEST(UserFilesTest, TheUsersFoldersDefaultBelowTheHomeFolder) {
    test::TempDir home;
    const test::ScopedEnv homeVariable("HOME", home.path().string());
    const test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
    const test::ScopedEnv state("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(SettingsFile("/usr/bin/telvora"), home / ".config" / "telvora" / "Telvora.ini");
    EXPECT_EQ(ErrorListFile("/usr/bin/telvora"),
              home.path() / ".local" / "state" / "telvora" / "ErrorList.txt");
}

}  // namespace
}  // namespace telvora::platform
