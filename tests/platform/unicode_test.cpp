#include "platform/unicode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace telvora::platform {
namespace {

using namespace std::string_literals;

const std::string kFFFD = "\xEF\xBF\xBD";

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

TEST(Utf8Decoding, TakesWellFormedSequencesUpToEveryBoundary) {
    struct Case {
        std::string text;
        char32_t code;
        std::size_t length;
    };
    const Case cases[] = {
        {"\0"s, 0x00, 1},
        {"A", 0x41, 1},
        {"\x7F", 0x7F, 1},
        {"\xC2\x80", 0x80, 2},
        {"\xDF\xBF", 0x7FF, 2},
        {"\xE0\xA0\x80", 0x800, 3},
        {"\xED\x9F\xBF", 0xD7FF, 3},  // last before the surrogates
        {"\xEE\x80\x80", 0xE000, 3},  // first after them
        {"\xEF\xBF\xBF", 0xFFFF, 3},
        {"\xF0\x90\x80\x80", 0x10000, 4},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},
        {"\xC3\xA9z", 0xE9, 2},  // only the first character is taken
        {"\xE2\x82\xAC\x80", 0x20AC, 3},
    };
    for (const Case& c : cases) {
        const auto character = DecodeUtf8Character(c.text);
        ASSERT_TRUE(character.has_value()) << testing::PrintToString(c.text);
        EXPECT_EQ(character->code, c.code) << testing::PrintToString(c.text);
        EXPECT_EQ(character->length, c.length) << testing::PrintToString(c.text);
        // A view that ends inside the sequence must not be read past its end.
        for (std::size_t cut = 1; cut < c.length; ++cut) {
            EXPECT_FALSE(DecodeUtf8Character(std::string_view(c.text).substr(0, cut)))
                << testing::PrintToString(c.text) << " cut to " << cut;
        }
    }
}

TEST(Utf8Decoding, RejectsMalformedSequences) {
    const std::string cases[] = {
        "",
        // continuation bytes without a lead
        "\x80", "\xBF", "\x80\x80",
        // overlong forms, at and just below each boundary
        "\xC0\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\x80", "\xE0\x9F\xBF", "\xF0\x80\x80\x80",
        "\xF0\x8F\xBF\xBF",
        // UTF-16 surrogates
        "\xED\xA0\x80", "\xED\xAF\xBF", "\xED\xB0\x80", "\xED\xBF\xBF",
        // above U+10FFFF
        "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF7\xBF\xBF\xBF",
        // the old 5- and 6-byte forms, and bytes that never occur
        "\xF8\x88\x80\x80\x80", "\xFB\xBF\xBF\xBF\xBF", "\xFC\x84\x80\x80\x80\x80",
        "\xFD\xBF\xBF\xBF\xBF\xBF", "\xFE", "\xFF",
        // cut short, at the end of the text or by a byte that is no continuation
        "\xC3", "\xE2\x82", "\xF0\x9F\x98", "\xC3z", "\xE2\x82z", "\xF0\x9F\x98z", "\xE2(\xA1",
        "\xF0\x9F\xC3\xA9"};
    for (const std::string& text : cases) {
        EXPECT_FALSE(DecodeUtf8Character(text).has_value()) << testing::PrintToString(text);
        if (!text.empty()) {
            EXPECT_FALSE(IsValidUtf8(text)) << testing::PrintToString(text);
            EXPECT_FALSE(IsValidUtf8("ok " + text + " ok")) << testing::PrintToString(text);
        }
    }
}

TEST(Utf8Decoding, ValidatesWholeTexts) {
    const std::string valid[] = {"", "abc", "a\0b"s, "\xD0\x94-12,R\xC3\x96",
                                 "\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"};
    for (const std::string& text : valid) {
        EXPECT_TRUE(IsValidUtf8(text)) << testing::PrintToString(text);
        EXPECT_EQ(ReplaceInvalidUtf8(text), text) << testing::PrintToString(text);
    }
}

