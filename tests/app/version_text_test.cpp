// The version text of the status bar, from the executable's version record, with its two
// fall-backs.
#include "app/version_text.h"

#include <gtest/gtest.h>

#include "platform/version_record.h"
#include "version_record_text.h"

namespace telvora::app {
namespace {

using platform::VersionRecord;

TEST(VersionTextTest, CasesOfTheRecord) {
    const platform::VersionTranslation us{0x0409, 0x04E4};
    const platform::VersionTranslation ru{0x0419, 0x04E3};
    struct Case {
        const char* what;
        std::optional<VersionRecord> record;
        std::string status;
    };
    const Case cases[] = {
        {"the string of the first translation",
         test::MakeVersionRecord({us}, {{"040904E4", {{"FileVersion", "1.0.2.2"}}}}, 0x00010000,
                                 0x00020002),
         "v1.0.2.2"},
        {"the string wins over the fixed part",
         test::MakeVersionRecord({us}, {{"040904E4", {{"FileVersion", "3.1 beta"}}}}, 0x00010000,
                                 0x00020002),
         "v3.1 beta"},
        {"names and keys compare without regard to case",
         test::MakeVersionRecord({us}, {{"040904e4", {{"FILEVERSION", "1.0.2.2"}}}}, 0, 0),
         "v1.0.2.2"},
        {"no FileVersion string: the fixed numbers",
         test::MakeVersionRecord({us}, {{"040904E4", {{"ProductName", "Telvora"}}}}, 0x00020005,
                                 0x0007FFFF),
         "v2.5.7.65535"},
        {"an empty FileVersion: the fixed numbers",
         test::MakeVersionRecord({us}, {{"040904E4", {{"FileVersion", ""}}}}, 0x00010000,
                                 0x00020002),
         "v1.0.2.2"},
        {"only the first translation is looked at",
         test::MakeVersionRecord({ru, us}, {{"040904E4", {{"FileVersion", "9.9.9.9"}}}}, 0x00010000,
                                 0x00020002),
         "v1.0.2.2"},
        {"the first translation's table",
         test::MakeVersionRecord({ru, us}, {{"041904E3", {{"FileVersion", "4.0"}}}}, 0, 0), "v4.0"},
        {"no translation table: the fixed numbers",
         test::MakeVersionRecord({}, {{"040904E4", {{"FileVersion", "9.9.9.9"}}}}, 0x00010000,
                                 0x00020002),
         "v1.0.2.2"},
        {"no record at all", std::nullopt, "v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusVersionText(c.record), c.status) << c.what;
    }
}

TEST(VersionTextTest, TranslationKeyIsEightUpperCaseHexDigits) {
    EXPECT_EQ(TranslationKey({0x0409, 0x04E4}), "040904E4");
    EXPECT_EQ(TranslationKey({0x0419, 0x04B0}), "041904B0");
    EXPECT_EQ(TranslationKey({0, 0}), "00000000");
    EXPECT_EQ(TranslationKey({0xABCD, 0xFFFF}), "ABCDFFFF");
}

}  // namespace
}  // namespace telvora::app
