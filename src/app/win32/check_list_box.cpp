#include "app/win32/check_list_box.h"

#include <windowsx.h>

#include <algorithm>

#include "app/win32/dpi.h"
#include "app/win32/fonts.h"
#include "platform/wide.h"

namespace telvora::app {

void CheckListBox::Create(HWND parent, const design::Place& place, int id, HFONT font) {
    hwnd_ = CreateControl(
        L"LISTBOX", L"",
        LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL,
        WS_EX_CLIENTEDGE, place.left, place.top, place.width, place.height, parent, id);
    SetFont(font, kDesignDpi);
    subclass_.Attach(hwnd_, *this);
}

void CheckListBox::SetFont(HFONT font, UINT dpi) {
    font_ = font;
    checkSize_ = ScaleForDpi(kCheckSize, dpi);
    checkMargin_ = ScaleForDpi(kCheckMargin, dpi);
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    itemHeight_ = std::max(TextHeight(font), checkSize_);
    SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, itemHeight_);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void CheckListBox::AddItem(const std::string& text) {
    const LRESULT index = SendMessageW(hwnd_, LB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(platform::Wide(text).c_str()));
    if (index >= 0) {
        SendMessageW(hwnd_, LB_SETITEMDATA, static_cast<WPARAM>(index), 0);
        items_.push_back(text);
    }
}

int CheckListBox::Count() const {
    return static_cast<int>(items_.size());
}

bool CheckListBox::Checked(int index) const {
    return SendMessageW(hwnd_, LB_GETITEMDATA, static_cast<WPARAM>(index), 0) == 1;
}

void CheckListBox::SetChecked(int index, bool checked) {
    if (index < 0 || index >= Count()) {
        return;
    }
    SendMessageW(hwnd_, LB_SETITEMDATA, static_cast<WPARAM>(index), checked ? 1 : 0);
    RECT item{};
    if (SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item)) != LB_ERR) {
        InvalidateRect(hwnd_, &item, FALSE);
    }
}

void CheckListBox::Toggle(int index) {
    SetChecked(index, !Checked(index));
}

std::vector<std::string> CheckListBox::CheckedItems() const {
    std::vector<std::string> names;
    for (int i = 0; i < Count(); ++i) {
        if (Checked(i)) {
            names.push_back(ItemText(i));
        }
    }
    return names;
}

RECT CheckListBox::CheckBoxRect(int index) const {
    RECT item{};
    SendMessageW(hwnd_, LB_GETITEMRECT, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    const int top = item.top + (item.bottom - item.top - checkSize_) / 2;
    return {item.left + checkMargin_, top, item.left + checkMargin_ + checkSize_, top + checkSize_};
}

int CheckListBox::CheckBoxAt(POINT point) const {
    const LRESULT hit = SendMessageW(hwnd_, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    if (HIWORD(hit) != 0) {
        return -1;  // outside every item
    }
    const int index = LOWORD(hit);
    if (index >= Count()) {
        return -1;
    }
    // The box and the margins around it count as the box.
    RECT box = CheckBoxRect(index);
    InflateRect(&box, checkMargin_, checkMargin_);
    return PtInRect(&box, point) ? index : -1;
}

void CheckListBox::MeasureItem(MEASUREITEMSTRUCT& measure) const {
    measure.itemHeight = static_cast<UINT>(itemHeight_);
}

void CheckListBox::DrawItem(const DRAWITEMSTRUCT& draw) const {
    HDC dc = draw.hDC;
    RECT row = draw.rcItem;
    FillRect(dc, &row, GetSysColorBrush(COLOR_WINDOW));
    if (draw.itemID == static_cast<UINT>(-1) || static_cast<int>(draw.itemID) >= Count()) {
        if (draw.itemState & ODS_FOCUS) {
            DrawFocusRect(dc, &row);
        }
        return;
    }
    const int index = static_cast<int>(draw.itemID);
    RECT box = CheckBoxRect(index);
    box.top = row.top + (row.bottom - row.top - checkSize_) / 2;
    box.bottom = box.top + checkSize_;
    DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | (Checked(index) ? DFCS_CHECKED : 0));

    RECT text = row;
    text.left = box.right + checkMargin_;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &text, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    HGDIOBJ old = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT inner = text;
    inner.left += 2;
    const std::wstring name = platform::Wide(ItemText(index));
    DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &inner,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    if (draw.itemState & ODS_FOCUS) {
        DrawFocusRect(dc, &text);
    }
}

LRESULT CheckListBox::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            // The list selects the item (on its box as on its text) and takes the focus; a
            // press on the box then toggles the mark as well.
            const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const int box = CheckBoxAt(point);
            const LRESULT result = subclass_.CallOriginal(hwnd, message, wParam, lParam);
            if (box >= 0) {
                Toggle(box);
            }
            return result;
        }
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                const LRESULT selected = SendMessageW(hwnd, LB_GETCURSEL, 0, 0);
                if (selected != LB_ERR) {
                    Toggle(static_cast<int>(selected));
                }
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == L' ') {
                return 0;  // the toggle, not the list's search for an item beginning with " "
            }
            break;
        default:
            break;
    }
    return subclass_.CallOriginal(hwnd, message, wParam, lParam);
}

}  // namespace telvora::app
