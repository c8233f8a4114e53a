#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace telvora::platform {
namespace {

struct PairCase {
    std::string a;
    std::string b;
    bool expected;
};

TEST(AsciiNoCase, EqualsFoldsOnlyAsciiLetters) {
    const PairCase cases[] = {
        {"", "", true},
        {"Data Source", "data source", true},
        {"SELECT", "select", true},
        {"WindowPos", "windowpos", true},
        {"a", "", false},
        {"abc", "abd", false},
        {"abc", "abcd", false},  // a prefix is not the same name
        {"@", "`", false},       // next to the letters, 32 apart
        {"[", "{", false},
        {"\xC3\x96", "\xC3\xB6", false},  // O and o with diaeresis: not ASCII, not folded
        {"\xC0", "\xE0", false},          // the same pair in Latin-1
    };
    for (const PairCase& c : cases) {
        EXPECT_EQ(EqualsNoCase(c.a, c.b), c.expected) << c.a << " / " << c.b;
        EXPECT_EQ(EqualsNoCase(c.b, c.a), c.expected) << c.b << " / " << c.a;
    }
}

TEST(AsciiNoCase, StartsWithAndContains) {
    const PairCase startsWith[] = {
        {"HTTP/1.1 200 OK", "http/", true},
        {"location: https://x", "Location:", true},
        {"Locatio", "Location:", false},
        {" Location:", "Location:", false},
        {"anything", "", true},
        {"", "", true},
    };
    for (const PairCase& c : startsWith) {
        EXPECT_EQ(StartsWithNoCase(c.a, c.b), c.expected) << c.a << " / " << c.b;
    }
    const PairCase contains[] = {
        {"SSL alert: CERTIFICATE REQUIRED", "certificate required", true},
        {"tlsv1 alert handshake failure", "Handshake Failure", true},
        {"handshake fail", "handshake failure", false},
        {"certificate", "", true},
        {"", "", true},
        {"", "x", false},
    };
    for (const PairCase& c : contains) {
        EXPECT_EQ(ContainsNoCase(c.a, c.b), c.expected) << c.a << " / " << c.b;
    }
}

TEST(AsciiNoCase, LowerLeavesOtherBytesAlone) {
    EXPECT_EQ(AsciiLower("HKEY_CURRENT_USER\\Software"), "hkey_current_user\\software");
    EXPECT_EQ(AsciiLower("HTTPS"), "https");
    EXPECT_EQ(AsciiLower("\xC3\x96Z@[\x7F"), "\xC3\x96z@[\x7F");
}

TEST(TextRules, TrimBlanksDropsOnlyBlanksAndTabs) {
    const std::pair<std::string, std::string> cases[] = {
        {"  a b\t", "a b"},         {"\t\t", ""}, {"", ""}, {"x", "x"},
        {"\r\na\r\n", "\r\na\r\n"},  // line breaks are no blanks here
        {" \fa\v ", "\fa\v"},
    };
    for (const auto& [text, trimmed] : cases) {
        EXPECT_EQ(TrimBlanks(text), trimmed) << text;
    }
}

struct TextCase {
    std::string in;
    std::string out;
};

class TrimControlsTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TrimControlsTest, DropsCodesUpTo32AtBothEnds) {
    EXPECT_EQ(TrimControls(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, TrimControlsTest,
                         ::testing::Values(TextCase{"  R1ABC  ", "R1ABC"},
                                           TextCase{"\t\r\nR1ABC\x1F", "R1ABC"},
                                           TextCase{std::string("\0R1\0", 4), "R1"},
                                           TextCase{"R1 ABC", "R1 ABC"}, TextCase{"   ", ""},
                                           TextCase{"", ""}, TextCase{"\xD0\x96 ", "\xD0\x96"},
                                           TextCase{"!R1!", "!R1!"}));

TEST(TextRules, QuoteDoubling) {
    EXPECT_EQ(QuoteDoubled("Field's", '\''), "'Field''s'");
    EXPECT_EQ(QuoteDoubled("a\"b", '"'), "\"a\"\"b\"");
    EXPECT_EQ(QuoteDoubled("", '\''), "''");
    EXPECT_EQ(QuoteDoubled("''", '\''), "''''''");
    std::string out = "x=";
    AppendQuoteDoubled(out, "it's \"so\"", '\'');
    EXPECT_EQ(out, "x=it''s \"so\"");  // only the quote named is doubled
}

}  // namespace
}  // namespace telvora::platform
