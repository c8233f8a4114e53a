#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "districts/district_entry.h"
#include "platform/error.h"

namespace telvora::districts {
namespace {

using std::chrono::day;
using std::chrono::month;
using std::chrono::year;

struct LineCase {
    const char* line;
    std::optional<DistrictEntry> entry;  // set when the line parses
    const char* error;                   // the message otherwise
};

std::ostream& operator<<(std::ostream& out, const LineCase& c) {
    return out << '[' << c.line << ']';
}

class ParseDistrictLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ParseDistrictLineTest, GivesTheEntryOrTheMessage) {
    const LineCase& c = GetParam();
    if (c.entry) {
        EXPECT_EQ(ParseDistrictLine(c.line), *c.entry);
        return;
    }
    try {
        const DistrictEntry entry = ParseDistrictLine(c.line);
        ADD_FAILURE() << "parsed, expected: " << c.error;
    } catch (const Error& error) {
        EXPECT_STREQ(error.what(), c.error);
    }
}

DistrictEntry Entry(const char* district, const char* callsign, int y, unsigned m, unsigned d) {
    return DistrictEntry{district, callsign, year{y} / month{m} / day{d}};
}

constexpr const char* kInvalidDate = "Invalid argument to date encode";

INSTANTIATE_TEST_SUITE_P(
    Lines, ParseDistrictLineTest,
    testing::Values(
        LineCase{"D1,C1,05.03.2019", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,05.03.2019,20m", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,05.03.2019,20m,x,,", Entry("D1", "C1", 2019, 3, 5), nullptr},
        // Fields keep their blanks at either end; nothing is trimmed or case-folded.
        LineCase{"D1, C1 ,05.03.2019", Entry("D1", " C1 ", 2019, 3, 5), nullptr},
        LineCase{" d1\t,r/a1,05.03.2019", Entry(" d1\t", "r/a1", 2019, 3, 5), nullptr},
        LineCase{",,05.03.2019", Entry("", "", 2019, 3, 5), nullptr},
        LineCase{"\xD0\x94-12,R\xC3\x96"
                 "1,05.03.2019",
                 Entry("\xD0\x94-12",
                       "R\xC3\x96"
                       "1",
                       2019, 3, 5),
                 nullptr},
        // Only the places of the digits count.
        LineCase{"D1,C1,05/03/2019", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,05-03-2019 10:30", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,05.03.2019xyz", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,05.03.19", Entry("D1", "C1", 19, 3, 5), nullptr},
        LineCase{"D1,C1,05.03.201", Entry("D1", "C1", 201, 3, 5), nullptr},
        LineCase{"D1,C1, 5.03.2019", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,+5.+3.2019", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,$A.0x.2019", std::nullopt, "'0x' is not a valid integer value"},
        LineCase{"D1,C1,$A.x3.$7E3", Entry("D1", "C1", 2019, 3, 10), nullptr},
        LineCase{"D1,C1,29.02.2020", Entry("D1", "C1", 2020, 2, 29), nullptr},
        LineCase{"D1,C1,29.02.2000", Entry("D1", "C1", 2000, 2, 29), nullptr},
        LineCase{"D1,C1,31.12.9999", Entry("D1", "C1", 9999, 12, 31), nullptr},
        LineCase{"D1,C1,01.01.0001", Entry("D1", "C1", 1, 1, 1), nullptr},
        // Quoted fields.
        LineCase{"\"D,1\",C1,05.03.2019", Entry("D,1", "C1", 2019, 3, 5), nullptr},
        LineCase{"\"D\"\"1\",C1,05.03.2019", Entry("D\"1", "C1", 2019, 3, 5), nullptr},
        LineCase{"D1,\"\",05.03.2019", Entry("D1", "", 2019, 3, 5), nullptr},
        LineCase{"D1,C1,\"05.03.2019\"", Entry("D1", "C1", 2019, 3, 5), nullptr},
        LineCase{"\"D1,C1,05.03.2019", std::nullopt, "List index out of bounds (1)"},
        LineCase{"\"D1\"X,C1,05.03.2019", std::nullopt, "'C1' is not a valid integer value"},
        // Missing fields.
        LineCase{"", std::nullopt, "List index out of bounds (0)"},
        LineCase{"D1", std::nullopt, "List index out of bounds (1)"},
        LineCase{"D1,C1", std::nullopt, "List index out of bounds (2)"},
        LineCase{",", std::nullopt, "List index out of bounds (2)"},
        LineCase{"<html>", std::nullopt, "List index out of bounds (1)"},
        // Pieces that are no integers: the first one read (day, month, year) is named.
        LineCase{"D1,C1,", std::nullopt, "'' is not a valid integer value"},
        LineCase{"D1,C1, 05.03.2019", std::nullopt, "'.0' is not a valid integer value"},
        LineCase{"D1,C1,5.3.2019", std::nullopt, "'5.' is not a valid integer value"},
        LineCase{"D1,C1,05.03.", std::nullopt, "'' is not a valid integer value"},
        LineCase{"D1,C1,05.03.20x9", std::nullopt, "'20x9' is not a valid integer value"},
        LineCase{"D1,C1,\t5.03.2019", std::nullopt, "'\t5' is not a valid integer value"},
        LineCase{"D1,C1,a,b", std::nullopt, "'a' is not a valid integer value"},
        LineCase{"D1,C1,\xD9\xA0\xD9\xA5.03.2019", std::nullopt,
                 "'\xD9\xA0\xD9\xA5' is not a valid integer value"},
        // Numbers that make no date.
        LineCase{"D1,C1,31.02.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,29.02.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,29.02.1900", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,00.03.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,31.04.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,05.13.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,05.00.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,05.03.0000", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,-1.03.2019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,05.03.-019", std::nullopt, kInvalidDate},
        LineCase{"D1,C1,-0.03.2019", std::nullopt, kInvalidDate}));

TEST(SplitDistrictFields, FollowsTheListQuoting) {
    struct Case {
        const char* line;
        std::vector<std::string> fields;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {",", {"", ""}},
        {"a,,b", {"a", "", "b"}},
        {"a,b,", {"a", "b", ""}},
        {" a , b ", {" a ", " b "}},
        {"\"a\"", {"a"}},
        {"\"a\",", {"a", ""}},
        {"\"\"", {""}},
        {"\"a\"\"\"", {"a\""}},
        {"\"a,b", {"a,b"}},
        {"\"a\"b\"c,d", {"a", "b\"c", "d"}},
        {"\"a\" ,b", {"a", " ", "b"}},
        {"a\"b,c", {"a\"b", "c"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitDistrictFields(c.line), c.fields) << '[' << c.line << ']';
    }
}

TEST(ReadListInteger, TakesSignsBlanksAndHexPrefixes) {
    struct Case {
        const char* piece;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"05", 5},
        {"  7", 7},
        {"+7", 7},
        {"-7", -7},
        {" -07", -7},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$A", -10},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"+", std::nullopt},
        {"$", std::nullopt},
        {"0x", std::nullopt},
        {"7 ", std::nullopt},
        {"\t7", std::nullopt},
        {"1.", std::nullopt},
        {"1e3", std::nullopt},
        {"--1", std::nullopt},
        {"+-1", std::nullopt},
        {"- 1", std::nullopt},
        {"0xG", std::nullopt},
        {"A", std::nullopt},
    };
    for (const Case& c : cases) {
        int value = 12345;
        const bool read = ReadListInteger(c.piece, value);
        EXPECT_EQ(read, c.value.has_value()) << '[' << c.piece << ']';
        if (read && c.value) {
            EXPECT_EQ(value, *c.value) << '[' << c.piece << ']';
        }
    }
}

}  // namespace
}  // namespace telvora::districts