TEST(Utf8Decoding, ReplacesEachByteThatStartsNoCharacter) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"a\x80z", "a" + kFFFD + "z"},
        {"\xC0\xAF", Repeat(kFFFD, 2)},
        {"\xE0\x80\xAF", Repeat(kFFFD, 3)},
        {"\xED\xA0\x80", Repeat(kFFFD, 3)},
        {"\xF4\x90\x80\x80", Repeat(kFFFD, 4)},
        {"\xF8\x88\x80\x80\x80", Repeat(kFFFD, 5)},
        {"\xFC\x84\x80\x80\x80\x80", Repeat(kFFFD, 6)},
        // a cut-short sequence costs its bytes, the character after it survives
        {"\xE2\x82\xC3\xA9", Repeat(kFFFD, 2) + "\xC3\xA9"},
        {"\xE2\x82\xAC\xE2\x82", "\xE2\x82\xAC" + Repeat(kFFFD, 2)},
        {"\xF0\x9F\x98", Repeat(kFFFD, 3)},
        {"\xFF\xFE", Repeat(kFFFD, 2)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReplaceInvalidUtf8(c.text), c.expected) << testing::PrintToString(c.text);
        EXPECT_TRUE(IsValidUtf8(ReplaceInvalidUtf8(c.text))) << testing::PrintToString(c.text);
    }
}

TEST(Utf8Decoding, StepsOverOneCharacterOrOneBadByte) {
    const std::string text = "a\xE2\x82\xAC\xFF\xF0\x9F\x98\x80\xE2\x82";
    struct Step {
        char32_t code;
        std::size_t posAfter;
    };
    const std::vector<Step> expected = {{'a', 1},     {0x20AC, 4},  {0xFFFD, 5},
                                        {0x1F600, 9}, {0xFFFD, 10}, {0xFFFD, 11}};
    std::vector<std::pair<char32_t, std::size_t>> steps;
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t code = NextUtf8OrReplacement(text, pos);
        steps.emplace_back(code, pos);
    }
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(steps[i].first, expected[i].code) << "step " << i;
        EXPECT_EQ(steps[i].second, expected[i].posAfter) << "step " << i;
    }
}

TEST(Utf8Encoding, WritesTheShortestFormAtEveryBoundary) {
    struct Case {
        char32_t code;
        std::string bytes;
    };
    const Case cases[] = {
        {0x00, "\0"s},
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xD7FF, "\xED\x9F\xBF"},
        {0xE000, "\xEE\x80\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        // no characters: written as U+FFFD rather than as malformed bytes
        {0xD800, kFFFD},
        {0xDFFF, kFFFD},
        {0x110000, kFFFD},
        {0x7FFFFFFF, kFFFD},
        {0xFFFFFFFF, kFFFD},
    };
    for (const Case& c : cases) {
        std::string out = "x";
        AppendUtf8(out, c.code);
        EXPECT_EQ(out, "x" + c.bytes) << std::hex << static_cast<std::uint32_t>(c.code);
    }
}

TEST(Utf8Encoding, EveryCharacterDecodesBackToItself) {
    for (char32_t code = 0; code <= 0x10FFFF; ++code) {
        if (code >= 0xD800 && code <= 0xDFFF) {
            continue;
        }
        std::string bytes;
        AppendUtf8(bytes, code);
        const auto character = DecodeUtf8Character(bytes);
        ASSERT_TRUE(character.has_value()) << std::hex << static_cast<std::uint32_t>(code);
        ASSERT_EQ(character->code, code);
        ASSERT_EQ(character->length, bytes.size());
    }
}

