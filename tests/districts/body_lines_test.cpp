#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <string>
#include <vector>

#include "districts/body_lines.h"
#include "platform/error.h"
#include "scoped_env.h"

namespace telvora::districts {
namespace {

using Lines = std::vector<std::string>;
using namespace std::string_literals;

constexpr const char* kNoMapping =
    "No mapping for the Unicode character exists in the target multi-byte code page";

struct BodyCase {
    const char* name;
    std::string body;
    Lines lines;
};

// Bodies without a byte-order mark are read in the locale's charset; these run in a UTF-8
// locale so that only the splitting is under test.
TEST(BodyToLines, SplitsAtEveryKindOfBreak) {
    const test::ScopedEnv locale("LC_ALL", "C.UTF-8");
    const BodyCase cases[] = {
        {"CR LF, last break", "a\r\nb\r\n", {"a", "b"}},
        {"CR LF, no last break", "a\r\nb", {"a", "b"}},
        {"LF only", "a\nb\n", {"a", "b"}},
        {"CR only", "a\rb\r", {"a", "b"}},
        {"mixed", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"LF CR is two breaks", "x\n\ry", {"x", "", "y"}},
        {"two breaks give an empty line", "a\r\n\r\nb", {"a", "", "b"}},
        {"two breaks at the end", "a\n\n", {"a", ""}},
        {"a lone break", "\n", {""}},
        {"empty body", "", {}},
        {"NUL ends the text", "a\r\nb\0c\r\nd"s, {"a", "b"}},
        {"NUL after a break", "a\r\n\0b"s, {"a"}},
        {"NUL first", "\0a"s, {}},
        {"blanks stay", " a \r\n\tb\t", {" a ", "\tb\t"}},
        {"UTF-8 mark only", "\xEF\xBB\xBF", {}},
        {"UTF-8 mark is not part of the text",
         "\xEF\xBB\xBF\xD0\x94"
         "1,C1\r\nD2",
         {"\xD0\x94"
          "1,C1",
          "D2"}},
        {"UTF-8 mark, NUL",
         "\xEF\xBB\xBF"
         "a\0b"s,
         {"a"}},
        {"UTF-16LE",
         "\xFF\xFE"
         "D\0"
         "1\0"
         "\r\0\n\0"
         "\x14\x04"
         "2\0"s,
         {"D1",
          "\xD0\x94"
          "2"}},
        {"UTF-16BE",
         "\xFE\xFF"
         "\0D\0"
         "1\0\r\0\n\0"
         "2"s,
         {"D1", "2"}},
        {"UTF-16LE mark only", "\xFF\xFE", {}},
        {"UTF-16LE, NUL character",
         "\xFF\xFE"
         "a\0\0\0b\0"s,
         {"a"}},
        {"UTF-16LE, surrogate pair",
         "\xFF\xFE"
         "\x3D\xD8\x00\xDE"s,
         {"\xF0\x9F\x98\x80"}},
        {"UTF-16LE, lone surrogate",
         "\xFF\xFE"
         "\x3D\xD8"
         "a\0"s,
         {"\xEF\xBF\xBD"
          "a"}},
        {"UTF-16LE, odd last byte",
         "\xFF\xFE"
         "a\0b"s,
         {"a\xEF\xBF\xBD"}},
        {"UTF-16 without a mark reads as code page",
         "D\0"
         "1\0"s,
         {"D"}},
    };
    for (const BodyCase& c : cases) {
        EXPECT_EQ(BodyToLines(c.body), c.lines) << c.name;
    }
}

// A body of megabytes is read in pieces: its lines come out as from a short one, wherever the
// pieces end (inside a line, between CR and LF, inside a letter of two bytes).
TEST(BodyToLines, LongBodiesGiveTheSameLinesAsShortOnes) {
    const test::ScopedEnv locale("LC_ALL", "C.UTF-8");
    const std::string cyrillic = "\xD0\x94\xD0\x96";  // two letters of two bytes
    Lines lines;
    std::string body;
    const auto add = [&](const std::string& line, const std::string& brk) {
        lines.push_back(line);
        body += line + brk;
    };
    for (int i = 0; body.size() < (3u << 20); ++i) {
        const std::string line =
            "D" + std::to_string(i) + "," + (i % 3 == 0 ? cyrillic : "R1ABC") + ",05.03.2019";
        const std::string brk = i % 5 == 0 ? "\r" : i % 7 == 0 ? "\n\r" : "\r\n";
        add(line, brk);
        if (brk == "\n\r") {
            lines.push_back("");  // LF then CR: two breaks
        }
        if (i == 50000) {
            add(std::string(1500000, 'x') + ",C1," + std::string(600000, 'y'), "\r\n");
        }
    }
    add(cyrillic + std::string(2500000, 'Z'), "");
    // Behind a UTF-8 mark, as UTF-8 on every platform (Windows would read the bytes in its ANSI
    // code page otherwise).
    const TextLines read = BodyToLines("\xEF\xBB\xBF" + body);
    ASSERT_EQ(read.size(), lines.size());
    EXPECT_TRUE(read == lines);
}

TEST(BodyToLines, RefusesInvalidUtf8BehindItsMark) {
    const std::string bodies[] = {
        "\xEF\xBB\xBF\xFF",
        "\xEF\xBB\xBF"
        "D1,\xD0",  // cut sequence
        "\xEF\xBB\xBF"
        "\xC0\xAF",  // overlong "/"
        "\xEF\xBB\xBF"
        "\xED\xA0\x80",  // surrogate
        "\xEF\xBB\xBF"
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xEF\xBB\xBF"
        "a\r\n\0\xFF"s,  // conversion comes before the NUL cut
    };
    for (const std::string& body : bodies) {
        try {
            BodyToLines(body);
            ADD_FAILURE() << "accepted " << testing::PrintToString(body);
        } catch (const Error& error) {
            EXPECT_STREQ(error.what(), kNoMapping);
        }
    }
}

TEST(BodyToLines, ReadsAnUnmarkedBodyInTheLocaleCharset) {
    const std::string utf8Body =
        "\xD0\x94"
        "1,R1ABC,05.03.2019\r\n";
#ifdef _WIN32
    // The system's ANSI code page; the test prefix runs in English (United States): 1252, where
    // the two bytes of the UTF-8 letter are two letters of their own.
    ASSERT_EQ(GetACP(), 1252u);
    EXPECT_EQ(BodyToLines(utf8Body), Lines{"\xC3\x90\xE2\x80\x9D"
                                           "1,R1ABC,05.03.2019"});
#else
    {
        const test::ScopedEnv locale("LC_ALL", "C.UTF-8");
        EXPECT_EQ(BodyToLines(utf8Body), Lines{"\xD0\x94"
                                               "1,R1ABC,05.03.2019"});
    }
    {
        // An ASCII locale: the non-ASCII bytes come out as other characters, never as a
        // failure, and the ASCII text is unchanged.
        const test::ScopedEnv locale("LC_ALL", "C");
        EXPECT_EQ(BodyToLines(utf8Body), Lines{"\xEF\xBF\xBD\xEF\xBF\xBD"
                                               "1,R1ABC,05.03.2019"});
    }
#endif
}

}  // namespace
}  // namespace telvora::districts
