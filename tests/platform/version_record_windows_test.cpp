// The version record of a Windows executable, read back with GetFileVersionInfoW and
// VerQueryValueW from this test's own file (which carries Telvora's resource), from a fixture
// whose record lacks the FileVersion string, and from one with no record at all.
#include <gtest/gtest.h>

#include "platform/executable.h"
#include "platform/paths.h"
#include "platform/version_record.h"

namespace telvora::platform {
namespace {

TEST(VersionRecordWindows, ReadsTheRecordOfTheExecutable) {
    const auto record = ReadVersionRecord(ExecutablePath());
    ASSERT_TRUE(record.has_value());
    ASSERT_EQ(record->translations.size(), 1u);
    EXPECT_EQ(record->translations[0].language, 0x0409);
    EXPECT_EQ(record->translations[0].codePage, 0x04E4);
    EXPECT_EQ(record->QueryString("040904E4", "FileVersion"), "1.0.2.2");
    EXPECT_EQ(record->QueryString("040904e4", "fileversion"), "1.0.2.2");
    EXPECT_EQ(record->QueryString("040904E4", "Nothing"), std::nullopt);
    EXPECT_EQ(record->QueryString("04070000", "FileVersion"), std::nullopt);
    EXPECT_EQ(record->fixed.fileVersionMS, 0x00010000u);
    EXPECT_EQ(record->fixed.fileVersionLS, 0x00020002u);
}

TEST(VersionRecordWindows, ARecordWithoutFileVersionStillHasItsFixedPart) {
    const auto record = ReadVersionRecord(PathFromUtf8(TELVORA_RECORD_WITHOUT_FILE_VERSION));
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->QueryString("040904E4", "FileVersion"), std::nullopt);
    EXPECT_EQ(record->QueryString("040904E4", "ProductVersion"), "1.0.2.2");
    EXPECT_EQ(record->fixed.fileVersionMS, 0x00010000u);
}

TEST(VersionRecordWindows, AFileWithoutRecordHasNone) {
    EXPECT_EQ(ReadVersionRecord(PathFromUtf8(TELVORA_FILE_WITHOUT_RECORD)), std::nullopt);
    EXPECT_EQ(ReadVersionRecord(ExecutablePath().parent_path() / "no such file.exe"), std::nullopt);
}

TEST(ExecutableWindows, ThePathIsThisTestsOwnFile) {
    const auto path = ExecutablePath();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_version_record_windows_test.exe");
    EXPECT_TRUE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace telvora::platform
