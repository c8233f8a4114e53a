// The default error handling in the Qt shell: the box it shows, captioned with the title of
// the running executable, the boundary that catches what escapes an event handler, and the
// "Application Error" box naming the code that threw.
#include "app/error_handling.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <regex>

#include "app/message_box.h"
#include "app/throw_site.h"
#include "app_test_support.h"
#include "platform/error.h"

namespace telvora::app {
namespace {

class DefaultErrorHandlingTest : public ::testing::Test {
  protected:
    void SetUp() override { test::QtApp(); }
    RecordedMessages boxes;
};

TEST_F(DefaultErrorHandlingTest, ShowsOneModalErrorBoxCaptionedWithTheTitle) {
    HandleException(std::make_exception_ptr(Error("AconfigQuery: Field 'LogName' not found")));
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, ApplicationTitle());
    EXPECT_EQ(box.caption, "app_qt_error_handling_test");  // the first character as it is
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.text, "AconfigQuery: Field 'LogName' not found.");
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Ok});
}

TEST_F(DefaultErrorHandlingTest, EndsTheMouseCaptureAndClosesOpenPopups) {
    QWidget window;
    window.resize(100, 100);
    window.show();
    QWidget popup(nullptr, Qt::Popup);
    popup.resize(50, 50);
    popup.show();
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QWidget grabber(&window);
    grabber.resize(20, 20);
    grabber.show();
    grabber.grabMouse();
    ASSERT_EQ(QWidget::mouseGrabber(), &grabber);

    HandleException(std::make_exception_ptr(Error("x")));

    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_EQ(boxes.requests().size(), 1u);
}

TEST_F(DefaultErrorHandlingTest, RunHandlerShowsTheFailureAndTheProgramGoesOn) {
    int reached = 0;
    RunHandler([&] {
        ++reached;
        throw Error("first");
    });
    RunHandler([&] { ++reached; });
    EXPECT_EQ(reached, 2);
    ASSERT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(boxes.requests()[0].text, "first.");
}

// A widget whose mouse handler fails: what escapes it is caught at the application's notify.
class FailingWidget : public QWidget {
  protected:
    void mousePressEvent(QMouseEvent*) override {
        ++presses;
        throw Error("Press failed");
    }

  public:
    int presses = 0;
};

TEST_F(DefaultErrorHandlingTest, FailuresEscapingEventHandlersAreCaughtAtTheBoundary) {
    FailingWidget widget;
    widget.resize(40, 40);
    widget.show();
    QTest::mouseClick(&widget, Qt::LeftButton);
    QTest::mouseClick(&widget, Qt::LeftButton);
    EXPECT_EQ(widget.presses, 2);  // still usable after the first failure
    ASSERT_EQ(boxes.requests().size(), 2u);
    EXPECT_EQ(boxes.requests()[1].text, "Press failed.");
}

TEST_F(DefaultErrorHandlingTest, FailuresOfSlotsAndQueuedCallsReachTheBox) {
    QPushButton button("go");
    QObject::connect(&button, &QPushButton::clicked, [] { throw Error("Slot failed"); });
    button.show();
    QTest::mouseClick(&button, Qt::LeftButton);

    QTimer::singleShot(0, [] { throw Error("Timer failed"); });
    QCoreApplication::processEvents();

    ASSERT_EQ(boxes.requests().size(), 2u);
    EXPECT_EQ(boxes.requests()[0].text, "Slot failed.");
    EXPECT_EQ(boxes.requests()[1].text, "Timer failed.");
}

[[gnu::noinline]] void ThrowSessionFailure() {
    throw Error("Error obtaining session handle");
}

TEST(ApplicationErrorTest, NamesTheTypeTheModuleAndTheThrowingCode) {
    test::QtApp();
    RecordedMessages boxes;
    try {
        ThrowSessionFailure();
    } catch (...) {
        ShowApplicationError(std::current_exception());
    }
    ASSERT_EQ(boxes.requests().size(), 1u);
    const MessageRequest& box = boxes.requests()[0];
    EXPECT_EQ(box.caption, "Application Error");
    EXPECT_EQ(box.icon, MessageIcon::Error);
    EXPECT_EQ(box.buttons, std::vector<MessageButton>{MessageButton::Ok});
    EXPECT_EQ(box.owner, nullptr);
    const std::regex form(
        "Exception telvora::Error in module app_qt_error_handling_test at ([0-9A-F]{8})\\.\n"
        "Error obtaining session handle\\.");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(box.text, match, form)) << box.text;
    EXPECT_NE(match[1].str(), "00000000");
}

TEST(ThrowSiteTest, OnlyTheLastThrownObjectHasASite) {
    const void* first = nullptr;
    try {
        throw Error("a");
    } catch (const std::exception& e) {
        first = dynamic_cast<const void*>(&e);
        EXPECT_TRUE(FindThrowSite(first));
        // A rethrow keeps the original site.
        try {
            throw;
        } catch (const std::exception& again) {
            EXPECT_TRUE(FindThrowSite(dynamic_cast<const void*>(&again)));
        }
    }
    try {
        throw Error("b");
    } catch (...) {
    }
    EXPECT_FALSE(FindThrowSite(nullptr));
}

}  // namespace
}  // namespace telvora::app
