#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"
#include "platform/unicode.h"
#include "scoped_env.h"

namespace telvora::platform {
namespace {

using namespace std::string_literals;

const std::string kFFFD = "\xEF\xBF\xBD";

TEST(Codepage, TakesTheCharsetFromTheEnvironmentWithoutSetlocale) {
    struct Case {
        const char* lcAll;
        const char* charset;
    };
    const Case cases[] = {
        {"C.UTF-8", "UTF-8"},
        {"C", "ANSI_X3.4-1968"},
        {"POSIX", "ANSI_X3.4-1968"},
        {"xx_NOT_INSTALLED.KOI8-R", "ANSI_X3.4-1968"},  // no such locale: the C locale's set
    };
    for (const Case& c : cases) {
        const test::ScopedEnv lcAll("LC_ALL", c.lcAll);
        EXPECT_EQ(AnsiCharset(), c.charset) << c.lcAll;
    }
    // LC_ALL wins over LANG; without it, LC_CTYPE and LANG are read.
    {
        const test::ScopedEnv lcAll("LC_ALL", std::nullopt);
        const test::ScopedEnv lcCtype("LC_CTYPE", std::nullopt);
        const test::ScopedEnv lang("LANG", "C.UTF-8");
        EXPECT_EQ(AnsiCharset(), "UTF-8");
    }
}

TEST(Codepage, DecodesEveryByteAndNeverFails) {
    struct Case {
        const char* charset;
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {"CP1251", "\xC4\xE0\xED\xE8\xE8\xEB", "\xD0\x94\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB8\xD0\xBB"},
        {"CP1251", "R1,\xC4", "R1,\xD0\x94"},
        {"CP1251", "\x98", kFFFD},  // the one byte CP1251 leaves undefined
        {"ISO-8859-1", "\xE9t\xE9", "\xC3\xA9t\xC3\xA9"},
        {"KOI8-R", "\xE4", "\xD0\x94"},
        {"ANSI_X3.4-1968",
         "ab\x80\xFF"
         "c",
         "ab" + kFFFD + kFFFD + "c"},
        {"UTF-8", "\xD0\x94\xFF\xD0", "\xD0\x94" + kFFFD + kFFFD},
        {"UTF-8", "a\0b"s, "a\0b"s},
        // Old 5- and 6-byte forms are no UTF-8: one U+FFFD per byte.
        {"UTF-8", "\xF8\x88\x80\x80\x80", kFFFD + kFFFD + kFFFD + kFFFD + kFFFD},
        {"utf8",
         "\xFD\x8E"
         "a",
         kFFFD + kFFFD + "a"s},
        {"SHIFT_JIS", "\x82\xA0", "\xE3\x81\x82"},
        {"SHIFT_JIS", "a\x82", "a" + kFFFD},  // cut double-byte character at the end
        {"NO-SUCH-CHARSET", "a\xC4", "a" + kFFFD},
        {"CP1251", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeCharset(c.bytes, c.charset), c.utf8) << c.charset;
    }
}

TEST(Codepage, EncodesWithAQuestionMarkForWhatTheCharsetLacks) {
    struct Case {
        const char* charset;
        std::string utf8;
        std::string bytes;
    };
    const Case cases[] = {
        {"CP1251", "\xD0\x94-12 R1ABC", "\xC4-12 R1ABC"},
        {"CP1251", "\xE2\x82\xAC", "\x88"},  // the euro sign has a place in CP1251
        {"CP1251",
         "a\xE4\xB8\xAD"
         "b",
         "a?b"},
        {"CP1251", "\xF0\x9F\x98\x80", "?"},
        {"CP1251",
         "a\xFF"
         "b\xD0",
         "a?b?"},  // invalid UTF-8 bytes
        {"CP1251", "\xC3\xA9", "?"},
        {"ISO-8859-1", "\xC3\xA9\xD0\x94", "\xE9?"},
        {"ANSI_X3.4-1968",
         "R\xC3\x96"
         "1 \xD0\x94",
         "R?1 ?"},
        {"UTF-8", "\xD0\x94\xFF", "\xD0\x94?"},
        {"UTF-8", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeCharset(c.utf8, c.charset), c.bytes) << c.charset;
    }
}

TEST(Codepage, AnsiFunctionsFollowTheLocale) {
    {
        const test::ScopedEnv lcAll("LC_ALL", "C.UTF-8");
        EXPECT_EQ(DecodeAnsi("\xD0\x94"), "\xD0\x94");
        EXPECT_EQ(EncodeAnsi("\xD0\x94"), "\xD0\x94");
    }
    {
        const test::ScopedEnv lcAll("LC_ALL", "C");
        EXPECT_EQ(DecodeAnsi("\xD0\x94"), kFFFD + kFFFD);
        EXPECT_EQ(EncodeAnsi("\xD0\x94 R1"), "? R1");
    }
}

TEST(Codepage, ValidatesUtf8Strictly) {
    const std::string valid[] = {
        "", "abc", "\xD0\x94", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "a\0b"s};
    const std::string invalid[] = {"\x80",
                                   "\xC0\xAF",
                                   "\xC1\xBF",
                                   "\xE0\x80\xAF",
                                   "\xED\xA0\x80",
                                   "\xF4\x90\x80\x80",
                                   "\xF5\x80\x80\x80",
                                   "\xD0",
                                   "\xE2\x82",
                                   "\xFF"};
    for (const std::string& text : valid) {
        EXPECT_TRUE(IsValidUtf8(text)) << testing::PrintToString(text);
    }
    for (const std::string& text : invalid) {
        EXPECT_FALSE(IsValidUtf8(text)) << testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace telvora::platform
