// The version record of the Linux executable: generated into it, read back from the file, and
// the status bar's text made from it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/version_text.h"
#include "platform/version_record.h"
#include "temp_dir.h"
#include "version_record_text.h"

namespace telvora::app {
namespace {

using platform::VersionRecord;

TEST(VersionRecordTest, TextRoundTrip) {
    VersionRecord record = test::MakeVersionRecord(
        {{0x0409, 0x04E4}, {0x0419, 0x04E3}},
        {{"040904E4", {{"FileVersion", "1.0.2.2"}, {"Comments", "two\nlines \\ here"}}}},
        0x00010000, 0x00020002);
    record.fixed.productVersionMS = 0x00030004;
    record.fixed.productVersionLS = 0x00050006;
    const auto back = platform::ParseVersionRecord(test::SerializeVersionRecord(record));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->translations.size(), 2u);
    EXPECT_EQ(back->translations[1].language, 0x0419);
    EXPECT_EQ(back->translations[1].codePage, 0x04E3);
    EXPECT_EQ(back->stringTables, record.stringTables);
    EXPECT_EQ(back->fixed.fileVersionMS, 0x00010000u);
    EXPECT_EQ(back->fixed.fileVersionLS, 0x00020002u);
    EXPECT_EQ(back->fixed.productVersionMS, 0x00030004u);
    EXPECT_EQ(back->fixed.productVersionLS, 0x00050006u);
}

TEST(VersionRecordTest, TextsThatAreNoRecord) {
    const char* texts[] = {
        "",
        "SomethingElse/1\nFileVersion=1,0,2,2\n",
        "TelvoraVersionRecord/1\nFileVersion=1,0,2\n",
        "TelvoraVersionRecord/1\nFileVersion=1,0,2,70000\n",
        "TelvoraVersionRecord/1\nTranslation=0409\n",
        "TelvoraVersionRecord/1\nTranslation=0409,XYZW\n",
        "TelvoraVersionRecord/1\nString.040904E4=1\n",
        "TelvoraVersionRecord/1\nno equals sign\n",
    };
    for (const char* text : texts) {
        EXPECT_FALSE(platform::ParseVersionRecord(text)) << text;
    }
    EXPECT_TRUE(platform::ParseVersionRecord(std::string("TelvoraVersionRecord/1\n\0\0", 25)));
}

TEST(VersionRecordTest, TheExecutableCarriesVersion1022) {
    const auto record = platform::ReadVersionRecord(TELVORA_EXECUTABLE);
    ASSERT_TRUE(record);
    ASSERT_FALSE(record->translations.empty());
    EXPECT_EQ(TranslationKey(record->translations.front()), "040904E4");
    EXPECT_EQ(record->QueryString("040904E4", "FileVersion"), "1.0.2.2");
    EXPECT_EQ(record->fixed.fileVersionMS, 0x00010000u);
    EXPECT_EQ(record->fixed.fileVersionLS, 0x00020002u);
    EXPECT_EQ(StatusVersionText(record), "v1.0.2.2");
}

TEST(VersionRecordTest, FilesWithoutRecord) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "text.exe", "MZ this is not an executable of ours");
    test::WriteFileBytes(dir / "short",
                         "\x7f"
                         "ELF");
    const std::filesystem::path files[] = {
        "/proc/self/exe",  // this test program: built without a record
        dir / "missing",  dir / "text.exe", dir / "short", dir.path(),
    };
    for (const auto& file : files) {
        EXPECT_FALSE(platform::ReadVersionRecord(file)) << file;
    }
    EXPECT_EQ(StatusVersionText(platform::ReadVersionRecord("/proc/self/exe")), "v");
}

}  // namespace
}  // namespace telvora::app
