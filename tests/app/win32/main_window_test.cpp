// frmMain in Win32 on a real X server under Wine: the window and every control as designed,
// the keyboard's path through it (the one tab stop, Enter and Space on the button, upper case
// in Edit1), the check list's clicks, and the default error handling.
#include "app/win32/main_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "app/error_handling.h"
#include "app/win32/fonts.h"
#include "app/window_design.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/wide.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

using app::TfrmMain;
namespace design = app::design;

class Win32MainWindowTest : public MainWindowTest {};

TEST_F(Win32MainWindowTest, WindowIsTheDesignedFixedTopLevelWindowOwningTheTaskbarButton) {
    TfrmMain& frm = ShowWindow();
    HWND hwnd = frm.Handle();
    EXPECT_EQ(ClassNameOf(hwnd), L"TfrmMain");
    wchar_t caption[128] = {};
    GetWindowTextW(hwnd, caption, 128);
    EXPECT_EQ(std::wstring(caption), L"Telvora statistic from csv file");

    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(client.right, 373);
    EXPECT_EQ(client.bottom, 205);

    const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME) << "a fixed single border";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_EQ(GetWindow(hwnd, GW_OWNER), nullptr);

    // No settings file yet: the outer top-left corner at its first place.
    RECT outer{};
    GetWindowRect(hwnd, &outer);
    EXPECT_EQ(outer.left, 439);
    EXPECT_EQ(outer.top, 274);
}

TEST_F(Win32MainWindowTest, EveryControlStandsAtItsPlaceWithItsSize) {
    TfrmMain& frm = ShowWindow();
    HWND panel = frm.RzPanel1.Handle();
    EXPECT_EQ(GetParent(panel), frm.Handle());
    const RECT panelRect = RectIn(panel, frm.Handle());
    EXPECT_EQ(panelRect.left, 0);
    EXPECT_EQ(panelRect.top, 0);
    EXPECT_EQ(panelRect.right, 373);
    EXPECT_EQ(panelRect.bottom, 205);

    for (const DesignedControl& c : DesignedControls(frm)) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GetParent(c.control), panel);
        const RECT rect = RectIn(c.control, panel);
        EXPECT_EQ(rect.left, c.place.left);
        EXPECT_EQ(rect.top, c.place.top);
        EXPECT_EQ(rect.right - rect.left, c.place.width);
        EXPECT_EQ(rect.bottom - rect.top, c.place.height);
    }

    // Labels keep Left and Top and size themselves to their text.
    const struct {
        const char* name;
        const char* text;
        design::Place place;
    } labels[] = {
        {"Label2", "Your Callsign:", design::kLabel2},
        {"Label3", "Awards:", design::kLabel3},
        {"Label1", "Logs:", design::kLabel1},
    };
    for (const auto& label : labels) {
        SCOPED_TRACE(label.name);
        const RECT rect = frm.RzPanel1.LabelRect(label.name);
        EXPECT_EQ(rect.left, label.place.left);
        EXPECT_EQ(rect.top, label.place.top);
        EXPECT_GT(rect.right - rect.left, 0);
        bool found = false;
        for (const auto& painted : frm.RzPanel1.Labels()) {
            if (painted.name == label.name) {
                found = true;
                EXPECT_EQ(painted.text, platform::Wide(label.text));
            }
        }
        EXPECT_TRUE(found);
    }
}

LOGFONTW FontOf(HWND control) {
    return app::FontDescription(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
}

TEST_F(Win32MainWindowTest, ControlsUseTheirDesignedFontsOrTheirStandIns) {
    TfrmMain& frm = ShowWindow();
    const struct {
        const char* name;
        LOGFONTW font;
        design::Font designed;
    } cases[] = {
        {"Edit1", FontOf(frm.Edit1), design::kEdit1Font},
        {"CheckListBox1", FontOf(frm.CheckListBox1.Handle()), design::kDefaultFont},
        {"RxDBLookupCombo2", FontOf(frm.RxDBLookupCombo2.Handle()), design::kDefaultFont},
        {"ProgressBar", FontOf(frm.ProgressBar.Handle()), design::kProgressBarFont},
        {"btnUpload", FontOf(frm.btnUpload), design::kBtnUploadFont},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.font.lfHeight, -c.designed.pixelHeight) << "character height in pixels";
        EXPECT_EQ(c.font.lfWeight, c.designed.bold ? FW_BOLD : FW_NORMAL);
        EXPECT_EQ(platform::Narrow(c.font.lfFaceName), app::PickFontFace(c.designed.face));
    }
    for (const auto& label : frm.RzPanel1.Labels()) {
        SCOPED_TRACE(label.name);
        const LOGFONTW font = app::FontDescription(label.font);
        EXPECT_EQ(font.lfHeight, -13);
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_EQ(platform::Narrow(font.lfFaceName), app::PickFontFace("Courier"));
        EXPECT_EQ(font.lfCharSet, label.name == "Label1" ? RUSSIAN_CHARSET : DEFAULT_CHARSET);
    }
}

