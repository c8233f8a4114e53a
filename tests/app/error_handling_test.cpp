// The default error handling: the "." rule, the innermost message, the application title,
// the box it shows, the boundary that catches what escapes an event handler, and the
// "Application Error" text.
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

TEST(TerminatingPeriodTest, AppendedWhenTheLastCharacterIsAboveTheDot) {
    struct Case {
        std::string message, shown;
    };
    const Case cases[] = {
        {"Not found", "Not found."},
        {"Line 3", "Line 3."},
        {"Path:", "Path:."},
        {"Really?", "Really?."},
        {"a/", "a/."},  // "/" is just above "."
        {"Field 'Id' not found", "Field 'Id' not found."},
        {"Done.", "Done."},
        {"Stop!", "Stop!"},
        {"(see log)", "(see log)"},
        {"say \"x\"", "say \"x\""},
        {"'C:\\x'", "'C:\\x'"},
        {"trailing ", "trailing "},
        {"a-", "a-"},  // "-" is just below "."
        {"a,", "a,"},
        {"", ""},
        {"Ошибка", "Ошибка."},  // a multibyte character is above "."
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithTerminatingPeriod(c.message), c.shown) << c.message;
    }
}

TEST(ApplicationTitleTest, FileNameWithoutFolderAndExtensionLowerCasedAfterTheFirst) {
    struct Case {
        std::string path, title;
    };
    const Case cases[] = {
        {"TELVORA.EXE", "Telvora"},
        {"C:\\Program Files\\Telvora\\TELVORA.EXE", "Telvora"},
        {"/usr/local/bin/telvora", "telvora"},
        {"/opt/x/TelVora", "Telvora"},
        {"My.Tool.exe", "My"},
        {"ÄBCD.EXE", "Äbcd"},
        {"/home/u/.hidden", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplicationTitleFor(c.path), c.title) << c.path;
    }
}

std::exception_ptr Nested(std::vector<std::string> messages) {
    // messages[0] is the outermost.
    try {
        std::function<void(size_t)> raise = [&](size_t i) {
            if (i + 1 == messages.size()) {
                throw Error(messages[i]);
            }
            try {
                raise(i + 1);
            } catch (...) {
                std::throw_with_nested(Error(messages[i]));
            }
        };
        raise(0);
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

TEST(DescribeFailureTest, TheInnermostNonEmptyMessage) {
    struct Case {
        std::vector<std::string> chain;
        std::string message;
    };
    const Case cases[] = {
        {{"only"}, "only"},
        {{"outer", "inner"}, "inner"},
        {{"outer", ""}, "outer"},
        {{"outer", "middle", ""}, "middle"},
        {{"", "", "deepest"}, "deepest"},
        {{"", ""}, ""},
    };
    for (const Case& c : cases) {
        const FailureInfo info = DescribeFailure(Nested(c.chain));
        EXPECT_EQ(info.message, c.message);
        EXPECT_EQ(info.typeName, "telvora::Error");
    }
}

TEST(DescribeFailureTest, FailuresThatAreNoStdException) {
    try {
        try {
            throw 42;
        } catch (...) {
            std::throw_with_nested(std::runtime_error("wrapped a number"));
        }
    } catch (...) {
        EXPECT_EQ(DescribeFailure(std::current_exception()).message, "wrapped a number");
    }
    try {
        throw 7;
    } catch (...) {
        const FailureInfo info = DescribeFailure(std::current_exception());
        EXPECT_EQ(info.message, "");
        EXPECT_EQ(info.typeName, "int");
    }
}

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
    EXPECT_EQ(box.caption, "app_error_handling_test");  // the first character as it is
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

TEST(ApplicationErrorTextTest, TypeModuleOffsetAndMessage) {
    struct Case {
        std::string type, module;
        unsigned long long offset;
        std::string message, text;
    };
    const Case cases[] = {
        {"telvora::Error", "telvora", 0x1234, "Error obtaining session handle",
         "Exception telvora::Error in module telvora at 00001234.\n"
         "Error obtaining session handle."},
        {"std::bad_alloc", "libQt6Core.so.6", 0xABCDEF01, "std::bad_alloc",
         "Exception std::bad_alloc in module libQt6Core.so.6 at ABCDEF01.\nstd::bad_alloc."},
        {"telvora::Error", "telvora", 0, "Already ends.",
         "Exception telvora::Error in module telvora at 00000000.\nAlready ends."},
        {"telvora::Error", "telvora", 0, "Ends with a bang!",
         "Exception telvora::Error in module telvora at 00000000.\nEnds with a bang!."},
        {"int", "telvora", 16, "", "Exception int in module telvora at 00000010.\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ApplicationErrorText(c.type, c.module, c.offset, c.message), c.text);
    }
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
        "Exception telvora::Error in module app_error_handling_test at ([0-9A-F]{8})\\.\n"
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
