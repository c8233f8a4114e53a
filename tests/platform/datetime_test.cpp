#include <gtest/gtest.h>

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

}  // namespace
}  // namespace telvora
