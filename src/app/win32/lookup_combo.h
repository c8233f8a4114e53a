// RxDBLookupCombo2 in Win32: a window of our own that draws the box, and a pop-up window that
// draws the list, both from the drop-down's model (app/lookup_combo_model.h), to which every
// key and mouse event is handed. While the list is open the box holds the mouse capture, so a
// press anywhere reaches it: on a row it chooses, on the list's scroll bar it scrolls, on the
// box or elsewhere it closes the list.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "app/lookup_combo_model.h"
#include "app/win32/window_proc.h"
#include "app/window_design.h"

namespace telvora::app {

class LookupList;

// A key message (WM_KEYDOWN, WM_SYSKEYDOWN) in the model's terms; kOther for keys it does not
// know.
LookupKeyPress ToLookupKey(WPARAM virtualKey, bool alt);

class DbLookupCombo : public MessageTarget, private LookupComboView {
  public:
    DbLookupCombo();
    ~DbLookupCombo() override;
    DbLookupCombo(const DbLookupCombo&) = delete;
    DbLookupCombo& operator=(const DbLookupCombo&) = delete;

    void Create(HWND parent, const design::Place& place, HFONT font);
    HWND Handle() const { return hwnd_; }
    // The font at the display's scale, whose character cell makes a row, and the scale of the
    // arrow button (as wide as a vertical scroll bar there).
    void SetFont(HFONT font, UINT dpi);
    // The list's pop-up window.
    HWND Popup() const { return popup_; }

    // The change notification.
    std::function<void()> onChange;

    // The list is not owned; nullptr unlinks it.
    void SetLookupList(LookupList* list);
    // To be called when the list has been opened or closed (re-reads its rows).
    void ListActiveChanged();

    const std::string& Value() const { return model_.Value(); }
    bool ListOpen() const { return model_.ListOpen(); }
    bool CanDropDown() const { return model_.CanDropDown(); }
    bool ButtonPressed() const { return model_.ButtonPressed(); }
    int Highlighted() const { return model_.Highlighted(); }
    const std::string& SearchText() const { return model_.SearchText(); }
    int RowHeight() const { return rowHeight_; }
    // The first row the open list shows.
    int TopRow() const { return topRow_; }
    // In the box's client coordinates.
    RECT ButtonRect() const;
    RECT TextRect() const;

    void DropDown() { model_.DropDown(); }
    void CloseUp(bool accept) { model_.CloseUp(accept); }

    LRESULT HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    class PopupList;

    // LookupComboView
    void ShowList() override;
    void HideList() override;
    void HighlightChanged(int row) override;
    void Repaint() override;
    void Changed() override;

    void Paint(HDC dc) const;
    void PaintList(HDC dc) const;
    void ScrollListTo(int topRow);
    // The row of the open list under a screen point, -1 for none.
    int RowAtScreen(POINT screen) const;
    void MousePress(POINT client);
    void MouseMove(POINT client);
    void MouseRelease(POINT client);
    void TakeCapture();
    void DropCapture();

    LookupComboModel model_{*this};
    std::unique_ptr<PopupList> popupList_;
    HWND hwnd_ = nullptr;
    HWND popup_ = nullptr;
    HFONT font_ = nullptr;  // not owned
    int rowHeight_ = 13;
    UINT dpi_ = 96;
    int topRow_ = 0;
    // The capture is being given up on purpose (the list closes, or its scroll bar takes the
    // mouse for a while): WM_CAPTURECHANGED then closes nothing.
    bool droppingCapture_ = false;
    wchar_t highSurrogate_ = 0;
};

}  // namespace telvora::app
