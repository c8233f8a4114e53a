#include <gtest/gtest.h>

#include <cmath>

#include "platform/datetime.h"

namespace telvora {
namespace {

using namespace std::chrono;

TEST(DateTimeText, RoundTripsThroughStoredText) {
    const DateTime value = AtMidnight(year{2019} / 3 / 5) + hours{13} + minutes{7} + seconds{9};
    EXPECT_EQ(FormatDateTime(value), "2019-03-05 13:07:09");
    EXPECT_EQ(ParseDateTime("2019-03-05 13:07:09"), value);
    EXPECT_EQ(FormatDateTime(kZeroDateTime), "1899-12-30 00:00:00");
}

TEST(DateTimeText, ReadsTheFormsEnginesStore) {
    struct Case {
        const char* text;
        std::optional<std::string> formatted;
    };
    const Case cases[] = {
        {"2019-03-05", "2019-03-05 00:00:00"},
        {"2019-03-05 10:30", "2019-03-05 10:30:00"},
        {"2019-03-05T10:30:15", "2019-03-05 10:30:15"},
        {"2019-03-05 10:30:15.250", "2019-03-05 10:30:15"},
        {"2019-02-29", std::nullopt},
        {"2019-3-5", std::nullopt},
        {"05.03.2019", std::nullopt},
        {"2019-03-05 25:00", std::nullopt},
        {"", std::nullopt},
        {"10:00", "1899-12-30 10:00:00"},  // a time of day alone
        {"23:59:59", "1899-12-30 23:59:59"},
        {"00:00", "1899-12-30 00:00:00"},
        {"10:00:05.5", "1899-12-30 10:00:05"},
        {"24:00", std::nullopt},
        {"10:60", std::nullopt},
        {"1:00", std::nullopt},
        {"10:00 PM", std::nullopt},
        {"10:00:5", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseDateTime(c.text);
        if (c.formatted) {
            ASSERT_TRUE(parsed) << c.text;
            EXPECT_EQ(FormatDateTime(*parsed), *c.formatted) << c.text;
        } else {
            EXPECT_FALSE(parsed) << c.text;
        }
    }
}

TEST(DateTimeText, ShortestWholeFormReadsBack) {
    const DateTime day = AtMidnight(year{2024} / 5 / 6);
    const std::pair<DateTime, std::string> cases[] = {
        {day, "2024-05-06"},
        {day + hours{10} + minutes{5}, "2024-05-06 10:05:00"},
        {kZeroDateTime + hours{10}, "10:00:00"},
        {kZeroDateTime, "1899-12-30"},
        {kZeroDateTime - days{1} + hours{6}, "1899-12-29 06:00:00"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(DateTimeText(value), text);
        EXPECT_EQ(ParseDateTime(text), value) << text;
    }
}

TEST(DayCount, CountsDaysSince30December1899WithTheTimeAsFraction) {
    const DateTime day = AtMidnight(year{2024} / 5 / 6);
    const std::pair<DateTime, double> cases[] = {
        {day, 45418.0},
        {day + hours{6}, 45418.25},
        {kZeroDateTime, 0.0},
        {kZeroDateTime + hours{18}, 0.75},
        {kZeroDateTime - days{1} + hours{6}, -1.25},  // the fraction counts away from zero
        {kZeroDateTime - days{2}, -2.0},
    };
    for (const auto& [value, count] : cases) {
        EXPECT_EQ(ToDayCount(value), count) << FormatDateTime(value);
        EXPECT_EQ(FromDayCount(count), value) << count;
    }
    EXPECT_EQ(FromDayCount(1e300), std::nullopt);
    EXPECT_EQ(FromDayCount(std::nan("")), std::nullopt);
    EXPECT_EQ(FromDayCount(-700000), std::nullopt);  // before the year 100
}

}  // namespace
}  // namespace telvora
