// The texts of the default error handling: the "." rule, the innermost message, the
// application title and the "Application Error" text.
#include "app/error_messages.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

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

}  // namespace
}  // namespace telvora::app
