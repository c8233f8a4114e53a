// RxDBLookupCombo2's behaviour, toolkit-free: a drop-down box over a lookup list (the awards
// list) driven by the key and mouse events a shell hands it. Its value is a text of the list's
// column, which serves as key and as displayed text; it starts empty.
//
//   the user                                  value                        Change
//   clicks the closed box                     unchanged; the list opens     no
//   clicks the box while open, Escape in the
//     list, clicks elsewhere                  unchanged; the list closes    no
//   clicks a row, or presses on the box,
//     drags onto a row and releases there     that row's text               if it differs
//   Enter in the open list                    the highlighted row's text    if it differs
//   types printable characters                the list opens; up to 32 typed characters
//                                             select the first row beginning with them
//                                             (without regard to case); a character no row
//                                             would match is dropped; Backspace removes one
//   Up / Down in the closed box               previous / next row's text,   always
//                                             the first row's without value
//   Alt+Up / Alt+Down                         opens; when open, as Enter
//   Escape in the closed box with a value     empty                         always
//
// Browsing the open list moves the list's current row along; a chosen value's row is the
// current row when the change notification runs. While the list is not active nothing of
// this works. The shell draws the box and its list from the model's state and shows or hides
// the list when the model says so.
#pragma once

#include <string>
#include <string_view>

namespace telvora::app {

class LookupList;

// What the model asks of the shell that draws it.
class LookupComboView {
  public:
    virtual ~LookupComboView() = default;
    // Shows the list below (or above) the box, with its rows as the model has them; the
    // keyboard goes to the list while it is open.
    virtual void ShowList() = 0;
    virtual void HideList() = 0;
    // The highlighted row of the open list changed (-1: none); the shell scrolls it into view.
    virtual void HighlightChanged(int row) = 0;
    // Something the box draws changed: value, pressed button, open state.
    virtual void Repaint() = 0;
    // The change notification (RxDBLookupCombo2Change).
    virtual void Changed() = 0;
};

// Keys the drop-down reacts to; every other key is kOther and counts by its text alone.
enum class LookupKey {
    kOther,
    kUp,
    kDown,
    kPageUp,
    kPageDown,
    kHome,
    kEnd,
    kEscape,
    kEnter,
    kBackspace,
    kTab,
};

struct LookupKeyPress {
    LookupKey key = LookupKey::kOther;
    bool alt = false;
    bool control = false;
    // What the key types, UTF-8 (empty for keys that type nothing).
    std::string text;
};

class LookupComboModel {
  public:
    static constexpr int kDropDownRows = 3;
    static constexpr int kMaxSearchLength = 32;

    explicit LookupComboModel(LookupComboView& view) : view_(view) {}

    // The list is not owned; nullptr unlinks it. Closes an open list.
    void SetList(LookupList* list);
    // To be called when the list has been opened, closed or re-read: closes an open list.
    void ListChanged();

    const std::string& Value() const { return value_; }
    bool ListOpen() const { return open_; }
    // The list is linked and active: the box can be opened and keys change it.
    bool CanDropDown() const;
    // Rows of the list as the box offers them (none while the list is not active).
    int RowCount() const;
    std::string RowText(int row) const;
    // The highlighted row of the open list, -1 for none.
    int Highlighted() const { return highlighted_; }
    const std::string& SearchText() const { return search_; }
    bool ButtonPressed() const { return buttonPressed_; }

    void DropDown();
    // Closes the list; with accept, the highlighted row becomes the value.
    void CloseUp(bool accept);

    // ---- events ----
    // A key pressed on the box or, while it is open, on its list. False when the box does not
    // take it (the shell then hands it on, as to the window).
    bool KeyPress(const LookupKeyPress& key);
    // The left mouse button pressed on the box; onButton when on its arrow button.
    void PressOnBox(bool onButton);
    // The left mouse button pressed outside the open list (on the box or elsewhere).
    void PressOutsideList();
    // The mouse moved over a row of the open list, with or without a button held.
    void MoveOverRow(int row);
    // The left mouse button pressed on a row of the open list.
    void PressOnRow(int row);
    // The left mouse button released on a row of the open list: that row is chosen.
    void ReleaseOnRow(int row);
    // A mouse button released anywhere else (on the box, the list's frame, away from rows).
    void Release();
    // The shell closed the list on its own (the window lost the focus, an error box ended the
    // mouse capture): closed without a choice.
    void ListHidden();

  private:
    bool ListKeyPress(const LookupKeyPress& key);
    void Search(std::string_view text);
    void Highlight(int row);
    void Step(int delta);
    void ChooseRow(int row, bool alwaysNotify);
    void EndPress();
    int RowOfValue() const;

    LookupComboView& view_;
    LookupList* list_ = nullptr;
    std::string value_;
    std::string search_;
    bool open_ = false;
    int highlighted_ = -1;
    bool buttonPressed_ = false;
};

// A character typed counts when it is printable: not a control character (C0, DEL, C1) and
// typed without Control or Alt.
bool TypesPrintable(const LookupKeyPress& key);

struct LookupPoint {
    int x = 0;
    int y = 0;
    bool operator==(const LookupPoint&) const = default;
};
struct LookupRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where the list opens: below the box, or above it when there is no room below on the
// screen; moved left when it would leave the screen on the right. All in screen coordinates;
// `list` carries the list's size (its x and y are not read).
LookupPoint LookupListPosition(const LookupRect& box, const LookupRect& list,
                               const LookupRect& screen);

}  // namespace telvora::app
