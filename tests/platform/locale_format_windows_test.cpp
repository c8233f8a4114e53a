// The user's number and date formats on Windows, from the user's locale (Wine takes it from the
// environment it starts in: these tests run under English (United States), and again under
// Russian and German).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/locale_format.h"
#include "platform/wide.h"

namespace telvora::platform {
namespace {

using namespace std::chrono;

std::string UserLocale() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    return Narrow(name);
}

TEST(LocaleFormatWindows, NumbersFollowTheUsersDecimalSeparator) {
    const std::string locale = UserLocale();
    const std::string separator = locale == "en-US" ? "." : ",";
    ASSERT_TRUE(locale == "en-US" || locale == "ru-RU" || locale == "de-DE") << locale;
    EXPECT_EQ(DecimalSeparator(), separator);
    EXPECT_EQ(FormatUserNumber(14.25), "14" + separator + "25");
    EXPECT_EQ(ParseUserNumber("14" + separator + "25"), 14.25);
    EXPECT_EQ(ParseUserNumber("144"), 144.0);
    EXPECT_EQ(ParseUserNumber(separator == "." ? "14,25" : "14.25"), std::nullopt);
}

TEST(LocaleFormatWindows, ShortDatesFollowTheUsersLocale) {
    const std::string date = FormatShortDate(year{2019} / 3 / 5);
    const std::string locale = UserLocale();
    if (locale == "en-US") {
        EXPECT_EQ(date, "3/5/2019");
    } else if (locale == "ru-RU") {
        EXPECT_EQ(date, "05.03.2019");
    } else {
        // Wine's German short date is d.M.yyyy; Windows' own is dd.MM.yyyy.
        EXPECT_TRUE(date == "05.03.2019" || date == "5.3.2019") << date;
    }
}

}  // namespace
}  // namespace telvora::platform
