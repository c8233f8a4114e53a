// The profile functions of Windows (Wine's, where the tests run), as Telvora.ini uses them: one
// value read or written per call, through the real GetPrivateProfileStringW and
// WritePrivateProfileStringW.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "platform/profile.h"
#include "read_only.h"
#include "temp_dir.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::Utf16Le;
using test::WriteFileBytes;

TEST(ProfileWindows, ReadsByTheRulesTheSettingsFileRelies) {
    struct Case {
        const char* what;
        std::string content;
        const char* section;
        const char* key;
        std::string expected;  // "dflt" when the default comes back
    };
    const std::string longValue(3000, 'A');
    const Case cases[] = {
        {"plain", "[TfrmMain]\r\nFlags=0\r\n", "TfrmMain", "Flags", "0"},
        {"section and key in any case", "[TFRMMAIN]\r\nnormpos=1,2\r\n", "tfrmmain", "NormPos",
         "1,2"},
        {"blanks around the value", "[S]\r\nKey =  a b  \r\n", "S", "Key", "a b"},
        {"one pair of double quotes removed", "[S]\r\nK=\"  X  \"\r\n", "S", "K", "  X  "},
        {"one pair of single quotes removed", "[S]\r\nK='X'\r\n", "S", "K", "X"},
        {"only one pair", "[S]\r\nK=\"\"X\"\"\r\n", "S", "K", "\"X\""},
        {"empty value is no default", "[S]\r\nK=\r\n", "S", "K", ""},
        {"missing key", "[S]\r\nA=1\r\n", "S", "B", "dflt"},
        {"missing section", "[S]\r\nA=1\r\n", "T", "A", "dflt"},
        {"value cut to 2047 characters", "[S]\r\nA=" + longValue + "\r\n", "S", "A",
         std::string(2047, 'A')},
        {"UTF-16 file", "\xFF\xFE" + Utf16Le("[S]\r\nA=x y\r\n"), "S", "A", "x y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        WriteFileBytes(dir / "Telvora.ini", c.content);
        EXPECT_EQ(ReadProfileValue(dir / "Telvora.ini", c.section, c.key, "dflt"), c.expected);
    }
    TempDir dir;
    EXPECT_EQ(ReadProfileValue(dir / "none.ini", "S", "A", "dflt"), "dflt");
}

TEST(ProfileWindows, WritesReplaceInPlaceAppendToTheSectionAndKeepUtf16) {
    struct Case {
        const char* what;
        std::optional<std::string> before;
        const char* section;
        const char* key;
        const char* value;
        std::string after;
    };
    const Case cases[] = {
        {"new file: code page text with CR LF", std::nullopt, "TfrmMain", "Flags", "0",
         "[TfrmMain]\r\nFlags=0\r\n"},
        {"replaced in place", "[S]\r\nA=1\r\nB=2\r\n", "S", "a", "9", "[S]\r\nA=9\r\nB=2\r\n"},
        {"appended at the end of its section", "[S]\r\nA=1\r\n[T]\r\nC=3\r\n", "S", "B", "2",
         "[S]\r\nA=1\r\nB=2\r\n[T]\r\nC=3\r\n"},
        {"a new section at the end", "[S]\r\nA=1\r\n", "T", "B", "2",
         "[S]\r\nA=1\r\n[T]\r\nB=2\r\n"},
        {"UTF-16 kept", "\xFF\xFE" + Utf16Le("[S]\r\nA=1\r\n"), "S", "B", "2",
         "\xFF\xFE" + Utf16Le("[S]\r\nA=1\r\nB=2\r\n")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path file = dir / "Telvora.ini";
        if (c.before) {
            WriteFileBytes(file, *c.before);
        }
        {
            const ProfileFile profile(file);  // its release flushes the platform's cache
            ASSERT_TRUE(profile.WriteString(c.section, c.key, c.value));
        }
        EXPECT_EQ(ReadFileBytes(file), c.after);
    }
}

TEST(ProfileWindows, NonAsciiValuesReadBack) {
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, "\xFF\xFE" + Utf16Le("[S]\r\n"));
    const std::string value = "R\xC3\xB6 \xD0\x96";
    ASSERT_TRUE(WriteProfileValue(file, "S", "A", value));
    EXPECT_EQ(ReadProfileValue(file, "S", "A", ""), value);
}

TEST(ProfileWindows, RefusedWritesLeaveTheFileAsItWas) {
    struct Case {
        const char* what;
        const char* key;
        std::string value;
    };
    const Case cases[] = {
        {"line break in the value", "A", "x\r\n[T]\r\nB=2"},
        {"NUL in the value", "A", std::string("x\0y", 3)},
        {"equals in the key", "A=B", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path file = dir / "Telvora.ini";
        WriteFileBytes(file, "[S]\r\nA=1\r\n");
        EXPECT_FALSE(WriteProfileValue(file, "S", c.key, c.value));
        EXPECT_EQ(ReadFileBytes(file), "[S]\r\nA=1\r\n");
    }
    TempDir dir;
    const fs::path file = dir / "Telvora.ini";
    WriteFileBytes(file, "[S]\r\nA=1\r\n");
    ASSERT_TRUE(test::MakeReadOnly(file));
    EXPECT_FALSE(WriteProfileValue(file, "S", "A", "2"));
    EXPECT_EQ(ReadFileBytes(file), "[S]\r\nA=1\r\n");
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
}  // namespace telvora::platform