BOOL CALLBACK CollectTabStop(HWND child, LPARAM stops) {
    if (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) {
        reinterpret_cast<std::vector<HWND>*>(stops)->push_back(child);
    }
    return TRUE;
}

TEST_F(Win32MainWindowTest, TheButtonIsTheOnlyTabStopAndTakesTheFocusFirst) {
    TfrmMain& frm = ShowWindow();
    std::vector<HWND> tabStops;
    EnumChildWindows(frm.Handle(), CollectTabStop, reinterpret_cast<LPARAM>(&tabStops));
    ASSERT_EQ(tabStops.size(), 1u);
    EXPECT_EQ(tabStops.front(), frm.btnUpload);
    EXPECT_EQ(GetFocus(), frm.btnUpload) << "the first tab stop, when the window became active";

    // A click gives Edit1 the focus; Tab from there goes to the button.
    Click(frm.Edit1, 20, 10, &frm);
    ASSERT_EQ(GetFocus(), frm.Edit1);
    PressKey(VK_TAB, false, &frm);
    EXPECT_EQ(GetFocus(), frm.btnUpload);
    Click(frm.CheckListBox1.Handle(), 100, 80, &frm);
    ASSERT_EQ(GetFocus(), frm.CheckListBox1.Handle());
    PressKey(VK_TAB, false, &frm);
    EXPECT_EQ(GetFocus(), frm.btnUpload);
}

TEST_F(Win32MainWindowTest, EnterAndSpaceOnTheButtonStartARunThatWarnsWithoutInputs) {
    TfrmMain& frm = ShowWindow();
    boxes.clear();
    for (WORD key : {VK_RETURN, VK_SPACE}) {
        SCOPED_TRACE(key);
        ASSERT_EQ(GetFocus(), frm.btnUpload);
        PressKey(key, false, &frm);
        ASSERT_EQ(boxes.requests().size(), 1u);
        const app::MessageRequest& box = boxes.requests().front();
        EXPECT_EQ(box.caption, "Warning");
        EXPECT_EQ(box.icon, app::MessageIcon::Warning);
        EXPECT_EQ(box.text, "Check all parametrs.");
        EXPECT_EQ(box.owner, nullptr) << "centred on the screen";
        boxes.clear();
    }
}

TEST_F(Win32MainWindowTest, Edit1CentresItsTextAndTurnsWhatIsTypedIntoUpperCase) {
    TfrmMain& frm = ShowWindow();
    const LONG_PTR style = GetWindowLongPtrW(frm.Edit1, GWL_STYLE);
    EXPECT_TRUE(style & ES_UPPERCASE);
    EXPECT_TRUE(style & ES_CENTER);
    Click(frm.Edit1, 20, 10, &frm);
    TypeText(L"q9test/p", &frm);
    EXPECT_EQ(app::WindowText(frm.Edit1), "Q9TEST/P");
}

TEST_F(Win32MainWindowTest, CheckListTicksOnItsBoxSelectsOnItsTextAndTogglesWithSpace) {
    TfrmMain& frm = ShowWindow();
    app::CheckListBox& list = frm.CheckListBox1;
    for (const char* name : {"Main", "Field day", "Контест"}) {
        list.AddItem(name);
    }
    HWND hwnd = list.Handle();
    EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & LBS_OWNERDRAWFIXED, LBS_OWNERDRAWFIXED);
    EXPECT_EQ(ClassNameOf(hwnd), L"ListBox");
    EXPECT_GE(list.ItemHeight(), app::CheckListBox::kCheckSize);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETITEMHEIGHT, 0, 0), list.ItemHeight());

    const auto centre = [](RECT r) {
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    // The text of item 1: selected, not ticked.
    RECT item{};
    SendMessageW(hwnd, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
    Click(hwnd, item.left + 60, (item.top + item.bottom) / 2, &frm);
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), 1);
    EXPECT_FALSE(list.Checked(1));

    // The box of item 2: ticked and selected; again: unticked.
    const POINT box = centre(list.CheckBoxRect(2));
    Click(hwnd, box.x, box.y, &frm);
    EXPECT_TRUE(list.Checked(2));
    EXPECT_EQ(SendMessageW(hwnd, LB_GETCURSEL, 0, 0), 2);
    PressKey(VK_SPACE, false, &frm);
    EXPECT_FALSE(list.Checked(2)) << "Space toggles the selected item";
    PressKey(VK_SPACE, false, &frm);
    EXPECT_TRUE(list.Checked(2));
    Sleep(GetDoubleClickTime() + 50);  // two separate clicks, not a double click
    Click(hwnd, box.x, box.y, &frm);
    EXPECT_FALSE(list.Checked(2));
    Click(hwnd, box.x, box.y, &frm);
    EXPECT_TRUE(list.Checked(2)) << "a second quick click on the box toggles it again";

    EXPECT_EQ(list.CheckedItems(), std::vector<std::string>{"Контест"});
}

