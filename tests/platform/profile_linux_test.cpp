// The profile functions on real files: what a read gives back, the bytes a
// write leaves, and the writes that must be refused without touching the file.
#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "temp_dir.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;
using telvora::test::ReadFileBytes;
using telvora::test::TempDir;
using telvora::test::Utf16Le;
using telvora::test::WriteFileBytes;

struct ReadCase {
    const char* name;
    std::string content;
    const char* section;
    const char* key;
    const char* fallback;
    std::string expected;
};

class ReadProfileStringTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadProfileStringTest, GivesValueOrDefault) {
    const ReadCase& c = GetParam();
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, c.content);
    EXPECT_EQ(ReadProfileValue(file, c.section, c.key, c.fallback), c.expected);
}

const std::string kLongValue(3000, 'A');

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadProfileStringTest,
    ::testing::Values(
        ReadCase{"plain", "[TfrmMain]\r\nFlags=0\r\n", "TfrmMain", "Flags", "d", "0"},
        ReadCase{"section_and_key_any_case", "[TFRMMAIN]\r\nnormpos=1,2\r\n", "tfrmmain", "NormPos",
                 "d", "1,2"},
        ReadCase{"blanks_around_names_and_value", "  [ TfrmMain ]  \r\n  Key \t=  a b  \r\n",
                 "TfrmMain", "Key", "d", "a b"},
        ReadCase{"form_feeds_and_vertical_tabs_are_blanks", "[S]\r\n\fKey\v=\v a\f\r\n", "S", "Key",
                 "d", "a"},
        ReadCase{"double_quotes_removed", "[S]\r\nK=\"  X  \"\r\n", "S", "K", "d", "  X  "},
        ReadCase{"single_quotes_removed", "[S]\r\nK='X'\r\n", "S", "K", "d", "X"},
        ReadCase{"only_one_pair_removed", "[S]\r\nK=\"\"X\"\"\r\n", "S", "K", "d", "\"X\""},
        ReadCase{"mixed_quotes_kept", "[S]\r\nK=\"X'\r\n", "S", "K", "d", "\"X'"},
        ReadCase{"lone_quote_kept", "[S]\r\nK=\"\r\n", "S", "K", "d", "\""},
        ReadCase{"empty_value_is_not_default", "[S]\r\nK=\r\n", "S", "K", "d", ""},
        ReadCase{"key_without_equals_is_empty", "[S]\r\nK\r\n", "S", "K", "d", ""},
        ReadCase{"missing_key", "[S]\r\nA=1\r\n", "S", "B", "d", "d"},
        ReadCase{"missing_section", "[S]\r\nA=1\r\n", "T", "A", "d", "d"},
        ReadCase{"key_of_other_section", "[S]\r\nA=1\r\n[T]\r\nB=2\r\n", "S", "B", "d", "d"},
        ReadCase{"key_of_later_section", "[S]\r\nA=1\r\n[T]\r\nB=2\r\n", "T", "B", "d", "2"},
        ReadCase{"first_of_duplicate_keys", "[S]\r\nA=1\r\nA=2\r\n", "S", "A", "d", "1"},
        ReadCase{"equals_inside_value", "[S]\r\nA=b=c\r\n", "S", "A", "d", "b=c"},
        ReadCase{"comment_is_not_a_key", "[S]\r\n;A=1\r\n", "S", ";A", "d", "d"},
        ReadCase{"lf_and_cr_line_ends", "[S]\nA=1\rB=2\n", "S", "B", "d", "2"},
        ReadCase{"last_line_without_break", "[S]\r\nA=1", "S", "A", "d", "1"},
        ReadCase{"utf8_mark", "\xEF\xBB\xBF[S]\r\nA=1\r\n", "S", "A", "d", "1"},
        ReadCase{"utf16le_file", "\xFF\xFE" + Utf16Le("[S]\r\nA=\"x y\"\r\n"), "S", "A", "d",
                 "x y"},
        ReadCase{"value_cut_to_2047", "[S]\r\nA=" + kLongValue + "\r\n", "S", "A", "d",
                 std::string(2047, 'A')},
        ReadCase{"quoted_long_value_cut_to_2047", "[S]\r\nA=\"" + kLongValue + "\"\r\n", "S", "A",
                 "d", std::string(2047, 'A')},
        ReadCase{"empty_file", "", "S", "A", "d", "d"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadProfileValue, MissingOrUnreadableFileGivesDefault) {
    TempDir dir;
    EXPECT_EQ(ReadProfileValue(dir / "none.ini", "S", "A", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileValue(dir.path(), "S", "A", "dflt"), "dflt");  // a folder
}

TEST(ReadProfileValue, LongDefaultIsCutAtWholeCharacters) {
    TempDir dir;
    std::string cyrillic;
    for (int i = 0; i < 2100; ++i) {
        cyrillic += "\xD0\x96";
    }
    const std::string read = ReadProfileValue(dir / "none.ini", "S", "A", cyrillic);
    EXPECT_EQ(read, cyrillic.substr(0, 2 * 2047));
}

// Files without a byte-order mark are in the code page of the user's locale.
class ScopedLocale {
  public:
    explicit ScopedLocale(const char* name) {
        if (const char* old = std::getenv("LC_ALL")) {
            old_ = old;
        }
        ::setenv("LC_ALL", name, 1);
    }
    ~ScopedLocale() {
        if (old_) {
            ::setenv("LC_ALL", old_->c_str(), 1);
        } else {
            ::unsetenv("LC_ALL");
        }
    }

  private:
    std::optional<std::string> old_;
};

TEST(ReadProfileValue, FileWithoutMarkIsInLocaleCodePage) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, "[S]\r\nA=\xD0\x9F\xD0\xB5\r\n");
    {
        ScopedLocale utf8("C.UTF-8");
        EXPECT_EQ(ReadProfileValue(file, "S", "A", ""), "\xD0\x9F\xD0\xB5");
    }
    {
        // ASCII: bytes it cannot decode read as replacement characters.
        ScopedLocale ascii("C");
        EXPECT_EQ(ReadProfileValue(file, "S", "A", ""),
                  "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
        // ... and a write elsewhere in the file keeps their bytes.
        ASSERT_TRUE(WriteProfileValue(file, "S", "B", "1"));
        EXPECT_EQ(ReadFileBytes(file), "[S]\r\nA=\xD0\x9F\xD0\xB5\r\nB=1\r\n");
    }
}

struct WriteCase {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file yet
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class WriteProfileStringTest : public ::testing::TestWithParam<WriteCase> {};

TEST_P(WriteProfileStringTest, LeavesExactBytes) {
    const WriteCase& c = GetParam();
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    if (c.before) {
        WriteFileBytes(file, *c.before);
    }
    ASSERT_TRUE(WriteProfileValue(file, c.section, c.key, c.value));
    EXPECT_EQ(ReadFileBytes(file), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteProfileStringTest,
    ::testing::Values(
        WriteCase{"new_file", std::nullopt, "TfrmMain", "Flags", "0", "[TfrmMain]\r\nFlags=0\r\n"},
        WriteCase{"empty_file", "", "S", "A", "1", "[S]\r\nA=1\r\n"},
        WriteCase{"replaced_in_place", "[S]\r\nA=1\r\nB=2\r\n", "S", "a", "9",
                  "[S]\r\nA=9\r\nB=2\r\n"},
        WriteCase{"appended_after_last_key", "[S]\r\nA=1\r\n\r\n[T]\r\nC=3\r\n", "S", "B", "2",
                  "[S]\r\nA=1\r\nB=2\r\n\r\n[T]\r\nC=3\r\n"},
        WriteCase{"appended_before_comment_of_next_section", "[S]\r\nA=1\r\n;about T\r\n[T]\r\n",
                  "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n;about T\r\n[T]\r\n"},
        WriteCase{"section_without_keys", "[S]\r\n\r\n[T]\r\n", "S", "A", "1",
                  "[S]\r\nA=1\r\n\r\n[T]\r\n"},
        WriteCase{"new_section_at_end", "[S]\r\nA=1\r\n", "T", "B", "2",
                  "[S]\r\nA=1\r\n[T]\r\nB=2\r\n"},
        WriteCase{"last_line_without_break", "[S]\r\nA=1", "S", "B", "2", "[S]\r\nA=1\r\nB=2\r\n"},
        WriteCase{"new_section_after_line_without_break", "[S]\r\nA=1", "T", "B", "2",
                  "[S]\r\nA=1\r\n[T]\r\nB=2\r\n"},
        WriteCase{"lf_file_keeps_lf", "[S]\nA=1\n", "S", "B", "2", "[S]\nA=1\nB=2\n"},
        WriteCase{"other_lines_keep_their_bytes", "; mine\r\n[S]\r\n  A = 1 \r\nX\xFF=\xFE\r\n",
                  "S", "A", "2", "; mine\r\n[S]\r\nA=2\r\nX\xFF=\xFE\r\n"},
        WriteCase{"first_of_duplicate_sections", "[S]\r\nA=1\r\n[S]\r\nA=2\r\n", "s", "A", "3",
                  "[S]\r\nA=3\r\n[S]\r\nA=2\r\n"},
        WriteCase{"value_written_as_given", std::nullopt, "S", "A", "\"\"x\"\"",
                  "[S]\r\nA=\"\"x\"\"\r\n"},
        WriteCase{"empty_value", "[S]\r\nA=1\r\n", "S", "A", "", "[S]\r\nA=\r\n"},
        WriteCase{"utf8_mark_kept", "\xEF\xBB\xBF[S]\r\n", "S", "A", "\xD0\x96",
                  "\xEF\xBB\xBF[S]\r\nA=\xD0\x96\r\n"},
        WriteCase{"utf16le_kept", "\xFF\xFE" + Utf16Le("[S]\r\nA=1\r\n"), "S", "B", "2",
                  "\xFF\xFE" + Utf16Le("[S]\r\nA=1\r\nB=2\r\n")},
        WriteCase{
            "utf16le_non_ascii", "\xFF\xFE" + Utf16Le("[S]\r\n"), "S", "A", "\xD0\x96",
            "\xFF\xFE" + Utf16Le("[S]\r\nA=") + std::string("\x16\x04", 2) + Utf16Le("\r\n")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WriteProfileValue, NonAsciiReadsBackFromUtf16File) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, "\xFF\xFE" + Utf16Le("[S]\r\n"));
    const std::string value = "R\xC3\xB6 \xF0\x9F\x93\xBB";  // with a character beyond 16 bits
    ASSERT_TRUE(WriteProfileValue(file, "S", "A", value));
    EXPECT_EQ(ReadProfileValue(file, "S", "A", ""), value);
}

TEST(WriteProfileValue, ReplacingKeepsOtherKeysAndReadsBack) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    ASSERT_TRUE(WriteProfileValue(file, "S", "A", "1"));
    ASSERT_TRUE(WriteProfileValue(file, "S", "B", "2"));
    ASSERT_TRUE(WriteProfileValue(file, "T", "A", "3"));
    ASSERT_TRUE(WriteProfileValue(file, "S", "A", "4"));
    EXPECT_EQ(ReadFileBytes(file), "[S]\r\nA=4\r\nB=2\r\n[T]\r\nA=3\r\n");
    EXPECT_EQ(ReadProfileValue(file, "S", "A", ""), "4");
    EXPECT_EQ(ReadProfileValue(file, "T", "A", ""), "3");
}

TEST(WriteProfileValue, KeepsModeAndWritesThroughSymlink) {
    TempDir dir;
    const fs::path real = dir / "real.ini";
    const fs::path link = dir / "Telvora.ini";
    WriteFileBytes(real, "[S]\r\nA=1\r\n");
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteProfileValue(link, "S", "A", "2"));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(real), "[S]\r\nA=2\r\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(WriteProfileValue, NoLeftoverFilesInFolder) {
    TempDir dir;
    ASSERT_TRUE(WriteProfileValue(dir / "Telvora.ini", "S", "A", "1"));
    ASSERT_TRUE(WriteProfileValue(dir / "Telvora.ini", "S", "A", "2"));
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

// Refused writes: false, and the file (if any) keeps every byte.
struct RefusedCase {
    const char* name;
    const char* section;
    const char* key;
    std::string value;
};

class RefusedWriteTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedWriteTest, LeavesFileAsItWas) {
    const RefusedCase& c = GetParam();
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    const std::string before = "[S]\r\nA=1\r\n";
    WriteFileBytes(file, before);
    EXPECT_FALSE(WriteProfileValue(file, c.section, c.key, c.value));
    EXPECT_EQ(ReadFileBytes(file), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedWriteTest,
    ::testing::Values(RefusedCase{"line_break_in_value", "S", "A", "x\r\n[T]\r\nB=2"},
                      RefusedCase{"lf_in_value", "S", "A", "x\ny"},
                      RefusedCase{"nul_in_value", "S", "A", std::string("x\0y", 3)},
                      RefusedCase{"line_break_in_key", "S", "A\nB", "1"},
                      RefusedCase{"equals_in_key", "S", "A=B", "1"},
                      RefusedCase{"key_like_section", "S", "[T]", "1"},
                      RefusedCase{"key_like_comment", "S", ";A", "1"},
                      RefusedCase{"empty_key", "S", "  ", "1"},
                      RefusedCase{"empty_section", "", "A", "1"},
                      RefusedCase{"line_break_in_section", "S]\r\n[T", "A", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

// A UTF-16 file cut in the middle of a character: lines written after its stray last byte
// would be read out of step (and, never found again, appended anew at every save), so the
// write is refused and the file left as it was.
TEST(WriteProfileValue, TornUtf16FileIsRefused) {
    for (const char* mark : {"\xFF\xFE", "\xFE\xFF"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(mark)));
        TempDir dir;
        const fs::path file = dir / "Telvora.ini";
        std::string body = Utf16Le("[S]\r\nA=1\r\n");
        if (std::string(mark) == "\xFE\xFF") {
            body = '\0' + body.substr(0, body.size() - 1);  // the same text big-endian
        }
        const std::string before = mark + body + "\x5B";
        WriteFileBytes(file, before);
        EXPECT_EQ(ReadProfileValue(file, "S", "A", "d"), "1");
        EXPECT_FALSE(WriteProfileValue(file, "S", "B", "2"));
        EXPECT_FALSE(WriteProfileValue(file, "T", "B", "2"));
        EXPECT_EQ(ReadFileBytes(file), before);
    }
}

TEST(WriteProfileValue, ReadOnlyFileIsRefused) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    const std::string before = "[S]\r\nA=1\r\n";
    WriteFileBytes(file, before);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    // Also the same value: a read-only file refuses every write.
    EXPECT_FALSE(WriteProfileValue(file, "S", "A", "1"));
    EXPECT_FALSE(WriteProfileValue(file, "S", "A", "2"));
    EXPECT_EQ(ReadFileBytes(file), before);
}

TEST(WriteProfileValue, NewFileInReadOnlyFolderIsRefused) {
    TempDir dir;
    const fs::path folder = dir / "ro";
    fs::create_directory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(WriteProfileValue(folder / "Telvora.ini", "S", "A", "1"));
    EXPECT_FALSE(fs::exists(folder / "Telvora.ini"));
}

TEST(WriteProfileValue, WritableFileInReadOnlyFolderIsWritten) {
    TempDir dir;
    const fs::path folder = dir / "ro";
    fs::create_directory(folder);
    WriteFileBytes(folder / "Telvora.ini", "[S]\r\nA=1\r\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    EXPECT_TRUE(WriteProfileValue(folder / "Telvora.ini", "S", "A", "2"));
    EXPECT_EQ(ReadFileBytes(folder / "Telvora.ini"), "[S]\r\nA=2\r\n");
}

TEST(WriteProfileValue, MissingFolderOrFolderPathIsRefused) {
    TempDir dir;
    EXPECT_FALSE(WriteProfileValue(dir / "no" / "Telvora.ini", "S", "A", "1"));
    EXPECT_FALSE(WriteProfileValue(dir.path(), "S", "A", "1"));
    EXPECT_FALSE(WriteProfileValue("", "S", "A", "1"));
}

// A write that fails half way (here: the file-size limit stands in for a full
// disk) must leave the old file untouched.
TEST(WriteProfileValue, FailedWriteLeavesFileAsItWas) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    const std::string before = "[S]\r\nA=1\r\n";
    WriteFileBytes(file, before);

    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteProfileValue(file, "S", "A", std::string(500, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(ReadFileBytes(file), before);
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) {
        ++files;
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace telvora::platform