TEST(Utf16, DecodesBothByteOrders) {
    struct Case {
        std::string bytes;
        ByteOrder order;
        std::string expected;
    };
    constexpr auto kLe = ByteOrder::kLittleEndian;
    constexpr auto kBe = ByteOrder::kBigEndian;
    const Case cases[] = {
        {"", kLe, ""},
        {"A\0"s, kLe, "A"},
        {"\0A"s, kBe, "A"},
        {"\0\0"s, kLe, "\0"s},  // a NUL is a character like any other here
        {"\x7F\x00"s, kLe, "\x7F"},
        {"\x80\x00"s, kLe, "\xC2\x80"},
        {"\xFF\x07", kLe, "\xDF\xBF"},
        {"\x00\x08"s, kLe, "\xE0\xA0\x80"},
        {"\xFF\xFF", kLe, "\xEF\xBF\xBF"},
        {"\x04\x16\x04\x43", kBe, "\xD0\x96\xD1\x83"},
        {"\xFF\xFE", kLe, "\xEF\xBB\xBF"},  // a byte-order mark is not the decoder's business
        // surrogate pairs: U+10000, U+1F4FB, U+10FFFF
        {"\x00\xD8\x00\xDC"s, kLe, "\xF0\x90\x80\x80"},
        {"\xD8\x3D\xDC\xFB", kBe, "\xF0\x9F\x93\xBB"},
        {"\xFF\xDB\xFF\xDF", kLe, "\xF4\x8F\xBF\xBF"},
        // lone surrogates
        {"\x3D\xD8", kLe, kFFFD},
        {"\x3D\xD8"
         "a\0"s,
         kLe, kFFFD + "a"},
        {"\xFB\xDC", kLe, kFFFD},
        {"\xFB\xDC\x3D\xD8"s, kLe, kFFFD + kFFFD},  // low before high is no pair
        {"\x3D\xD8\x3D\xD8\xFB\xDC", kLe, kFFFD + "\xF0\x9F\x93\xBB"},
        // an odd byte at the end
        {"A", kLe, kFFFD},
        {"A\0B"s, kLe, "A" + kFFFD},
        {"\0AB"s, kBe, "A" + kFFFD},
        {"\x3D\xD8\xFB", kLe, kFFFD + kFFFD},  // a pair cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf16ToUtf8(c.bytes, c.order), c.expected)
            << testing::PrintToString(c.bytes) << (c.order == kBe ? " BE" : " LE");
    }
}

TEST(Utf16, EncodesBothByteOrders) {
    struct Case {
        std::string utf8;
        std::string le;
        std::string be;
    };
    const Case cases[] = {
        {"", "", ""},
        {"A", "A\0"s, "\0A"s},
        {"\xC2\x80", "\x80\0"s, "\0\x80"s},
        {"\xEF\xBF\xBF", "\xFF\xFF", "\xFF\xFF"},
        {"\xD0\x96", "\x16\x04", "\x04\x16"},
        {"\xF0\x90\x80\x80", "\x00\xD8\x00\xDC"s, "\xD8\x00\xDC\x00"s},
        {"\xF4\x8F\xBF\xBF", "\xFF\xDB\xFF\xDF", "\xDB\xFF\xDF\xFF"},
        // each bad byte becomes U+FFFD, never a surrogate or a dropped character
        {"a\xFF", "a\0\xFD\xFF"s, "\0a\xFF\xFD"s},
        {"\xED\xA0\x80", Repeat("\xFD\xFF", 3), Repeat("\xFF\xFD", 3)},
        {"\xF8\x88\x80\x80\x80", Repeat("\xFD\xFF", 5), Repeat("\xFF\xFD", 5)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8, ByteOrder::kLittleEndian), c.le)
            << testing::PrintToString(c.utf8);
        EXPECT_EQ(Utf8ToUtf16(c.utf8, ByteOrder::kBigEndian), c.be)
            << testing::PrintToString(c.utf8);
    }
}

TEST(Utf16, ValidTextSurvivesTheRoundTrip) {
    const std::string text =
        "R\xC3\x96 \xD0\x94-12 \xE2\x82\xAC \xEF\xBF\xBF \xF0\x9F\x93\xBB"
        "\xF4\x8F\xBF\xBF\0end"s;
    for (const ByteOrder order : {ByteOrder::kLittleEndian, ByteOrder::kBigEndian}) {
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text, order), order), text);
    }
}

TEST(CutToCharacters, NeverCutsACharacterInTwo) {
    struct Case {
        std::string text;
        std::size_t count;
        std::string expected;
    };
    const Case cases[] = {
        {"", 0, ""},
        {"", 3, ""},
        {"abc", 0, ""},
        {"abc", 2, "ab"},
        {"abc", 3, "abc"},
        {"abc", 4, "abc"},
        {"\xD0\x96\xD1\x83", 1, "\xD0\x96"},
        {"a\xF0\x9F\x93\xBB"
         "b",
         2, "a\xF0\x9F\x93\xBB"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 1, "\xE2\x82\xAC"},
        {"a\xE2\x82", 1, "a"},  // a lead byte counts as a character even when cut short
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutToCharacters(c.text, c.count), c.expected)
            << testing::PrintToString(c.text) << " to " << c.count;
    }
}

}  // namespace
}  // namespace telvora::platform
