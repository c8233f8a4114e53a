// The system's ANSI code page on Windows (CP_ACP). The test prefix runs in English (United
// States), code page 1252; a second run of these tests under ru_RU sets 1251.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace telvora::platform {
namespace {

TEST(CodePageWindows, DecodesAndEncodesTheSystemsCodePage) {
    struct Case {
        UINT codePage;
        std::string bytes;
        std::string utf8;
    };
    const Case cases[] = {
        {1252, "M\xFCller \x80", "M\xC3\xBCller \xE2\x82\xAC"},  // u with diaeresis, the euro
        {1251, "\xC6\xF3\xF0\xED\xE0\xEB", "\xD0\x96\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB"},
    };
    bool tried = false;
    for (const Case& c : cases) {
        if (c.codePage != GetACP()) {
            continue;
        }
        tried = true;
        EXPECT_EQ(DecodeAnsi(c.bytes), c.utf8);
        EXPECT_EQ(EncodeAnsi(c.utf8), c.bytes);
        EXPECT_EQ(DecodeAnsi("plain ASCII, 05.03.2019"), "plain ASCII, 05.03.2019");
    }
    EXPECT_TRUE(tried) << "no case for code page " << GetACP();
}

TEST(CodePageWindows, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
    // A Chinese character is in neither 1252 nor 1251.
    EXPECT_EQ(EncodeAnsi("R1ABC \xE4\xB8\xAD"), "R1ABC ?");
    EXPECT_EQ(EncodeAnsi(""), "");
    EXPECT_EQ(DecodeAnsi(""), "");
}

}  // namespace
}  // namespace telvora::platform
