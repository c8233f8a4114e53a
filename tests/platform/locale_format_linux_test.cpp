#include "platform/locale_format.h"

#include <gtest/gtest.h>

#include <clocale>

#include "scoped_env.h"

namespace telvora::platform {
namespace {

using namespace std::chrono;
using test::ScopedEnv;

TEST(LocaleFormat, NumbersFollowTheUsersDecimalSeparator) {
    struct Case {
        const char* locale;
        std::string separator;
        std::string formatted;  // of 14.25
    };
    const Case cases[] = {
        {"C", ".", "14.25"},
        {"de_DE.UTF-8", ",", "14,25"},
        {"ru_RU.UTF-8", ",", "14,25"},
        {"xx_NOWHERE.UTF-8", ".", "14.25"},  // a locale that is not installed: C's rules
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        ScopedEnv lcAll("LC_ALL", c.locale);
        EXPECT_EQ(DecimalSeparator(), c.separator);
        EXPECT_EQ(FormatUserNumber(14.25), c.formatted);
        EXPECT_EQ(ParseUserNumber(c.formatted), 14.25);
    }
}

TEST(LocaleFormat, TheEnvironmentDecidesNotTheGlobalLocale) {
    // A toolkit calls setlocale(LC_ALL, "") at start-up; the rules stay the environment's
    // either way, so that a program with and one without a window read numbers alike.
    ScopedEnv lcAll("LC_ALL", std::nullopt);
    ScopedEnv lcNumeric("LC_NUMERIC", "de_DE.UTF-8");
    ScopedEnv lang("LANG", "C");
    EXPECT_EQ(DecimalSeparator(), ",");
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "");
    EXPECT_EQ(DecimalSeparator(), ",");
    EXPECT_EQ(FormatUserNumber(0.5), "0,5");
    std::setlocale(LC_ALL, previous.c_str());
}

TEST(LocaleFormat, ReadsOnlyWholeNumbersInTheUsersForm) {
    ScopedEnv lcAll("LC_ALL", "de_DE.UTF-8");
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"144", 144},  {"14,2", 14.2}, {" -0,5 ", -0.5},  {"+3", 3},     {",5", 0.5},
        {"5,", 5},     {"1e3", 1000},  {"1,5E-2", 0.015}, {"14.2", {}},  {"1.000,5", {}},
        {"1,2,3", {}}, {"", {}},       {",", {}},         {"-", {}},     {"1e", {}},
        {"inf", {}},   {"nan", {}},    {"0x10", {}},      {"1e999", {}}, {"12 5", {}},
        {"+-1", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseUserNumber(c.text), c.value) << c.text;
    }
    for (const double value : {0.1, 1.0 / 3.0, 1e-300, -123456789.125, 3.0000000000000004}) {
        EXPECT_EQ(ParseUserNumber(FormatUserNumber(value)), value) << FormatUserNumber(value);
    }
}

TEST(LocaleFormat, ShortDatesFollowTheUsersLocale) {
    const Date date = year{2019} / 3 / 5;
    const std::pair<const char*, std::string> cases[] = {
        {"C", "03/05/19"},
        {"de_DE.UTF-8", "05.03.2019"},
        {"ru_RU.UTF-8", "05.03.2019"},
    };
    for (const auto& [locale, text] : cases) {
        ScopedEnv lcAll("LC_ALL", locale);
        EXPECT_EQ(FormatShortDate(date), text) << locale;
    }
}

}  // namespace
}  // namespace telvora::platform
