// The file rules that the settings file, the registry file and the district lists share, on
// real files, folders and pipes. This machine's CI runs as root, so the read-only cases must
// hold for root as well.
#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "temp_dir.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(ReadWholeFile, GivesEveryByteOrSaysWhyNot) {
    TempDir dir;
    std::string bytes(200000, 'x');  // more than one read's worth
    bytes[7] = '\0';
    WriteFileBytes(dir / "big", bytes);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);

    std::error_code error;
    EXPECT_EQ(ReadWholeFile(dir / "big", error), bytes);
    EXPECT_FALSE(error);

    struct Case {
        const char* name;
        std::errc expected;
    };
    const Case refused[] = {
        {"missing", std::errc::no_such_file_or_directory},
        {"big/below", std::errc::not_a_directory},
        {".", std::errc::is_a_directory},
        {"pipe", std::errc::invalid_argument},  // never read: no writer would ever come
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(ReadWholeFile(dir / c.name, error)) << c.name;
        EXPECT_EQ(error, c.expected) << c.name;
    }
}

TEST(IsWritable, FilesAndFoldersWithoutWriteBitsAreReadOnlyEvenForRoot) {
    struct Case {
        const char* what;
        bool folder;
        mode_t mode;
        bool writable;
    };
    const Case cases[] = {
        {"file rw-r--r--", false, 0644, true},
        {"file r--r--r--", false, 0444, false},
        {"file ---------", false, 0000, false},
        {"file -w-------", false, 0200, true},
        {"folder rwxr-xr-x", true, 0755, true},
        {"folder r-xr-xr-x", true, 0555, false},
        {"file r--rw-r-- (group bit)", false, 0464, geteuid() == 0},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = dir / "p";
        if (c.folder) {
            fs::create_directory(path);
        } else {
            WriteFileBytes(path, "x");
        }
        ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
        EXPECT_EQ(IsWritable(path), c.writable) << c.what;
    }
    TempDir dir;
    EXPECT_FALSE(IsWritable(dir / "missing"));
}

TEST(WriteAll, FileThatCannotBeFlushedCountsAsWritten) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    EXPECT_TRUE(WriteAll(ends[1], "abc"));  // fsync on a pipe gives EINVAL
    char read_back[4] = {};
    EXPECT_EQ(::read(ends[0], read_back, 3), 3);
    EXPECT_STREQ(read_back, "abc");
    ::close(ends[0]);
    ::close(ends[1]);
}

TEST(ReplaceViaSibling, NewContentOrNothingAndNoLeftovers) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, "old");
    ASSERT_TRUE(ReplaceViaSibling(file, "new", 0600));
    EXPECT_EQ(ReadFileBytes(file), "new");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_FALSE(ReplaceViaSibling(dir / "no" / "Telvora.ini", "x", 0644));
    fs::create_directory(dir / "in-the-way");
    EXPECT_FALSE(ReplaceViaSibling(dir / "in-the-way", "x", 0644));  // rename over a folder
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 2) << "only the file and the folder";
}

}  // namespace
}  // namespace telvora::platform
