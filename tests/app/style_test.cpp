// The visual style "Aqua Light Slate": stored in the executable, found without regard to
// case, and the "Error" dialog when a style is missing.
#include "app/visual_style.h"

#include <gtest/gtest.h>

#include "app/message_box.h"
#include "app/resources.h"
#include "app_test_support.h"

namespace telvora::app {
namespace {

class StyleTest : public ::testing::Test {
  protected:
    void SetUp() override { test::QtApp().setStyleSheet(QString()); }
    void TearDown() override { test::QtApp().setStyleSheet(QString()); }
};

TEST_F(StyleTest, TheStyleIsStoredInTheExecutable) {
    EXPECT_TRUE(StoredStyleNames().contains("Aqua Light Slate"));
    EXPECT_FALSE(MainIcon().isNull());
}

TEST_F(StyleTest, LookedUpWithoutRegardToCase) {
    struct Case {
        QString name;
        bool found;
    };
    const Case cases[] = {
        {"Aqua Light Slate", true},   {"aqua light slate", true},
        {"AQUA LIGHT SLATE", true},   {"aQuA lIgHt SlAtE", true},
        {"Aqua Light", false},        {"Aqua  Light Slate", false},
        {"Aqua Light Slate ", false}, {"", false},
    };
    for (const Case& c : cases) {
        test::QtApp().setStyleSheet(QString());
        EXPECT_EQ(TrySetStyle(c.name), c.found) << c.name.toStdString();
        if (c.found) {
            EXPECT_EQ(ActiveStyleName(), "Aqua Light Slate");
            EXPECT_TRUE(test::QtApp().styleSheet().contains("QPushButton"));
        } else {
            EXPECT_TRUE(test::QtApp().styleSheet().isEmpty());
        }
    }
    // Once loaded, the style is found among the loaded ones.
    EXPECT_TRUE(LoadedStyleNames().contains("Aqua Light Slate"));
}

TEST_F(StyleTest, ApplyingTheStyleShowsNothing) {
    RecordedMessages boxes;
    ApplyVisualStyle(kVisualStyleName);
    EXPECT_TRUE(boxes.requests().empty());
    EXPECT_FALSE(test::QtApp().styleSheet().isEmpty());
}

TEST_F(StyleTest, AMissingStyleShowsTheErrorDialogThenThePlatformLook) {
    RecordedMessages boxes;
    ApplyVisualStyle("Carbon Dark");
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.text, "Style 'Carbon Dark' not found");
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Close});
    EXPECT_TRUE(test::QtApp().styleSheet().isEmpty());
}

}  // namespace
}  // namespace telvora::app
