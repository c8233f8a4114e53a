// Telvora.ini through the real window and the platform's own profile and placement functions
// under Wine (GetWindowPlacement, SetWindowPlacement, GetPrivateProfileStringW,
// WritePrivateProfileStringW): the first close writes the ten keys, the next start brings the
// place and the callsign back, and a place saved is the place restored.
#include <gtest/gtest.h>

#include <sstream>

#include "app/win32/form_storage_binding.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

class Win32WindowSettingsTest : public MainWindowTest {
  protected:
    std::filesystem::path IniFile() const { return dir.path() / "Telvora.ini"; }

    void Close() {
        SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
        window.reset();
        Pump();
    }

    RECT Outer() const {
        RECT rect{};
        GetWindowRect(window->Handle(), &rect);
        return rect;
    }

    std::string Suffix() const {
        return "(" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" +
               std::to_string(GetSystemMetrics(SM_CYSCREEN)) + ")";
    }
};

TEST_F(Win32WindowSettingsTest, FirstCloseWritesTheTenKeysInTheirOrder) {
    ShowWindow();
    Click(window->Edit1, 20, 10, window.get());
    TypeText(L"  q9test ", window.get());
    const RECT outer = Outer();
    ASSERT_TRUE(window->Closed() == false);
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(window->Closed());
    const std::string normal = std::to_string(outer.left) + "," + std::to_string(outer.top) + "," +
                               std::to_string(outer.right) + "," + std::to_string(outer.bottom);
    EXPECT_EQ(outer.left, 439);
    EXPECT_EQ(outer.top, 274);
    const std::string expected =
        "[TfrmMain]\r\n"
        "FormVersion=0\r\n"
        "Flags=0\r\n"
        "ShowCmd=1\r\n"
        "PixelsPerInch=" +
        std::to_string(app::ScreenPixelsPerInch()) +
        "\r\n"
        "MinMaxPos" +
        Suffix() +
        "=-1,-1,-1,-1\r\n"
        "MinMaxPos=-1,-1,-1,-1\r\n"
        "NormPos" +
        Suffix() + "=" + normal +
        "\r\n"
        "NormPos=" +
        normal +
        "\r\n"
        "Visible=0\r\n"
        "Edit1_Text=Q9TEST\r\n";
    EXPECT_EQ(ReadFileBytes(IniFile()), expected);
    window.reset();
    EXPECT_EQ(ReadFileBytes(IniFile()), expected) << "the destruction does not save again";
}

TEST_F(Win32WindowSettingsTest, NextStartBringsBackThePlaceAndTheCallsign) {
    ShowWindow();
    const RECT designed = Outer();
    Close();
    // Only left and top count: the window keeps its own size.
    WriteFileBytes(IniFile(), "[TfrmMain]\r\nNormPos" + Suffix() +
                                  "=120,140,5,5\r\nNormPos=300,300,400,400\r\nEdit1_Text= "
                                  "\"R3A\" \r\n");
    ShowWindow();
    const RECT restored = Outer();
    EXPECT_EQ(restored.left, 120) << "the key of this screen size wins";
    EXPECT_EQ(restored.top, 140);
    EXPECT_EQ(restored.right - restored.left, designed.right - designed.left);
    EXPECT_EQ(restored.bottom - restored.top, designed.bottom - designed.top);
    EXPECT_EQ(app::WindowText(window->Edit1), "R3A") << "one pair of quotes removed";
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
}

TEST_F(Win32WindowSettingsTest, OtherPixelsPerInchKeepsThePlaceButRestoresTheCallsign) {
    WriteFileBytes(IniFile(), "[TfrmMain]\r\nPixelsPerInch=" +
                                  std::to_string(app::ScreenPixelsPerInch() + 24) +
                                  "\r\nNormPos=120,140,5,5\r\nEdit1_Text=UA1A\r\n");
    ShowWindow();
    EXPECT_EQ(Outer().left, 439);
    EXPECT_EQ(Outer().top, 274);
    EXPECT_EQ(app::WindowText(window->Edit1), "UA1A");
}

TEST_F(Win32WindowSettingsTest, APlaceSavedIsThePlaceRestoredAtEveryStart) {
    ShowWindow();
    SetWindowPos(window->Handle(), nullptr, 200, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Pump(window.get());
    const RECT moved = Outer();
    Close();
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        ShowWindow();
        const RECT restored = Outer();
        EXPECT_EQ(restored.left, moved.left);
        EXPECT_EQ(restored.top, moved.top);
        Close();
    }
    const std::string ini = ReadFileBytes(IniFile());
    const std::string normal = "\r\nNormPos=" + std::to_string(moved.left) + "," +
                               std::to_string(moved.top) + "," + std::to_string(moved.right) + "," +
                               std::to_string(moved.bottom) + "\r\n";
    EXPECT_NE(ini.find(normal), std::string::npos) << ini;
}

}  // namespace
}  // namespace telvora::test
