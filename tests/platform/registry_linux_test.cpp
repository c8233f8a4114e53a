// The registry file is user-editable and may come from a Windows export, so these tests drive
// the reader with real files in every encoding it accepts, and check that opening a key never
// disturbs what the file already holds.
#include "platform/registry.h"
#include "platform/unicode.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "registry_export.h"
#include "temp_dir.h"

namespace telvora::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Conversions through iconv, independent of the code under test.
std::string Convert(const std::string& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in = text;
    std::string out(in.size() * 4 + 16, '\0');
    char* in_ptr = in.data();
    char* out_ptr = out.data();
    std::size_t in_left = in.size(), out_left = out.size();
    EXPECT_NE(iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left), static_cast<std::size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - out_left);
    return out;
}
std::string ToUtf16(const std::string& utf8) {
    return Convert(utf8, "UTF-16LE", "UTF-8");
}
std::string FromUtf16(const std::string& utf16) {
    return Convert(utf16, "UTF-8", "UTF-16LE");
}

// A string value's data: UTF-16LE with its terminating NUL.
Bytes Wide(const std::string& utf8) {
    std::string wide = ToUtf16(utf8);
    Bytes bytes(wide.begin(), wide.end());
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

enum class Enc { Utf8, Utf8Bom, Utf16 };
const char* Name(Enc e) {
    return e == Enc::Utf8 ? "UTF-8" : e == Enc::Utf8Bom ? "UTF-8+BOM" : "UTF-16LE";
}
constexpr Enc kEncodings[] = {Enc::Utf8, Enc::Utf8Bom, Enc::Utf16};

std::string EncodeFile(const std::string& utf8, Enc e) {
    switch (e) {
        case Enc::Utf8:
            return utf8;
        case Enc::Utf8Bom:
            return "\xEF\xBB\xBF" + utf8;
        case Enc::Utf16:
            return "\xFF\xFE" + ToUtf16(utf8);
    }
    return {};
}

// Text as it follows the byte-order mark.
std::string EncodeBody(const std::string& utf8, Enc e) {
    return e == Enc::Utf16 ? ToUtf16(utf8) : utf8;
}

constexpr const char* kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr const char* kSection = "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n";

std::optional<RegValue> ValueIn(const fs::path& file, const char* key, const char* name) {
    CurrentUserRegistry registry(file);
    auto opened = registry.CreateKey(key);
    EXPECT_TRUE(opened.has_value());
    return opened ? opened->QueryValue(name) : std::nullopt;
}

struct ValueCase {
    const char* what;
    std::string lines;  // the key's section body, CR LF separated
    const char* name;
    std::optional<RegValue> expected;
};

RegValue Val(RegType type, Bytes data) {
    return RegValue{type, std::move(data), true};
}
RegValue Unreadable(RegType type) {
    return RegValue{type, {}, false};
}

// Bytes of every value, as a pasted export of a large binary value holds them.
Bytes LongValue() {
    Bytes bytes(200 * 1000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

std::vector<ValueCase> ValueCases() {
    return {
        {"string with escaped backslashes", "\"InstallPath\"=\"C:\\\\Logger\\\\\"", "InstallPath",
         Val(RegType::Sz, Wide("C:\\Logger\\"))},
        {"escaped quotes", "\"Q\"=\"say \\\"hi\\\"\"", "Q", Val(RegType::Sz, Wide("say \"hi\""))},
        {"other backslashes stand for themselves", "\"P\"=\"C:\\Logger\\db\"", "P",
         Val(RegType::Sz, Wide("C:\\Logger\\db"))},
        {"empty string is just the NUL", "\"E\"=\"\"", "E", Val(RegType::Sz, {0, 0})},
        {"non-ASCII text", "\"U\"=\"Журнал Ü 日本\"", "U", Val(RegType::Sz, Wide("Журнал Ü 日本"))},
        {"outside the BMP", "\"S\"=\"\xF0\x9F\x93\xBB\"", "S",
         Val(RegType::Sz, {0x3D, 0xD8, 0xFB, 0xDC, 0, 0})},
        {"blanks around =", "\"Sp\" = \"x\"", "Sp", Val(RegType::Sz, Wide("x"))},
        {"default value", "@=\"dflt\"", "", Val(RegType::Sz, Wide("dflt"))},
        {"name without regard to case", "\"InstallPath\"=\"x\"", "INSTALLPATH",
         Val(RegType::Sz, Wide("x"))},
        {"expandable string", "\"X\"=hex(2):25,00,41,00,25,00,00,00", "X",
         Val(RegType::ExpandSz, {0x25, 0, 0x41, 0, 0x25, 0, 0, 0})},
        {"dword", "\"D\"=dword:0000002a", "D", Val(RegType::Dword, {0x2a, 0, 0, 0})},
        {"dword upper-case hex, all bits", "\"D\"=dword:FFFFFFFE", "D",
         Val(RegType::Dword, {0xFE, 0xFF, 0xFF, 0xFF})},
        {"binary", "\"B\"=hex:01,ab,FF", "B", Val(RegType::Binary, {0x01, 0xAB, 0xFF})},
        {"empty binary", "\"B\"=hex:", "B", Val(RegType::Binary, {})},
        {"multi-string", "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00", "M",
         Val(RegType::MultiSz, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0})},
        {"qword", "\"Q\"=hex(b):01,00,00,00,00,00,00,00", "Q",
         Val(RegType::Qword, {1, 0, 0, 0, 0, 0, 0, 0})},
        {"none type", "\"N\"=hex(0):", "N", Val(RegType::None, {})},
        {"string given as hex(1)", "\"S\"=hex(1):41,00,00,00", "S",
         Val(RegType::Sz, {0x41, 0, 0, 0})},
        {"continuation lines", "\"C\"=hex(2):43,00,3a,00,\\\r\n  5c,00,\\\r\n  00,00", "C",
         Val(RegType::ExpandSz, {0x43, 0, 0x3A, 0, 0x5C, 0, 0, 0})},
        {"a value of 200 KB continued over 8,000 lines",
         test::ExportedHexValue("\"L\"", "hex", LongValue()), "L",
         Val(RegType::Binary, LongValue())},
        {"a continued value whose name holds escaped quotes",
         "\"a\\\"b\\\\\"=hex:01,\\\r\n  \"2\",\\\r\n  02", "a\"b\\", Unreadable(RegType::Binary)},
        {"a later line replaces a value", "\"R\"=\"one\"\r\n\"r\"=\"two\"", "R",
         Val(RegType::Sz, Wide("two"))},
        {"value after a continued one", "\"B\"=hex:01,\\\r\n  02\r\n\"N\"=dword:00000001", "N",
         Val(RegType::Dword, {1, 0, 0, 0})},
        // Unreadable data: the value exists, its type is known where the form shows it.
        {"bad hex digit", "\"X\"=hex(2):4g,00", "X", Unreadable(RegType::ExpandSz)},
        {"three hex digits", "\"X\"=hex:123", "X", Unreadable(RegType::Binary)},
        {"trailing comma", "\"X\"=hex:01,", "X", Unreadable(RegType::Binary)},
        {"dword too long", "\"D\"=dword:000000001", "D", Unreadable(RegType::Dword)},
        {"dword not hex", "\"D\"=dword:12zz", "D", Unreadable(RegType::Dword)},
        {"string without closing quote", "\"P\"=\"C:\\Logger\\\"", "P", Unreadable(RegType::Sz)},
        {"text after the string", "\"P\"=\"a\" b", "P", Unreadable(RegType::Sz)},
        {"bare text", "\"P\"=C:\\Logger", "P", Unreadable(RegType::None)},
        {"unknown hex type", "\"P\"=hex(zz):00", "P", Unreadable(RegType::None)},
        // Absent values.
        {"no such value", "\"Other\"=\"x\"", "InstallPath", std::nullopt},
        {"deleted value", "\"X\"=\"1\"\r\n\"X\"=-", "X", std::nullopt},
        {"commented out", "; \"X\"=\"1\"", "X", std::nullopt},
        {"value of another key", "\r\n[HKEY_CURRENT_USER\\Software\\Quorvex\\Sub]\r\n\"X\"=\"1\"",
         "X", std::nullopt},
        {"value of another hive", "\r\n[HKEY_LOCAL_MACHINE\\Software\\Quorvex]\r\n\"X\"=\"1\"", "X",
         std::nullopt},
    };
}

TEST(RegistryValueTest, EveryFormAndEscapeInEveryEncoding) {
    for (const ValueCase& c : ValueCases()) {
        for (Enc enc : kEncodings) {
            SCOPED_TRACE(std::string(c.what) + " / " + Name(enc));
            test::TempDir dir;
            const fs::path file = dir / "HKEY_CURRENT_USER.reg";
            const std::string text = kHeader + std::string(kSection) + c.lines + "\r\n\r\n";
            const std::string bytes = EncodeFile(text, enc);
            test::WriteFileBytes(file, bytes);

            const auto value = ValueIn(file, "Software\\Quorvex", c.name);
            ASSERT_EQ(value.has_value(), c.expected.has_value());
            if (value) {
                EXPECT_EQ(value->type, c.expected->type);
                EXPECT_EQ(value->data, c.expected->data);
                EXPECT_EQ(value->readable, c.expected->readable);
            }
            EXPECT_EQ(test::ReadFileBytes(file), bytes) << "an existing key leaves the file as is";
        }
    }
}

TEST(RegistryValueTest, Regedit4FilesWidenTheirEightBitStrings) {
    test::TempDir dir;
    const fs::path file = dir / "r.reg";
    test::WriteFileBytes(file,
                         "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"
                         "\"InstallPath\"=\"C:\\\\Logger\\\\\"\r\n"
                         "\"X\"=hex(2):25,41,25,00\r\n"
                         "\"B\"=hex:25,41\r\n");
    EXPECT_EQ(ValueIn(file, "Software\\Quorvex", "InstallPath")->data, Wide("C:\\Logger\\"));
    EXPECT_EQ(ValueIn(file, "Software\\Quorvex", "X")->data, Wide("%A%"));
    EXPECT_EQ(ValueIn(file, "Software\\Quorvex", "B")->data, (Bytes{0x25, 0x41}));
}

TEST(RegistryValueTest, LineBreaksOfEitherKindAndSectionsMerged) {
    // CR CR LF: a CR LF file whose line ends were converted once more.
    for (const char* nl : {"\r\n", "\n", "\r\r\n"}) {
        test::TempDir dir;
        const fs::path file = dir / "r.reg";
        std::string text = std::string("Windows Registry Editor Version 5.00") + nl + nl +
                           "[HKEY_CURRENT_USER\\Software\\Quorvex]" + nl + "\"A\"=\"1\"" + nl +
                           "\"H\"=hex:01,\\" + nl + "  02" + nl + nl +
                           "[hkey_current_user\\SOFTWARE\\quorvex]" + nl + "\"B\"=\"2\"" + nl;
        test::WriteFileBytes(file, text);
        CurrentUserRegistry registry(file);
        const auto key = registry.CreateKey("Software\\Quorvex");
        ASSERT_TRUE(key);
        EXPECT_EQ(key->QueryValue("a")->data, Wide("1"));
        EXPECT_EQ(key->QueryValue("b")->data, Wide("2"));
        EXPECT_EQ(key->QueryValue("h")->data, (Bytes{1, 2}));
        EXPECT_EQ(test::ReadFileBytes(file), text);
    }
}

// Which files already hold the key (left untouched) and which need its section appended.
TEST(RegistryKeyTest, ExistingKeysAreFoundAndMissingOnesAppended) {
    struct Case {
        const char* what;
        std::string body;
        bool exists;
    };
    const Case cases[] = {
        {"exact", "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n", true},
        {"other case", "[hkey_current_user\\software\\QUORVEX]\r\n", true},
        {"trailing backslash", "[HKEY_CURRENT_USER\\Software\\Quorvex\\]\r\n", true},
        {"only a subkey's section", "[HKEY_CURRENT_USER\\Software\\Quorvex\\Options]\r\n", true},
        {"no sections", "", false},
        {"longer name", "[HKEY_CURRENT_USER\\Software\\Quorvex2]\r\n", false},
        {"parent only", "[HKEY_CURRENT_USER\\Software]\r\n", false},
        {"other hive", "[HKEY_LOCAL_MACHINE\\Software\\Quorvex]\r\n", false},
        {"deleted",
         "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n\r\n"
         "[-HKEY_CURRENT_USER\\Software\\Quorvex]\r\n",
         false},
        {"parent deleted",
         "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n\r\n"
         "[-HKEY_CURRENT_USER\\Software]\r\n",
         false},
        {"commented out", ";[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n", false},
    };
    for (const Case& c : cases) {
        for (Enc enc : kEncodings) {
            SCOPED_TRACE(std::string(c.what) + " / " + Name(enc));
            test::TempDir dir;
            const fs::path file = dir / "r.reg";
            const std::string original = EncodeFile(kHeader + c.body + "\"Keep\"=\"me\"\r\n", enc);
            test::WriteFileBytes(file, original);
            CurrentUserRegistry registry(file);
            ASSERT_TRUE(registry.CreateKey("Software\\Quorvex"));

            const std::string after = test::ReadFileBytes(file);
            if (c.exists) {
                EXPECT_EQ(after, original);
                continue;
            }
            ASSERT_TRUE(after.starts_with(original)) << "the rest of the file is kept";
            const std::string added = after.substr(original.size());
            EXPECT_EQ(enc == Enc::Utf16 ? FromUtf16(added) : added,
                      "\r\n[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n\r\n");
            // Opened again, the key is there and nothing more is written.
            ASSERT_TRUE(CurrentUserRegistry(file).CreateKey("software\\quorvex"));
            EXPECT_EQ(test::ReadFileBytes(file), after);
        }
    }
}

// The appended section follows the file's line breaks and always starts on a line of its own.
TEST(RegistryKeyTest, AppendedSectionFitsTheFileEnd) {
    struct Case {
        std::string original;
        std::string added;
    };
    const std::string h5 = "Windows Registry Editor Version 5.00";
    const std::string sec = "[HKEY_CURRENT_USER\\Software\\Quorvex]";
    const Case cases[] = {
        {h5 + "\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n\r\n", sec + "\r\n\r\n"},
        {h5 + "\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"\r\n", "\r\n" + sec + "\r\n\r\n"},
        {h5 + "\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"1\"", "\r\n\r\n" + sec + "\r\n\r\n"},
        {h5 + "\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n", "\n" + sec + "\n\n"},
        {h5 + "\n\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"", "\n\n" + sec + "\n\n"},
        {h5, "\r\n\r\n" + sec + "\r\n\r\n"},
        {"", h5 + "\r\n\r\n" + sec + "\r\n\r\n"},
        {"\n", h5 + "\n\n" + sec + "\n\n"},
    };
    for (const Case& c : cases) {
        for (Enc enc : kEncodings) {
            SCOPED_TRACE(::testing::PrintToString(c.original) + " / " + Name(enc));
            test::TempDir dir;
            const fs::path file = dir / "r.reg";
            const std::string original = EncodeFile(c.original, enc);
            test::WriteFileBytes(file, original);
            ASSERT_TRUE(CurrentUserRegistry(file).CreateKey("Software\\Quorvex"));
            EXPECT_EQ(test::ReadFileBytes(file), original + EncodeBody(c.added, enc));
        }
    }
}

// A value line left continued (a backslash at its end, as a pasted or cut-off export may have)
// takes no blank line and no key's header with it: the key below it is found, and a section
// appended after it is found on the next start instead of being appended again.
TEST(RegistryKeyTest, ContinuedValueStopsAtABlankLineOrAKeyHeader) {
    const std::string other = std::string(kHeader) + "[HKEY_CURRENT_USER\\Other]\r\n";
    struct Case {
        const char* what;
        std::string original;
        const char* install_path;  // nullptr: the key is appended
    };
    const Case cases[] = {
        {"header right below",
         other + "\"B\"=hex:01,\\\r\n" + kSection + "\"InstallPath\"=\"x\"\r\n", "x"},
        {"blank line, then the header",
         other + "\"B\"=hex:01,\\\r\n\r\n" + kSection + "\"InstallPath\"=\"x\"\r\n", "x"},
        {"two backslashes at the end", other + "\"X\"=\"1\"\\\\\r\n", nullptr},
        {"continued last line without a break", other + "\"B\"=hex:01,\\", nullptr},
    };
    for (const Case& c : cases) {
        for (Enc enc : kEncodings) {
            SCOPED_TRACE(std::string(c.what) + " / " + Name(enc));
            test::TempDir dir;
            const fs::path file = dir / "r.reg";
            const std::string original = EncodeFile(c.original, enc);
            test::WriteFileBytes(file, original);
            const auto key = CurrentUserRegistry(file).CreateKey("Software\\Quorvex");
            EXPECT_TRUE(key);
            const std::string after = test::ReadFileBytes(file);
            if (key && c.install_path) {
                EXPECT_EQ(after, original);
                const auto value = key->QueryValue("InstallPath");
                EXPECT_TRUE(value && value->data == Wide(c.install_path));
                continue;
            }
            EXPECT_NE(after, original);
            EXPECT_TRUE(CurrentUserRegistry(file).CreateKey("Software\\Quorvex"));
            EXPECT_EQ(test::ReadFileBytes(file), after) << "appended once only";
        }
    }
}

TEST(RegistryKeyTest, MissingFileIsCreatedWithItsFolders) {
    test::TempDir dir;
    const fs::path file = dir.path() / "config" / "telvora" / "HKEY_CURRENT_USER.reg";
    CurrentUserRegistry registry(file);
    const auto key = registry.CreateKey("Software\\Quorvex");
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->QueryValue("InstallPath"));
    EXPECT_EQ(test::ReadFileBytes(file),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n\r\n");
    // A value added by hand later is read from the created file.
    test::WriteFileBytes(file, test::ReadFileBytes(file) + "\"InstallPath\"=\"/opt/q/\"\r\n");
    EXPECT_EQ(registry.CreateKey("Software\\Quorvex")->QueryValue("InstallPath")->data,
              Wide("/opt/q/"));
}

// When the key can be neither opened nor created, CreateKey says so and changes nothing.
TEST(RegistryKeyTest, KeyThatCannotBeOpenedOrCreated) {
    struct Case {
        const char* what;
        std::optional<std::string> content;  // of the registry file; nullopt: no file
        const char* file;                    // below the temp folder
        void (*prepare)(const fs::path& dir);
    };
    const std::string other_key = std::string(kHeader) + "[HKEY_CURRENT_USER\\Other]\r\n";
    const Case cases[] = {
        {"folder in the way is a file", std::nullopt, "blocker/telvora/r.reg",
         [](const fs::path& dir) { test::WriteFileBytes(dir / "blocker", "x"); }},
        {"the file is a folder", std::nullopt, "r.reg",
         [](const fs::path& dir) { fs::create_directory(dir / "r.reg"); }},
        {"not a registry file", std::string("[HKEY_CURRENT_USER\\Software\\Quorvex]\r\n"), "r.reg",
         nullptr},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0W\0i\0n"), "r.reg", nullptr},
        {"torn UTF-16 file", "\xFF\xFE" + ToUtf16(other_key) + "\x5B", "r.reg", nullptr},
        // Unreadable for a user; root reads it, and finds it read-only.
        {"file without any permission bit", other_key, "r.reg",
         [](const fs::path& dir) { fs::permissions(dir / "r.reg", fs::perms::none); }},
        {"read-only file without the key", other_key, "r.reg",
         [](const fs::path& dir) { fs::permissions(dir / "r.reg", fs::perms::owner_read); }},
        {"read-only folder without the file", std::nullopt, "ro/r.reg",
         [](const fs::path& dir) {
             fs::create_directory(dir / "ro");
             fs::permissions(dir / "ro", fs::perms::owner_read | fs::perms::owner_exec);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TempDir dir;
        const fs::path file = dir / c.file;
        if (c.content) {
            test::WriteFileBytes(file, *c.content);
        }
        if (c.prepare) {
            c.prepare(dir.path());
        }
        EXPECT_FALSE(CurrentUserRegistry(file).CreateKey("Software\\Quorvex"));
        fs::permissions(dir.path(), fs::perms::owner_all, fs::perm_options::add);
        if (c.content && fs::is_regular_file(file)) {
            fs::permissions(file, fs::perms::owner_read, fs::perm_options::add);
            EXPECT_EQ(test::ReadFileBytes(file), *c.content);
        }
    }
}

TEST(RegistryKeyTest, ReadOnlyFileStillGivesItsValues) {
    test::TempDir dir;
    const fs::path file = dir / "r.reg";
    const std::string bytes = std::string(kHeader) + kSection + "\"InstallPath\"=\"x\"\r\n";
    test::WriteFileBytes(file, bytes);
    fs::permissions(file, fs::perms::owner_read);
    EXPECT_EQ(ValueIn(file, "Software\\Quorvex", "InstallPath")->data, Wide("x"));
    EXPECT_EQ(test::ReadFileBytes(file), bytes);
}

TEST(RegistryKeyTest, DefaultFileFollowsTheXdgConfigFolder) {
    struct Case {
        const char* xdg;  // nullptr: unset
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/cfg", "/home/op", "/cfg/telvora/HKEY_CURRENT_USER.reg"},
        {nullptr, "/home/op", "/home/op/.config/telvora/HKEY_CURRENT_USER.reg"},
        {"", "/home/op", "/home/op/.config/telvora/HKEY_CURRENT_USER.reg"},
        {"relative/cfg", "/home/op", "/home/op/.config/telvora/HKEY_CURRENT_USER.reg"},
    };
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const char* old_home = std::getenv("HOME");
    const std::optional<std::string> saved_xdg =
        old_xdg ? std::optional<std::string>(old_xdg) : std::nullopt;
    const std::optional<std::string> saved_home =
        old_home ? std::optional<std::string>(old_home) : std::nullopt;
    for (const Case& c : cases) {
        if (c.xdg) {
            setenv("XDG_CONFIG_HOME", c.xdg, 1);
        } else {
            unsetenv("XDG_CONFIG_HOME");
        }
        setenv("HOME", c.home, 1);
        EXPECT_EQ(CurrentUserRegistry::DefaultFile(), fs::path(c.expected))
            << (c.xdg ? c.xdg : "(unset)");
    }
    saved_xdg ? setenv("XDG_CONFIG_HOME", saved_xdg->c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    saved_home ? setenv("HOME", saved_home->c_str(), 1) : unsetenv("HOME");
}

TEST(RegistryTextTest, Utf16ToUtf8EndsAtTheFirstNul) {
    struct Case {
        Bytes bytes;
        std::string expected;
    };
    const Case cases[] = {
        {{}, ""},
        {{0, 0}, ""},
        {{'a', 0, 'b', 0, 0, 0, 'c', 0}, "ab"},
        {{'a', 0, 'b'}, "a"},  // odd last byte dropped
        {{0x16, 0x04, 0x43, 0x04}, "Жу"},
        {{0x3D, 0xD8, 0xFB, 0xDC}, "\xF0\x9F\x93\xBB"},
        {{0x3D, 0xD8, 'a', 0},
         "\xEF\xBF\xBD"
         "a"},                           // lone high surrogate
        {{0xFB, 0xDC}, "\xEF\xBF\xBD"},  // lone low surrogate
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16LeToUtf8(c.bytes), c.expected) << ::testing::PrintToString(c.bytes);
    }
}

}  // namespace
}  // namespace telvora::platform
