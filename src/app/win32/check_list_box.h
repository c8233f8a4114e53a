// CheckListBox1: an owner-drawn LISTBOX with a check box on each item. A click on an item's
// check box, or Space on the selected item, toggles its mark; a click on the item's text only
// selects it. A row is as high as the larger of the font's text height and the check box.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/win32/window_proc.h"
#include "app/window_design.h"

namespace telvora::app {

class CheckListBox : public MessageTarget {
  public:
    // The check box's side in pixels at 96 dots per inch, and the margin on each side of it.
    static constexpr int kCheckSize = 13;
    static constexpr int kCheckMargin = 2;

    void Create(HWND parent, const design::Place& place, int id, HFONT font);
    HWND Handle() const { return hwnd_; }
    // The items' font and the check box's size at the display's scale; the rows follow.
    void SetFont(HFONT font, UINT dpi);

    // Appends an unchecked item.
    void AddItem(const std::string& text);
    int Count() const;
    std::string ItemText(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    void Toggle(int index);
    // The names of the checked items, in list order.
    std::vector<std::string> CheckedItems() const;

    int ItemHeight() const { return itemHeight_; }
    // Where item `index`'s check box lies, in the list's client coordinates.
    RECT CheckBoxRect(int index) const;

    // The parent's owner-draw messages for this list.
    void MeasureItem(MEASUREITEMSTRUCT& measure) const;
    void DrawItem(const DRAWITEMSTRUCT& draw) const;

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    // The item whose check box holds the client point, or -1.
    int CheckBoxAt(POINT point) const;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;  // not owned
    int checkSize_ = kCheckSize;
    int checkMargin_ = kCheckMargin;
    int itemHeight_ = kCheckSize;
    std::vector<std::string> items_;
    Subclass subclass_;
};

}  // namespace telvora::app
