// RxDBLookupCombo2 in Win32, driven with the mouse and the keyboard through the system's own
// input under Wine: the rows of its behaviour table, where its list opens, its scroll bar, and
// the list closing when the box loses the focus or the capture.
#include "app/win32/lookup_combo.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/error_handling.h"
#include "app/lookup_list.h"
#include "platform/error.h"
#include "win32_test_support.h"

namespace telvora::test {
namespace {

class RowsList : public app::LookupList {
  public:
    explicit RowsList(std::vector<std::string> rows) : rows_(std::move(rows)) {}
    bool Active() const override { return active; }
    std::size_t RowCount() const override { return rows_.size(); }
    std::string RowText(std::size_t row) const override { return rows_.at(row); }
    std::size_t CurrentRow() const override { return current; }
    void SetCurrentRow(std::size_t row) override { current = row; }

    bool active = true;
    std::size_t current = 0;

  private:
    std::vector<std::string> rows_;
};

class Win32LookupComboTest : public MainWindowTest {
  protected:
    app::DbLookupCombo& Combo(std::vector<std::string> rows) {
        ShowWindow();
        list = std::make_unique<RowsList>(std::move(rows));
        app::DbLookupCombo& combo = window->RxDBLookupCombo2;
        combo.SetLookupList(list.get());
        combo.onChange = [this] { changes.push_back(window->RxDBLookupCombo2.Value()); };
        boxes.clear();
        return combo;
    }

    void ClickBox(app::DbLookupCombo& combo, bool onButton = false) {
        const RECT area = onButton ? combo.ButtonRect() : combo.TextRect();
        Click(combo.Handle(), (area.left + area.right) / 2, (area.top + area.bottom) / 2,
              window.get());
    }

    // The centre of a row the open list shows, in its client coordinates.
    POINT RowPoint(app::DbLookupCombo& combo, int row) {
        return {20, (row - combo.TopRow()) * combo.RowHeight() + combo.RowHeight() / 2};
    }

    void ClickRow(app::DbLookupCombo& combo, int row) {
        const POINT at = RowPoint(combo, row);
        Click(combo.Popup(), at.x, at.y, window.get());
    }

    void Key(WORD key, bool alt = false) { PressKey(key, alt, window.get()); }

