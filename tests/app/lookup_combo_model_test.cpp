// placeholder
#include "app/lookup_combo_model.h"

#include <gtest/gtest.h>

namespace telvora::app {
namespace {

TEST(LookupListPositionTest, BelowAboveAndMovedLeft) {
    struct Case {
        const char* what;
        LookupRect box;
        LookupRect list;
        LookupRect screen;
        LookupPoint expected;
    };
    const LookupRect screen{0, 0, 800, 600};
    const Case cases[] = {
        {"below", {100, 100, 145, 21}, {0, 0, 145, 50}, screen, {100, 121}},
        {"just fits below", {100, 529, 145, 21}, {0, 0, 145, 50}, screen, {100, 550}},
        {"above", {100, 530, 145, 21}, {0, 0, 145, 50}, screen, {100, 480}},
        {"moved left", {700, 100, 145, 21}, {0, 0, 145, 50}, screen, {655, 121}},
        {"above and moved left", {700, 560, 145, 21}, {0, 0, 145, 50}, screen, {655, 510}},
        {"second screen",
         {2000, 1000, 145, 21},
         {0, 0, 145, 50},
         {1920, 0, 1280, 1024},
         {2000, 950}},
    };
    for (const Case& c : cases) {
        const LookupPoint at = LookupListPosition(c.box, c.list, c.screen);
        EXPECT_EQ(at, c.expected) << c.what << ": " << at.x << "," << at.y;
    }
}

}  // namespace
}  // namespace telvora::app
