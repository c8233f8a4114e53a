// The spelling of values in the settings file: integers, position words, the
// callsign's trimming and its quoting.
#include "settings/profile_values.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace telvora::settings {
namespace {

struct IntegerCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

class ParseIntegerTest : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(ParseIntegerTest, ReadsOnlyWholeNumbers) {
    EXPECT_EQ(ParseInteger(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseIntegerTest,
    ::testing::Values(IntegerCase{"0", 0}, IntegerCase{"96", 96}, IntegerCase{"-1", -1},
                      IntegerCase{"+7", 7}, IntegerCase{"007", 7},
                      IntegerCase{"2147483647", 2147483647}, IntegerCase{"-2147483648", INT32_MIN},
                      IntegerCase{"2147483648", std::nullopt},
                      IntegerCase{"-2147483649", std::nullopt},
                      IntegerCase{"99999999999999999999", std::nullopt}, IntegerCase{"$10", 16},
                      IntegerCase{"x10", 16}, IntegerCase{"X1f", 31}, IntegerCase{"0x10", 16},
                      IntegerCase{"0XfF", 255}, IntegerCase{"-$10", -16}, IntegerCase{"-0x10", -16},
                      IntegerCase{"$7FFFFFFF", 2147483647}, IntegerCase{"$FFFFFFFF", -1},
                      IntegerCase{"$80000000", INT32_MIN}, IntegerCase{"$100000000", std::nullopt},
                      IntegerCase{"", std::nullopt}, IntegerCase{"-", std::nullopt},
                      IntegerCase{"$", std::nullopt}, IntegerCase{"0x", std::nullopt},
                      IntegerCase{"x", std::nullopt}, IntegerCase{"12a", std::nullopt},
                      IntegerCase{"1f", std::nullopt}, IntegerCase{" 1", std::nullopt},
                      IntegerCase{"1 ", std::nullopt}, IntegerCase{"1.5", std::nullopt},
                      IntegerCase{"--1", std::nullopt}, IntegerCase{"0x-1", std::nullopt},
                      IntegerCase{"$g", std::nullopt}));

struct WordCase {
    const char* text;
    std::vector<std::string> words;
};

class SplitWordsTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(SplitWordsTest, SplitsAtRunsOfBlanksAndCommas) {
    std::vector<std::string> words;
    for (std::string_view w : SplitWords(GetParam().text)) {
        words.emplace_back(w);
    }
    EXPECT_EQ(words, GetParam().words) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitWordsTest,
    ::testing::Values(WordCase{"10, 20,,30 40", {"10", "20", "30", "40"}},
                      WordCase{"439,274,828,511", {"439", "274", "828", "511"}},
                      WordCase{" ,1,", {"1"}}, WordCase{"", {}}, WordCase{", ,", {}},
                      WordCase{"a\tb", {"a\tb"}}, WordCase{"-1,-1", {"-1", "-1"}}));

TEST(WordOr, MissingOrMalformedWordGivesFallback) {
    EXPECT_EQ(WordOr("100,200", 1, 5), 100);
    EXPECT_EQ(WordOr("100,200", 2, 5), 200);
    EXPECT_EQ(WordOr("100,200", 3, 5), 5);
    EXPECT_EQ(WordOr("abc,200", 1, 5), 5);
    EXPECT_EQ(WordOr("abc,200", 2, 5), 200);
    EXPECT_EQ(WordOr("$64 x10", 1, 5), 100);
    EXPECT_EQ(WordOr("$64 x10", 2, 5), 16);
    EXPECT_EQ(WordOr("1,2", 0, 5), 5);
}

TEST(FormatPosition, DecimalWithoutBlanks) {
    EXPECT_EQ(FormatPosition(-1, -1, -1, -1), "-1,-1,-1,-1");
    EXPECT_EQ(FormatPosition(439, 274, 828, 511), "439,274,828,511");
    EXPECT_EQ(FormatPosition(INT32_MIN, 0, 0, INT32_MAX), "-2147483648,0,0,2147483647");
}

struct TextCase {
    std::string in;
    std::string out;
};

class QuoteValueTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(QuoteValueTest, WrapsValuesTheReaderWouldUnquote) {
    EXPECT_EQ(QuoteValue(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, QuoteValueTest,
                         ::testing::Values(TextCase{"R1ABC", "R1ABC"}, TextCase{"", ""},
                                           TextCase{"\"R1ABC\"", "\"\"R1ABC\"\""},
                                           TextCase{"'R1ABC'", "\"'R1ABC'\""},
                                           TextCase{"\"", "\"\"\""}, TextCase{"'", "\"'\""},
                                           TextCase{"\"R1ABC'", "\"R1ABC'"},
                                           TextCase{"\"R1ABC", "\"R1ABC"},
                                           TextCase{"R1\"ABC\"", "R1\"ABC\""}));

}  // namespace
}  // namespace telvora::settings