TEST_F(Win32MainWindowTest, StatusBarIsOneFiftyPixelPanelWithoutSizeGrip) {
    TfrmMain& frm = ShowWindow();
    EXPECT_EQ(ClassNameOf(frm.StatusBar), L"msctls_statusbar32");
    EXPECT_FALSE(GetWindowLongPtrW(frm.StatusBar, GWL_STYLE) & SBARS_SIZEGRIP);
    int parts[4] = {};
    ASSERT_EQ(SendMessageW(frm.StatusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)), 1);
    EXPECT_EQ(parts[0], 50);
    // The logs database is missing here: FormCreate stopped before the version step.
    EXPECT_EQ(frm.StatusText(), "");
}

TEST_F(Win32MainWindowTest, MissingDatabaseIsShownOnceAndTheWindowStillAppearsWithEmptyLists) {
    TfrmMain& frm = ShowWindow();
    ASSERT_EQ(boxes.requests().size(), 1u);
    const app::MessageRequest& box = boxes.requests().front();
    EXPECT_EQ(box.caption, app::ApplicationTitle());
    EXPECT_EQ(box.icon, app::MessageIcon::Error);
    EXPECT_NE(box.text.find("logs.mdb"), std::string::npos) << box.text;
    EXPECT_TRUE(IsWindowVisible(frm.Handle()));
    EXPECT_EQ(frm.CheckListBox1.Count(), 0);
    EXPECT_FALSE(frm.RxDBLookupCombo2.CanDropDown());
    // The settings file was named all the same.
    EXPECT_EQ(frm.IniFileName(), platform::PathToUtf8(dir.path() / "Telvora.ini"));
}

TEST_F(Win32MainWindowTest, DefaultErrorHandlingShowsTheMessageWithItsPeriodUnderTheTitle) {
    TfrmMain& frm = ShowWindow();
    boxes.clear();
    const struct {
        const char* message;
        const char* shown;
    } cases[] = {
        {"Field 'Id' not found", "Field 'Id' not found."},
        {"Done.", "Done."},
        {"Really?", "Really?."},
        {"(closed)", "(closed)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        app::RunHandler([&] { throw Error(c.message); });
        ASSERT_EQ(boxes.requests().size(), 1u);
        const app::MessageRequest& box = boxes.requests().front();
        EXPECT_EQ(box.text, c.shown);
        EXPECT_EQ(box.caption, app::ApplicationTitle());
        EXPECT_EQ(box.icon, app::MessageIcon::Error);
        EXPECT_EQ(box.buttons, std::vector<app::MessageButton>{app::MessageButton::Ok});
        EXPECT_EQ(box.owner, frm.Handle()) << "owned by the active window";
        boxes.clear();
    }
    // The title follows the executable's name.
    EXPECT_EQ(app::ApplicationTitle(),
              app::ApplicationTitleFor(platform::PathToUtf8(platform::ExecutablePath())));
}

TEST_F(Win32MainWindowTest, ProgressPositionIsClampedAndPaintedAtOnce) {
    TfrmMain& frm = ShowWindow();
    const struct {
        int set;
        int position;
    } cases[] = {{50, 50}, {150, 100}, {-5, 0}, {100, 100}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        frm.ProgressBar.SetPosition(c.set);
        EXPECT_EQ(frm.ProgressBar.Position(), c.position);
        RECT update{};
        EXPECT_FALSE(GetUpdateRect(frm.ProgressBar.Handle(), &update, FALSE))
            << "painted before SetPosition returned";
    }
}

}  // namespace
}  // namespace telvora::test
