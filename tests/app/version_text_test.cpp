// The version text of the status bar, from the executable's version record, with its two
// fall-backs.
#include "app/version_text.h"

#include <gtest/gtest.h>

#include "platform/version_record.h"

namespace telvora::app {
namespace {

using platform::VersionRecord;

VersionRecord Record(std::vector<platform::VersionTranslation> translations,
                     std::map<std::string, std::map<std::string, std::string>> tables,
                     std::uint32_t ms, std::uint32_t ls) {
    VersionRecord record;
    record.translations = std::move(translations);
    record.stringTables = std::move(tables);
    record.fixed.fileVersionMS = ms;
    record.fixed.fileVersionLS = ls;
    return record;
}

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
         Record({us}, {{"040904E4", {{"FileVersion", "1.0.2.2"}}}}, 0x00010000, 0x00020002),
         "v1.0.2.2"},
        {"the string wins over the fixed part",
         Record({us}, {{"040904E4", {{"FileVersion", "3.1 beta"}}}}, 0x00010000, 0x00020002),
         "v3.1 beta"},
        {"names and keys compare without regard to case",
         Record({us}, {{"040904e4", {{"FILEVERSION", "1.0.2.2"}}}}, 0, 0), "v1.0.2.2"},
        {"no FileVersion string: the fixed numbers",
         Record({us}, {{"040904E4", {{"ProductName", "Telvora"}}}}, 0x00020005, 0x0007FFFF),
         "v2.5.7.65535"},
        {"an empty FileVersion: the fixed numbers",
         Record({us}, {{"040904E4", {{"FileVersion", ""}}}}, 0x00010000, 0x00020002), "v1.0.2.2"},
        {"only the first translation is looked at",
         Record({ru, us}, {{"040904E4", {{"FileVersion", "9.9.9.9"}}}}, 0x00010000, 0x00020002),
         "v1.0.2.2"},
        {"the first translation's table",
         Record({ru, us}, {{"041904E3", {{"FileVersion", "4.0"}}}}, 0, 0), "v4.0"},
        {"no translation table: the fixed numbers",
         Record({}, {{"040904E4", {{"FileVersion", "9.9.9.9"}}}}, 0x00010000, 0x00020002),
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