    std::unique_ptr<RowsList> list;
    std::vector<std::string> changes;
};

const std::vector<std::string> kAwards = {"RDA districts", "RDA Районы", "RDA regions"};

TEST_F(Win32LookupComboTest, ClickOpensTheListBelowTheBoxAndAClickOnARowChoosesIt) {
    app::DbLookupCombo& combo = Combo(kAwards);
    EXPECT_EQ(combo.Value(), "");
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    EXPECT_TRUE(IsWindowVisible(combo.Popup()));
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(GetFocus(), combo.Handle());

    RECT box{};
    RECT popup{};
    GetWindowRect(combo.Handle(), &box);
    GetWindowRect(combo.Popup(), &popup);
    EXPECT_EQ(popup.left, box.left);
    EXPECT_EQ(popup.top, box.bottom) << "below the box";
    EXPECT_EQ(popup.right - popup.left, box.right - box.left) << "as wide as the box";
    RECT client{};
    GetClientRect(combo.Popup(), &client);
    EXPECT_EQ(client.bottom, 3 * combo.RowHeight()) << "3 rows high";
    EXPECT_TRUE(GetWindowLongPtrW(combo.Popup(), GWL_STYLE) & WS_VSCROLL)
        << "a scroll bar from 3 awards on";

    ClickRow(combo, 1);
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_FALSE(IsWindowVisible(combo.Popup()));
    EXPECT_EQ(combo.Value(), "RDA Районы");
    EXPECT_EQ(changes, std::vector<std::string>{"RDA Районы"});
    EXPECT_EQ(list->current, 1u) << "the chosen row is the current row";

    // The same award again: no notification.
    ClickBox(combo);
    ClickRow(combo, 1);
    EXPECT_EQ(changes.size(), 1u);
    EXPECT_TRUE(boxes.requests().empty());
}

TEST_F(Win32LookupComboTest, PressOnTheBoxDragOntoARowAndReleaseChoosesIt) {
    app::DbLookupCombo& combo = Combo(kAwards);
    const RECT button = combo.ButtonRect();
    const POINT onButton = ScreenPoint(combo.Handle(), (button.left + button.right) / 2,
                                       (button.top + button.bottom) / 2);
    MoveMouse(onButton);
    Pump(window.get());
    SendMouseAt(onButton, MOUSEEVENTF_LEFTDOWN);
    Pump(window.get());
    ASSERT_TRUE(combo.ListOpen());
    EXPECT_TRUE(combo.ButtonPressed()) << "drawn pressed while the mouse is held on it";
    const POINT row = RowPoint(combo, 2);
    const POINT onRow = ScreenPoint(combo.Popup(), row.x, row.y);
    MoveMouse(onRow);
    Pump(window.get());
    EXPECT_EQ(combo.Highlighted(), 2);
    SendMouseAt(onRow, MOUSEEVENTF_LEFTUP);
    Pump(window.get());
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_FALSE(combo.ButtonPressed());
    EXPECT_EQ(combo.Value(), "RDA regions");
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(Win32LookupComboTest, ClickOnTheBoxOrElsewhereClosesTheListWithoutAChoice) {
    app::DbLookupCombo& combo = Combo(kAwards);
    // The release of the press that opened the list leaves it open.
    ClickBox(combo, true);
    ASSERT_TRUE(combo.ListOpen());
    ClickBox(combo);
    EXPECT_FALSE(combo.ListOpen()) << "a click on the box";
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    Click(window->RzPanel1.Handle(), 300, 170, window.get());
    EXPECT_FALSE(combo.ListOpen()) << "a click elsewhere";
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    Key(VK_ESCAPE);
    EXPECT_FALSE(combo.ListOpen()) << "Escape in the list";
    EXPECT_EQ(combo.Value(), "");
    EXPECT_TRUE(changes.empty());
}

TEST_F(Win32LookupComboTest, KeysOfTheClosedBoxStepClearAndOpen) {
    app::DbLookupCombo& combo = Combo(kAwards);
    ClickBox(combo);
    Key(VK_ESCAPE);
    ASSERT_FALSE(combo.ListOpen());
    ASSERT_EQ(GetFocus(), combo.Handle());

    Key(VK_DOWN);
    EXPECT_EQ(combo.Value(), "RDA districts") << "no value yet: the first row";
    Key(VK_DOWN);
    Key(VK_DOWN);
    Key(VK_DOWN);
    EXPECT_EQ(combo.Value(), "RDA regions");
    EXPECT_EQ(changes.size(), 4u) << "a notification also at the end of the list";
    Key(VK_UP);
    EXPECT_EQ(combo.Value(), "RDA Районы");
    EXPECT_EQ(list->current, 1u);

    Key(VK_ESCAPE);
    EXPECT_EQ(combo.Value(), "") << "Escape with a value blanks the box";
    EXPECT_EQ(changes.size(), 6u);
    EXPECT_EQ(list->current, 1u) << "the current row does not move";
    Key(VK_ESCAPE);
    EXPECT_EQ(changes.size(), 6u) << "nothing to clear";

    Key(VK_DOWN, true);
    ASSERT_TRUE(combo.ListOpen()) << "Alt+Down opens";
    Key(VK_DOWN);
    Key(VK_UP, true);
    EXPECT_FALSE(combo.ListOpen()) << "Alt+Up accepts";
    EXPECT_EQ(combo.Value(), "RDA regions");
    EXPECT_EQ(changes.size(), 7u);
}

TEST_F(Win32LookupComboTest, TypingOpensTheListAndSelectsTheRowBeginningWithTheCharacters) {
    app::DbLookupCombo& combo = Combo(kAwards);
    ClickBox(combo);
    Key(VK_ESCAPE);
    TypeText(L"rda р", window.get());
    ASSERT_TRUE(combo.ListOpen());
    EXPECT_EQ(combo.SearchText(), "rda р");
    EXPECT_EQ(combo.Highlighted(), 1);
    TypeText(L"x", window.get());
    EXPECT_EQ(combo.SearchText(), "rda р") << "a character no row would match is dropped";
    Key(VK_BACK);
    EXPECT_EQ(combo.SearchText(), "rda ") << "Backspace removes the last character";
    TypeText(L"r", window.get());
    EXPECT_EQ(combo.Highlighted(), 2);
    EXPECT_TRUE(changes.empty());
    Key(VK_RETURN);
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_EQ(combo.Value(), "RDA regions");
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(Win32LookupComboTest, LongListScrollsWithTheHighlightAndItsScrollBar) {
    app::DbLookupCombo& combo = Combo({"A1", "A2", "A3", "A4", "A5", "A6"});
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    EXPECT_EQ(combo.TopRow(), 0);
    EXPECT_EQ(combo.Highlighted(), 0);
    for (int i = 0; i < 4; ++i) {
        Key(VK_DOWN);
    }
    EXPECT_EQ(combo.Highlighted(), 4);
    EXPECT_EQ(combo.TopRow(), 2) << "the highlighted row scrolled into view";
    // The scroll bar's lower arrow, clicked: the list scrolls and stays open.
    RECT popup{};
    GetWindowRect(combo.Popup(), &popup);
    const POINT arrow{popup.right - GetSystemMetrics(SM_CXVSCROLL) / 2 - 1,
                      popup.bottom - GetSystemMetrics(SM_CYVSCROLL) / 2 - 1};
    MoveMouse(arrow);
    Pump(window.get());
    SendMouseAt(arrow, MOUSEEVENTF_LEFTDOWN);
    SendMouseAt(arrow, MOUSEEVENTF_LEFTUP);
    Pump(window.get());
    EXPECT_TRUE(combo.ListOpen());
    EXPECT_EQ(combo.TopRow(), 3);
    ClickRow(combo, 5);
    EXPECT_EQ(combo.Value(), "A6");
}

TEST_F(Win32LookupComboTest, ListOpensAboveTheBoxWithoutRoomBelow) {
    app::DbLookupCombo& combo = Combo(kAwards);
    RECT outer{};
    GetWindowRect(window->Handle(), &outer);
    RECT box{};
    GetWindowRect(combo.Handle(), &box);
    // The box's bottom a few pixels above the screen's bottom edge.
    const int screenBottom = GetSystemMetrics(SM_CYSCREEN);
    const int moveBy = screenBottom - 10 - box.bottom;
    SetWindowPos(window->Handle(), nullptr, outer.left, outer.top + moveBy, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    Pump(window.get());
    GetWindowRect(combo.Handle(), &box);
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    RECT popup{};
    GetWindowRect(combo.Popup(), &popup);
    EXPECT_EQ(popup.bottom, box.top);
    Key(VK_ESCAPE);
}

TEST_F(Win32LookupComboTest, ListClosesWhenTheBoxLosesTheFocusOrAnErrorEndsTheCapture) {
    app::DbLookupCombo& combo = Combo(kAwards);
    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    SetFocus(window->Edit1);
    Pump(window.get());
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_FALSE(IsWindowVisible(combo.Popup()));

    ClickBox(combo);
    ASSERT_TRUE(combo.ListOpen());
    app::RunHandler([] { throw Error("Boom"); });
    EXPECT_FALSE(combo.ListOpen()) << "the default error handling ended the capture";
    EXPECT_EQ(boxes.requests().size(), 1u);
    EXPECT_EQ(combo.Value(), "");
    EXPECT_TRUE(changes.empty());
}

TEST_F(Win32LookupComboTest, ClosedAwardsListLeavesTheBoxInactive) {
    app::DbLookupCombo& combo = Combo(kAwards);
    list->active = false;
    combo.ListActiveChanged();
    EXPECT_FALSE(combo.CanDropDown());
    ClickBox(combo, true);
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_FALSE(combo.ButtonPressed());
    Key(VK_DOWN);
    TypeText(L"r", window.get());
    EXPECT_FALSE(combo.ListOpen());
    EXPECT_EQ(combo.Value(), "");
    EXPECT_TRUE(changes.empty());
}

}  // namespace
}  // namespace telvora::test
