// The case rules of the drop-down's search and of the application title.
#include "app/case_fold.h"

#include <gtest/gtest.h>

namespace telvora::app {
namespace {

TEST(CaseFoldTest, FoldingAndLoweringOfSingleCharacters) {
    struct Case {
        char32_t c, folded, lowered;
    };
    const Case cases[] = {
        {U'A', U'a', U'a'},          {U'z', U'z', U'z'},    {U'@', U'@', U'@'},
        {U'Ä', U'ä', U'ä'},          {U'×', U'×', U'×'},    {U'Ā', U'ā', U'ā'},
        {U'ā', U'ā', U'ā'},          {U'Я', U'я', U'я'},    {U'Ё', U'ё', U'ё'},
        {U'Ѣ', U'ѣ', U'ѣ'},          {U'Σ', U'σ', U'σ'},    {U'ς', U'σ', U'ς'},
        {U'ſ', U's', U'ſ'},          {0x1E9E, U'ß', U'ß'},  {U'K', U'k', U'k'},  // Kelvin
        {0x10400, 0x10428, 0x10428}, {0x130, 0x130, 0x130}, {0xFF21, 0xFF41, 0xFF41},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FoldCase(c.c), c.folded) << std::hex << static_cast<unsigned>(c.c);
        EXPECT_EQ(LowerCase(c.c), c.lowered) << std::hex << static_cast<unsigned>(c.c);
    }
}

TEST(CaseFoldTest, LowerCaseText) {
    EXPECT_EQ(LowerCaseText("TELVORA"), "telvora");
    EXPECT_EQ(LowerCaseText("ТЕЛВОРА Ёж"), "телвора ёж");
    // No simple lower case, but a full one: i and a combining dot.
    EXPECT_EQ(LowerCaseText("İ"), "i\xcc\x87");
    EXPECT_EQ(LowerCaseText("A\xff"
                            "B"),
              "a\xef\xbf\xbd"
              "b");  // a stray byte becomes U+FFFD
}

TEST(CaseFoldTest, StartsWithIgnoringCase) {
    struct Case {
        const char* text;
        const char* prefix;
        bool starts;
    };
    const Case cases[] = {
        {"RDA Mixed", "rda m", true},
        {"RDA", "rda ", false},
        {"RDA", "", true},
        {"", "", true},
        {"", "r", false},
        {"Районы", "рАЙ", true},
        {"Районы", "рай ", false},
        {"Straße", "STRAẞ", true},
        {"Straße", "strasse", false},
        {"ΑΣ", "ας", true},
        {"ab", "abc", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StartsWithIgnoringCase(c.text, c.prefix), c.starts)
            << c.text << " / " << c.prefix;
    }
}

TEST(CaseFoldTest, CharactersOfUtf8Text) {
    EXPECT_EQ(CharacterCount(""), 0u);
    EXPECT_EQ(CharacterCount("abc"), 3u);
    EXPECT_EQ(CharacterCount("Ёж𐐀"), 3u);
    EXPECT_EQ(CharacterCount("a\xff"), 2u);
    EXPECT_EQ(WithoutLastCharacter("Ёж"), "Ё");
    EXPECT_EQ(WithoutLastCharacter("a𐐀"), "a");
    EXPECT_EQ(WithoutLastCharacter("a"), "");
    EXPECT_EQ(WithoutLastCharacter(""), "");
}

}  // namespace
}  // namespace telvora::app
